#include "dispatch/delivery_records.h"

#include "dispatch/list_files.h"
#include "dispatch/sent_log.h"
#include "recipients/carrier_table.h"
#include "recipients/phone_rules.h"

#include "platform/private_files.h"

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

namespace dispatch {

using recipients::gatewayOf;
using recipients::phoneOf;

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kReplyKey = QStringLiteral("reply ");
constexpr qint64 kLongestPendingFile = 4 * 1024 * 1024;

QString phoneAtGateway(const QString& address) {
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    return cleanForLog(address.left(at), 64) + QStringLiteral(" at ") +
           cleanForLog(address.mid(at + 1), 253);
}

QString retryText(const QString& willRetryUntil) {
    // Mail systems add a comment after the zone ("-0800 (PST)"); the date is what precedes it.
    static const QRegularExpression comment(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    const QDateTime until =
        QDateTime::fromString(willRetryUntil.simplified().remove(comment), Qt::RFC2822Date);
    if (until.isValid())
        return QLocale::system().toString(until.toLocalTime(), QLocale::ShortFormat);
    return cleanForLog(willRetryUntil, 60);
}

// The send's date-time and subject as its own log record has them; only line ends and other
// control characters (which could forge lines of the log) become blanks.
QString asInSendRecord(const QString& text) {
    QString out = text.left(1000);
    for (QChar& c : out)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    return out;
}

QString heading(const PendingSend& send) {
    return QStringLiteral("Delivery: message of ") + asInSendRecord(send.stamp) +
           QStringLiteral(", Subject:") + asInSendRecord(send.subject);
}

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
    if (parts.size() != 2 || phones.isEmpty() || domains.isEmpty())
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
           reported + '\t' + (s.checked ? "1" : "0") + '\n';
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
        if (f.size() != 7)
            return std::nullopt;
        const QStringList addresses = expandedAddresses(f[4]);
        const std::optional<QStringList> reported = expandedReported(f[5], addresses);
        PendingSend s{
            decodedField(f[0]), QDateTime::fromString(QString::fromLatin1(f[1]), Qt::ISODate),
            decodedField(f[2]), decodedField(f[3]),
            addresses,          reported.value_or(QStringList()),
            f[6] == "1"};
        if (s.messageId.isEmpty() || !s.sentUtc.isValid() || s.addresses.isEmpty() || !reported)
            return std::nullopt;
        return s;
    });
}

QList<PendingSend> loadPendingSends(const QString& path, QString* keptAs) {
    return loadListFile(path, kLongestPendingFile, keptAs, readPendingSends);
}

RecentSubmissions recentSubmissions(const QList<PendingSend>& sends, const QDateTime& nowUtc) {
    RecentSubmissions recent;
    QDateTime oldest;
    for (const PendingSend& send : sends) {
        if (send.sentUtc.secsTo(nowUtc) >= 24 * 3600)
            continue;
        recent.recipients += send.addresses.size();
        if (!oldest.isValid() || send.sentUtc < oldest)
            oldest = send.sentUtc;
    }
    if (oldest.isValid())
        recent.windowFreesUtc = oldest.addDays(1);
    return recent;
}

QString pendingKeptAsideMessage(const QString& keptAs) {
    return QStringLiteral("Parlivo could not read all of its list of sends awaiting a delivery "
                          "report. The list was kept as it was, as %1; the sends it still "
                          "could read wait for their report as before.")
        .arg(keptAs);
}

bool savePendingSends(const QString& path, const QList<PendingSend>& sends,
                      QList<PendingSend>* dropped) {
    platform::makePrivateFolder(QFileInfo(path).absolutePath());
    QList<PendingSend> kept = sends;
    QString reason;
    return platform::replacePrivateFile(
        path, pendingSendsTextWithin(kept, kLongestPendingFile, dropped), &reason);
}

QString cleanForLog(const QString& text, qsizetype longest) {
    QString out;
    bool space = false;
    for (const QChar c : text) {
        if (out.size() >= longest)
            break;
        const char16_t u = c.unicode();
        if (u <= 0x20 || u == 0x7f || u > 0x7e) {
            space = !out.isEmpty();
            continue;
        }
        if (space) {
            out += QLatin1Char(' ');
            space = false;
            if (out.size() >= longest)
                break;
        }
        out += c;
    }
    return out;
}

