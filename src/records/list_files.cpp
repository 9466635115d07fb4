#include "records/list_files.h"

#include "platform/private_files.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>

namespace records {

QByteArray encodedField(const QString& text) {
    return QUrl::toPercentEncoding(text);
}

QString decodedField(const QByteArray& text) {
    return QString::fromUtf8(QByteArray::fromPercentEncoding(text));
}

QByteArray encodedList(const QStringList& items) {
    QByteArrayList out;
    for (const QString& item : items)
        out << encodedField(item);
    return out.join(',');
}

QStringList decodedList(const QByteArray& text) {
    QStringList out;
    if (text.isEmpty())
        return out;
    for (const QByteArray& item : text.split(','))
        out << decodedField(item);
    return out;
}

QString routeWithout(const QStringList& addresses, bool partsWritten) {
    const bool numbersAlone =
        std::none_of(addresses.cbegin(), addresses.cend(),
                     [](const QString& address) { return address.contains(QLatin1Char('@')); });
    return partsWritten || numbersAlone ? QStringLiteral("modem") : QStringLiteral("email");
}

std::optional<QByteArray> readListFile(const QString& path, qint64 bound, bool* whole) {
    *whole = true;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return std::nullopt;
    // A link, another user's file or no regular file is never read through: it is unusable,
    // as one over its bound is, and goes aside to be told.
    QFile file(path);
    if (!platform::unsafeToWrite(path) && file.size() <= bound && file.open(QIODevice::ReadOnly))
        return file.readAll();
    *whole = false;
    return QByteArray();
}

QString moveAside(const QString& path) {
    const QString stem =
        path + QStringLiteral(".unreadable-") +
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 0; n < 100; ++n) {
        const QString aside = n ? stem + QStringLiteral("-%1").arg(n) : stem;
        if (QFile::rename(path, aside)) // refuses to replace an existing file
            return aside;
    }
    return {};
}

bool appendRecordLines(const QString& path, const QByteArray& lines, qint64 bound) {
    const QFileInfo info(path);
    if (!info.exists() || info.isSymLink() || info.size() + lines.size() + 1 > bound)
        return false;
    // A line cut off by a crash is finished before the new ones, so that they stay whole.
    QByteArray bytes = lines;
    QFile file(path);
    if (info.size() > 0 && file.open(QIODevice::ReadOnly) && file.seek(info.size() - 1)) {
        char last = '\n';
        if (file.getChar(&last) && last != '\n')
            bytes.prepend('\n');
    }
    file.close();
    QString reason;
    return platform::appendPrivateFile(path, bytes, &reason);
}

} // namespace records
