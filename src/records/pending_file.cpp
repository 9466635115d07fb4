#include "records/pending_file.h"

#include "core/error_report.h"
#include "platform/private_files.h"
#include "recipients/lists.h"
#include "recipients/phone_rules.h"
#include "records/list_files.h"
#include "records/sent_log.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>
#include <numeric>
#include <optional>

namespace records {

using model::PendingSend;
using recipients::phoneOf;

namespace {
constexpr qint64 kLongestPendingFile = 4 * 1024 * 1024;
// The most addresses one send's line can hold: as many as the file's bound holds written out
// ("1@a.b," at the shortest).
constexpr qsizetype kMostAddresses = kLongestPendingFile / 6;
// The most parts a text of the longest subject and body splits into.
constexpr qsizetype kMostParts = 32;

// A large send's addresses and reported addresses in their compact form, where they have one:
// "*phones*domains" for every phone at the same domains in order, and "*" followed by the
// positions of the reported addresses with "f" (failed) or "d" (delayed). Percent-encoding
// never writes a "*", so neither form can be taken for a list.
std::optional<QByteArray> compactAddresses(const QStringList& addresses) {
    QStringList domains;
    const QString first = phoneOf(addresses.value(0));
    for (const QString& address : addresses) {
        if (phoneOf(address) != first)
            break;
        domains << address.mid(first.size() + 1);
    }
    if (domains.isEmpty() || addresses.size() % domains.size() != 0) // not every phone at all
        return std::nullopt;
    QStringList phones;
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        const QString phone = phoneOf(addresses[i]);
        if (i % domains.size() == 0)
            phones << phone;
        if (phone != phones.last() ||
            addresses[i].mid(phone.size() + 1) != domains[i % domains.size()])
            return std::nullopt;
    }
    return '*' + encodedList(phones) + '*' + encodedList(domains);
}

std::optional<QByteArray> compactReported(const QStringList& reported,
                                          const QStringList& addresses) {
    QHash<QString, qsizetype> position;
    for (qsizetype i = addresses.size() - 1; i >= 0; --i)
        position.insert(addresses[i], i);
    QByteArrayList items;
    for (const QString& key : reported) {
        const qsizetype space = key.lastIndexOf(QLatin1Char(' '));
        const qsizetype at = position.value(key.left(space), -1);
        const QStringView outcome = QStringView(key).sliced(space + 1);
        if (at < 0 || (outcome != QLatin1String("failed") && outcome != QLatin1String("delayed")))
            return std::nullopt;
        items << QByteArray::number(at) + (outcome == QLatin1String("failed") ? 'f' : 'd');
    }
    return '*' + items.join(',');
}

QStringList expandedAddresses(const QByteArray& field) {
    if (!field.startsWith('*'))
        return decodedList(field);
    const QByteArrayList parts = field.mid(1).split('*');
    const QStringList phones = decodedList(parts.value(0));
    const QStringList domains = decodedList(parts.value(1));
    // No more than the program could have written: a line that would expand past that is
    // unreadable, not a reason to run out of memory.
    if (parts.size() != 2 || phones.isEmpty() || domains.isEmpty() ||
        phones.size() * domains.size() > kMostAddresses)
        return {};
    QStringList addresses;
    addresses.reserve(phones.size() * domains.size());
    for (const QString& phone : phones)
        for (const QString& domain : domains)
            addresses << phone + QLatin1Char('@') + domain;
    return addresses;
}

std::optional<QStringList> expandedReported(const QByteArray& field, const QStringList& addresses) {
    if (!field.startsWith('*'))
        return decodedList(field);
    QStringList reported;
    if (field.size() == 1)
        return reported;
    for (const QByteArray& item : field.mid(1).split(',')) {
        bool ok = false;
        const qsizetype at = item.chopped(item.isEmpty() ? 0 : 1).toLongLong(&ok);
        if (!ok || at < 0 || at >= addresses.size() || (!item.endsWith('f') && !item.endsWith('d')))
            return std::nullopt;
        reported << addresses[at] + (item.endsWith('f') ? QStringLiteral(" failed")
                                                        : QStringLiteral(" delayed"));
    }
    return reported;
}

QByteArray sendLine(const PendingSend& s, bool compact) {
    QByteArray addresses;
    QByteArray reported;
    if (compact) {
        addresses = compactAddresses(s.addresses).value_or(encodedList(s.addresses));
        reported = compactReported(s.reported, s.addresses).value_or(encodedList(s.reported));
    } else {
        addresses = encodedList(s.addresses);
        reported = encodedList(s.reported);
    }
    return encodedField(s.messageId) + '\t' + s.sentUtc.toString(Qt::ISODate).toLatin1() + '\t' +
           encodedField(s.stamp) + '\t' + encodedField(s.subject) + '\t' + addresses + '\t' +
           reported + '\t' + (s.checked ? "1" : "0") + '\t' + QByteArray::number(s.parts) + '\t' +
           encodedField(s.route) + '\n';
}
} // namespace