QString deliveryRecord(const QString& nowStamp, PendingSend& send,
                       const QList<mail::BounceReport>& bounces, bool complete,
                       const QStringList& replies) {
    QStringList lines;
    QStringList phonesWithNews;
    QSet<QString> phonesSeen;
    // Each lookup by hash, so that the record grows with the bounces and addresses, not with
    // their product.
    QHash<QString, qsizetype> indexOf;
    bool named = false;
    QSet<QString> reported(send.reported.cbegin(), send.reported.cend());
    for (const mail::BounceReport& bounce : bounces) {
        if (!bounce.messageIds.contains(send.messageId, Qt::CaseInsensitive))
            continue;
        if (!named) {
            indexOf.reserve(send.addresses.size());
            for (qsizetype i = send.addresses.size() - 1; i >= 0; --i)
                indexOf.insert(send.addresses[i].toLower(), i); // the first of equal ones wins
            named = true;
        }
        for (const mail::RecipientStatus& r : bounce.recipients) {
            const qsizetype index = indexOf.value(r.address.toLower(), -1);
            if (index < 0)
                continue; // only this send's own addresses
            const QString address = send.addresses[index];
            const QString key =
                address + (r.failed ? QStringLiteral(" failed") : QStringLiteral(" delayed"));
            if (reported.contains(key))
                continue;
            reported.insert(key);
            send.reported << key;
            if (r.failed && !phonesSeen.contains(phoneOf(address))) {
                phonesSeen.insert(phoneOf(address));
                phonesWithNews << phoneOf(address);
            }
            const QString why =
                cleanForLog(r.status, 20) + QLatin1Char(' ') + cleanForLog(r.diagnostic);
            if (r.failed)
                lines << QStringLiteral("Not delivered: ") + phoneAtGateway(address) +
                             QStringLiteral(" (") + why.trimmed() + QStringLiteral(")");
            else if (!r.willRetryUntil.isEmpty())
                lines << QStringLiteral("Delayed: ") + phoneAtGateway(address) +
                             QStringLiteral(", Gmail retries until ") + retryText(r.willRetryUntil);
            else
                lines << QStringLiteral("Delayed: ") + phoneAtGateway(address) +
                             QStringLiteral(" (") + why.trimmed() + QStringLiteral(")");
        }
    }
    if (lines.isEmpty()) {
        if (replies.isEmpty())
            return {};
        return cleanForLog(nowStamp, 60) + kCrLf + heading(send) + kCrLf + replies.join(kCrLf) +
               kCrLf + kCrLf;
    }
    // A phone refused at every gateway it was sent to did not get the text at all.
    QHash<QString, bool> everyAddressFailed; // by phone, for the phones with news
    for (const QString& phone : std::as_const(phonesWithNews))
        everyAddressFailed.insert(phone, true);
    for (const QString& address : std::as_const(send.addresses)) {
        const auto phone = everyAddressFailed.find(phoneOf(address));
        if (phone != everyAddressFailed.end())
            *phone = *phone && reported.contains(address + QStringLiteral(" failed"));
    }
    for (const QString& phone : std::as_const(phonesWithNews))
        if (everyAddressFailed.value(phone))
            lines << QStringLiteral("Not reached at any ticked carrier: ") + cleanForLog(phone, 64);
    lines << replies;
    QSet<QString> bounced;
    for (const QString& key : std::as_const(send.reported))
        if (!key.startsWith(kReplyKey))
            bounced.insert(key.section(QLatin1Char(' '), 0, 0));
    const qsizetype silent = send.addresses.size() - bounced.size();
    if (silent > 0 && complete)
        lines << QStringLiteral("No bounce from the other %1 addresses (silence does not prove "
                                "delivery).")
                     .arg(silent);
    return cleanForLog(nowStamp, 60) + kCrLf + heading(send) + kCrLf + lines.join(kCrLf) + kCrLf +
           kCrLf;
}

QString lastTenDigits(const QString& phone) {
    QString digits;
    for (const QChar c : phone)
        if (c.isDigit())
            digits += c;
    return digits.right(10);
}

QList<qsizetype> replyOwners(const QList<PendingSend>& sends,
                             const QList<mail::PhoneReply>& replies) {
    QList<qsizetype> owners;
    for (const mail::PhoneReply& reply : replies) {
        const QString digits = lastTenDigits(phoneOf(reply.from));
        const QStringList carrier = recipients::sameCarrier(gatewayOf(reply.from));
        qsizetype owner = -1;
        for (qsizetype i = 0; i < sends.size(); ++i) {
            const PendingSend& send = sends[i];
            if (digits.size() < 7 || (reply.date.isValid() && reply.date < send.sentUtc) ||
                (owner >= 0 && sends[owner].sentUtc > send.sentUtc))
                continue;
            for (const QString& address : send.addresses)
                if (lastTenDigits(phoneOf(address)) == digits &&
                    carrier.contains(gatewayOf(address), Qt::CaseInsensitive)) {
                    owner = i;
                    break;
                }
        }
        owners << owner;
    }
    return owners;
}

QStringList replyLines(PendingSend& send, const QList<mail::PhoneReply>& replies) {
    QStringList lines;
    for (const mail::PhoneReply& reply : replies) {
        const QString key = kReplyKey + reply.messageId;
        if (send.reported.contains(key))
            continue;
        send.reported << key;
        const qsizetype at = reply.from.lastIndexOf(QLatin1Char('@'));
        lines << QStringLiteral("Reply from %1 (%2) %3: %4")
                     .arg(cleanForLog(reply.from.left(at), 64),
                          cleanForLog(reply.from.mid(at + 1), 253),
                          reply.date.isValid() ? logStamp(reply.date.toLocalTime()) : QString(),
                          cleanForLog(reply.text, 160));
    }
    return lines;
}

QString notKeptRecord(const QString& nowStamp, const PendingSend& send) {
    return cleanForLog(nowStamp, 60) + kCrLf + heading(send) + kCrLf +
           QStringLiteral("Not checked: too many sends were awaiting their report to keep this "
                          "one, so its bounces are unknown.") +
           kCrLf + kCrLf;
}

QString notCheckedRecord(const QString& nowStamp, const PendingSend& send) {
    return cleanForLog(nowStamp, 60) + kCrLf + heading(send) + kCrLf +
           QStringLiteral("Not checked: the mailbox could not be read in the %1 days after the "
                          "send, so bounces are unknown.")
               .arg(kPendingDays) +
           kCrLf + kCrLf;
}

} // namespace dispatch
