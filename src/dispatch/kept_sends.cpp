#include "dispatch/kept_sends.h"

#include "dispatch/delivery_records.h"
#include "platform/private_files.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QUrl>

namespace dispatch {

namespace {
constexpr qint64 kLongestKeptFile = 16 * 1024 * 1024;
const QByteArray kTag = "kept";
} // namespace

QByteArray keptSendsText(const QList<KeptSend>& sends) {
    QByteArray text;
    for (const KeptSend& send : sends) {
        QByteArrayList addresses;
        for (const QString& address : send.addresses)
            addresses << QUrl::toPercentEncoding(address);
        text += kTag + '\t' + send.keptUtc.toString(Qt::ISODate).toLatin1() + '\t' +
                QByteArray::number(send.uncertain) + '\t' + QUrl::toPercentEncoding(send.subject) +
                '\t' + QUrl::toPercentEncoding(send.body) + '\t' + addresses.join(',') + '\n';
    }
    return text;
}

QList<KeptSend> readKeptSends(const QByteArray& text, qsizetype* unreadable) {
    QList<KeptSend> sends;
    qsizetype bad = 0;
    const auto decoded = [](const QByteArray& field) {
        return QString::fromUtf8(QByteArray::fromPercentEncoding(field));
    };
    for (const QByteArray& line : text.split('\n')) {
        if (line.isEmpty())
            continue;
        const QByteArrayList fields = line.split('\t');
        KeptSend send;
        bool counted = false;
        if (fields.size() == 6 && fields[0] == kTag) {
            send.keptUtc = QDateTime::fromString(QString::fromLatin1(fields[1]), Qt::ISODate);
            send.uncertain = fields[2].toLongLong(&counted);
            send.subject = decoded(fields[3]);
            send.body = decoded(fields[4]);
            for (const QByteArray& address : fields[5].split(','))
                if (!address.isEmpty())
                    send.addresses << decoded(address);
        }
        if (!send.keptUtc.isValid() || !counted || send.uncertain < 0 ||
            send.uncertain > send.addresses.size() || send.addresses.isEmpty()) {
            ++bad;
            continue;
        }
        sends << send;
    }
    if (unreadable)
        *unreadable = bad;
    return sends;
}

QList<KeptSend> loadKeptSends(const QString& path, QString* keptAs) {
    bool whole = true;
    const auto bytes = readListFile(path, kLongestKeptFile, &whole);
    if (!bytes)
        return {};
    qsizetype unreadable = 0;
    const QList<KeptSend> sends = readKeptSends(*bytes, &unreadable);
    if ((!whole || unreadable > 0) && keptAs)
        *keptAs = moveAside(path);
    return sends;
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
        const QString phone = address.left(address.lastIndexOf(QLatin1Char('@')));
        if (!seen.contains(phone)) {
            seen.insert(phone);
            phones << phone;
        }
    }
    return phones;
}

} // namespace dispatch
