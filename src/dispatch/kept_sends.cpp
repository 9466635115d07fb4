#include "dispatch/kept_sends.h"

#include "dispatch/list_files.h"
#include "platform/private_files.h"
#include "recipients/phone_rules.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace dispatch {

using recipients::gatewayOf;
using recipients::phoneOf;

namespace {
constexpr qint64 kLongestKeptFile = 16 * 1024 * 1024;
const QByteArray kTag = "kept";
} // namespace

QByteArray keptSendsText(const QList<KeptSend>& sends) {
    QByteArray text;
    for (const KeptSend& send : sends) {
        text += kTag + '\t' + send.keptUtc.toString(Qt::ISODate).toLatin1() + '\t' +
                QByteArray::number(send.uncertain) + '\t' + encodedField(send.subject) + '\t' +
                encodedField(send.body) + '\t' + encodedList(send.addresses) + '\n';
    }
    return text;
}

QList<KeptSend> readKeptSends(const QByteArray& text, qsizetype* unreadable) {
    return readRecords(text, unreadable, [](const QByteArrayList& fields) {
        KeptSend send;
        bool counted = false;
        if (fields.size() == 6 && fields[0] == kTag) {
            send.keptUtc = QDateTime::fromString(QString::fromLatin1(fields[1]), Qt::ISODate);
            send.uncertain = fields[2].toLongLong(&counted);
            send.subject = decodedField(fields[3]);
            send.body = decodedField(fields[4]);
            send.addresses = decodedList(fields[5]);
        }
        const bool whole = send.keptUtc.isValid() && counted && send.uncertain >= 0 &&
                           send.uncertain <= send.addresses.size() && !send.addresses.isEmpty();
        return whole ? std::optional(send) : std::nullopt;
    });
}

QList<KeptSend> loadKeptSends(const QString& path, QString* keptAs) {
    return loadListFile(path, kLongestKeptFile, keptAs, readKeptSends);
}

bool saveKeptSends(const QString& path, const QList<KeptSend>& sends) {
    if (sends.isEmpty())
        return !QFileInfo::exists(path) || QFile::remove(path);
    platform::makePrivateFolder(QFileInfo(path).absolutePath());
    QString reason;
    return platform::replacePrivateFile(path, keptSendsText(sends), &reason);
}

QStringList phonesOf(const QStringList& addresses) {
    QStringList phones;
    QSet<QString> seen;
    for (const QString& address : addresses) {
        const QString phone = phoneOf(address);
        if (!seen.contains(phone)) {
            seen.insert(phone);
            phones << phone;
        }
    }
    return phones;
}

} // namespace dispatch
