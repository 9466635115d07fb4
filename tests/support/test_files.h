#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

// A file of the source tree (PARLIVO_SOURCE_DIR), e.g. a bounce under
// tests/routes/email/mail/bounces.
inline QByteArray sourceFile(const QString& relativePath) {
    QFile file(QString::fromLocal8Bit(qgetenv("PARLIVO_SOURCE_DIR")) + QLatin1Char('/') +
               relativePath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A box's text: its paragraphs, each pair parted by an empty line.
inline QString paragraphs(const QStringList& parts) {
    return parts.join(QStringLiteral("\r\n\r\n"));
}

inline QByteArray bounceFixture(const char* name) {
    return sourceFile(QStringLiteral("tests/routes/email/mail/bounces/") + QLatin1String(name));
}

// How many descriptors this process holds open on `path`, or on a file that stood there and
// was replaced: what a write leaves open shows here.
inline qsizetype descriptorsOn(const QString& path) {
    const QString target = QFileInfo(path).canonicalFilePath();
    qsizetype count = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::Files | QDir::System))
        count += QFileInfo(fds.filePath(fd)).symLinkTarget().startsWith(target);
    return count;
}