QByteArray pendingSendsText(const QList<PendingSend>& sends) {
    QByteArray text;
    for (const PendingSend& s : sends)
        text += sendLine(s, false);
    return text;
}

QByteArray pendingSendsTextWithin(QList<PendingSend>& sends, qint64 bound,
                                  QList<PendingSend>* dropped) {
    QByteArrayList lines;
    qint64 total = 0;
    for (const PendingSend& s : std::as_const(sends)) {
        lines << sendLine(s, false);
        total += lines.last().size();
    }
    // First the largest sends in their compact form, then the oldest checked sends go, then
    // the oldest of any.
    QList<qsizetype> bySize(sends.size());
    std::iota(bySize.begin(), bySize.end(), 0);
    std::sort(bySize.begin(), bySize.end(),
              [&](qsizetype a, qsizetype b) { return lines[a].size() > lines[b].size(); });
    for (const qsizetype i : std::as_const(bySize)) {
        if (total <= bound)
            break;
        const QByteArray compact = sendLine(sends[i], true);
        total += compact.size() - lines[i].size();
        lines[i] = compact;
    }
    while (total > bound && !sends.isEmpty()) {
        qsizetype oldest = -1;
        for (const bool checkedOnly : {true, false}) {
            for (qsizetype i = 0; i < sends.size(); ++i)
                if ((!checkedOnly || sends[i].checked) &&
                    (oldest < 0 || sends[i].sentUtc < sends[oldest].sentUtc))
                    oldest = i;
            if (oldest >= 0)
                break;
        }
        total -= lines[oldest].size();
        if (dropped && !sends[oldest].checked)
            *dropped << sends[oldest];
        lines.removeAt(oldest);
        sends.removeAt(oldest);
    }
    return lines.join();
}

QList<PendingSend> readPendingSends(const QByteArray& text, qsizetype* unreadable) {
    return readRecords(text, unreadable, [](const QByteArrayList& f) -> std::optional<PendingSend> {
        // Seven fields, and an eighth with the parts of a text through the modem, as the
        // version before the route was written down left them; then the route.
        if (f.size() < 7 || f.size() > 9)
            return std::nullopt;
        const QStringList addresses = expandedAddresses(f[4]);
        const std::optional<QStringList> reported = expandedReported(f[5], addresses);
        PendingSend s{decodedField(f[0]),
                      QDateTime::fromString(QString::fromLatin1(f[1]), Qt::ISODate),
                      decodedField(f[2]),
                      decodedField(f[3]),
                      addresses,
                      reported.value_or(QStringList()),
                      f[6] == "1",
                      f.size() >= 8 ? qBound<qsizetype>(1, f[7].toLongLong(), kMostParts) : 1,
                      f.size() == 9 ? decodedField(f[8]) : QString()};
        if (s.messageId.isEmpty() || !s.sentUtc.isValid() || s.addresses.isEmpty() || !reported)
            return std::nullopt;
        if (s.route.isEmpty())
            s.route = routeWithout(s.addresses, f.size() == 8);
        return s;
    });
}

QList<PendingSend> loadPendingSends(const QString& path, QString* keptAs) {
    return loadListFile(path, kLongestPendingFile, keptAs, readPendingSends);
}

QString pendingKeptAsideMessage(const QString& keptAs) {
    return QStringLiteral("Parlivo could not read all of its list of sends awaiting a delivery "
                          "report. The list was kept as it was, as %1; the sends it still "
                          "could read wait for their report as before.")
        .arg(keptAs);
}

QString rememberSend(const QString& path, const PendingSend& send, const QString& logPath) {
    if (path.isEmpty())
        return {};
    if (appendRecordLines(path, sendLine(send, false), kLongestPendingFile))
        return {};
    // A new file, or one that would outgrow its bound: written whole, the oldest sends
    // compacted or left out as saving does.
    QString keptAs;
    QList<PendingSend> sends = loadPendingSends(path, &keptAs);
    sends << send;
    QList<PendingSend> dropped;
    savePendingSends(path, sends, &dropped);
    for (const PendingSend& left : std::as_const(dropped)) {
        try {
            if (!logPath.isEmpty())
                WriteSentLog(logPath, notKeptRecord(send.stamp, left));
        } catch (const core::Failure&) {
            // Not told in the log this time: the log could not be written.
        }
    }
    return keptAs;
}

bool savePendingSends(const QString& path, const QList<PendingSend>& sends,
                      QList<PendingSend>* dropped) {
    platform::makePrivateFolder(QFileInfo(path).absolutePath());
    QList<PendingSend> kept = sends;
    QString reason;
    return platform::replacePrivateFile(
        path, pendingSendsTextWithin(kept, kLongestPendingFile, dropped), &reason);
}

} // namespace records
