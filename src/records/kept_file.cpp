#include "records/kept_file.h"

#include "platform/private_files.h"
#include "records/list_files.h"

#include <QFile>
#include <QFileInfo>

namespace records {

using model::KeptSend;

namespace {
constexpr qint64 kLongestKeptFile = 16 * 1024 * 1024;
const QByteArray kTag = "kept";
const QByteArray kInFlight = "inflight";
const QByteArray kGone = "gone";

// One line of the file: a kept text, or a change to one.
struct KeptLine {
    QByteArray kind;
    KeptSend send;
    qsizetype index = 0;
    qsizetype count = 0;
    QStringList refused;
    QStringList toEnd;
};

std::optional<KeptLine> keptLine(const QByteArrayList& fields) {
    KeptLine line{fields.value(0), {}, 0, 0, {}, {}};
    bool counted = false;
    // Six fields as the version before the route was written down left them; then the route.
    if ((fields.size() == 6 || fields.size() == 7) && line.kind == kTag) {
        KeptSend& send = line.send;
        send.keptUtc = QDateTime::fromString(QString::fromLatin1(fields[1]), Qt::ISODate);
        send.uncertain = fields[2].toLongLong(&counted);
        send.subject = decodedField(fields[3]);
        send.body = decodedField(fields[4]);
        send.addresses = decodedList(fields[5]);
        send.route = decodedField(fields.value(6));
        if (send.route.isEmpty())
            send.route = routeWithout(send.addresses);
        const bool whole = send.keptUtc.isValid() && counted && send.uncertain >= 0 &&
                           send.uncertain <= send.addresses.size() && !send.addresses.isEmpty();
        return whole ? std::optional(line) : std::nullopt;
    }
    bool indexed = false;
    // A "gone" line names the refused addresses, and those to try again at the end when
    // there are any.
    if ((fields.size() == 3 && line.kind == kInFlight) ||
        ((fields.size() == 4 || fields.size() == 5) && line.kind == kGone)) {
        line.index = fields[1].toLongLong(&indexed);
        line.count = fields[2].toLongLong(&counted);
        line.refused = decodedList(fields.value(3));
        line.toEnd = decodedList(fields.value(4));
    }
    return indexed && counted && line.index >= 0 && line.count >= 0 ? std::optional(line)
                                                                    : std::nullopt;
}

// A change applied to the texts read before it; false when it names none of them.
bool apply(QList<KeptSend>& sends, const KeptLine& change) {
    if (change.index >= sends.size())
        return false;
    KeptSend& send = sends[change.index];
    if (change.count > send.addresses.size())
        return false;
    if (change.kind == kInFlight) {
        send.uncertain = change.count;
        return true;
    }
    send.addresses = change.refused + send.addresses.mid(change.count) + change.toEnd;
    send.uncertain = 0;
    return true;
}

bool appendOrSave(const QString& path, const QList<KeptSend>& sends, const QByteArray& line) {
    if (path.isEmpty()) // nothing is kept
        return true;
    return appendRecordLines(path, line, kLongestKeptFile) || saveKeptSends(path, sends);
}
} // namespace

QByteArray keptSendsText(const QList<KeptSend>& sends) {
    QByteArray text;
    for (const KeptSend& send : sends) {
        if (send.addresses.isEmpty())
            continue; // done: nothing of it is kept
        text += kTag + '\t' + send.keptUtc.toString(Qt::ISODate).toLatin1() + '\t' +
                QByteArray::number(send.uncertain) + '\t' + encodedField(send.subject) + '\t' +
                encodedField(send.body) + '\t' + encodedList(send.addresses) + '\t' +
                encodedField(send.route) + '\n';
    }
    return text;
}

QList<KeptSend> readKeptSends(const QByteArray& text, qsizetype* unreadable) {
    qsizetype bad = 0;
    const QList<KeptLine> lines = readRecords(text, &bad, keptLine);
    QList<KeptSend> sends;
    for (const KeptLine& line : lines) {
        if (line.kind == kTag)
            sends << line.send;
        else if (!apply(sends, line))
            ++bad;
    }
    // A text whose every address was taken is done.
    sends.removeIf([](const KeptSend& send) { return send.addresses.isEmpty(); });
    if (unreadable)
        *unreadable = bad;
    return sends;
}

QDateTime asKept(const QDateTime& utc) {
    return QDateTime::fromSecsSinceEpoch(utc.toSecsSinceEpoch(), Qt::UTC);
}

QList<KeptSend> loadKeptSends(const QString& path, QString* keptAs) {
    return loadListFile(path, kLongestKeptFile, keptAs, readKeptSends);
}

bool saveKeptSends(const QString& path, const QList<KeptSend>& sends) {
    if (path.isEmpty()) // nothing is kept
        return true;
    if (sends.isEmpty())
        return !QFileInfo::exists(path) || QFile::remove(path);
    platform::makePrivateFolder(QFileInfo(path).absolutePath());
    QString reason;
    return platform::replacePrivateFile(path, keptSendsText(sends), &reason);
}

bool keepInFlight(const QString& path, const QList<KeptSend>& sends, qsizetype index,
                  qsizetype count) {
    return appendOrSave(path, sends,
                        kInFlight + '\t' + QByteArray::number(index) + '\t' +
                            QByteArray::number(count) + '\n');
}

bool keepGone(const QString& path, const QList<KeptSend>& sends, qsizetype index, qsizetype count,
              const QStringList& refused, const QStringList& toEnd) {
    QByteArray line = kGone + '\t' + QByteArray::number(index) + '\t' + QByteArray::number(count) +
                      '\t' + encodedList(refused);
    if (!toEnd.isEmpty())
        line += '\t' + encodedList(toEnd);
    return appendOrSave(path, sends, line + '\n');
}

} // namespace records
