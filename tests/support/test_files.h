#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>

// A file of the source tree (PARLIVO_SOURCE_DIR), e.g. a bounce under tests/mail/bounces.
inline QByteArray sourceFile(const QString& relativePath) {
    QFile file(QString::fromLocal8Bit(qgetenv("PARLIVO_SOURCE_DIR")) + QLatin1Char('/') +
               relativePath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QByteArray bounceFixture(const char* name) {
    return sourceFile(QStringLiteral("tests/mail/bounces/") + QLatin1String(name));
}

// How many file descriptors this process holds: what a write leaves open shows here.
inline qsizetype openDescriptors() {
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
}
