#include "local_phone.h"

#include <QFile>

LocalPhone::LocalPhone(const QString& certificate, const QString& key) {
    QStringList arguments{"-B",
                          QStringLiteral(PARLIVO_SOURCE_DIR) + "/tests/support/phone_standin.py",
                          folder_.filePath("phone.log"), "ann", "secret"};
    if (!certificate.isEmpty())
        arguments << "--tls" << certificate << key;
    process_.start("/usr/bin/python3", arguments);
    if (process_.waitForReadyRead(20000)) {
        const QByteArray line = process_.readLine().trimmed();
        if (line.startsWith("PORT "))
            port_ = quint16(line.mid(5).toUInt());
    }
}

LocalPhone::~LocalPhone() {
    process_.closeWriteChannel();
    if (!process_.waitForFinished(10000))
        process_.kill();
}

void LocalPhone::push(const QString& line) {
    process_.write(line.toUtf8() + '\n');
    while (process_.waitForReadyRead(10000))
        if (process_.readLine().trimmed() == "DONE")
            return;
}

QStringList LocalPhone::logged(const QString& kind) const {
    QFile log(folder_.filePath("phone.log"));
    QStringList lines;
    if (log.open(QIODevice::ReadOnly))
        for (const QByteArray& line : log.readAll().split('\n'))
            if (line.startsWith(kind.toUtf8() + ' '))
                lines << QString::fromUtf8(line.mid(kind.size() + 1));
    return lines;
}
