#include "local_paired_phones.h"

#include <QFile>
#include <QTest>

LocalPairedPhones::LocalPairedPhones(const QStringList& options) {
    session_.start("/usr/bin/python3", QStringList{"-B",
                                                   QStringLiteral(PARLIVO_SOURCE_DIR) +
                                                       "/tests/support/paired_phone_session.py",
                                                   folder_.filePath("phone.log")} +
                                           options);
    while (session_.waitForReadyRead(30000))
        if (const QByteArray line = session_.readLine().trimmed(); line.startsWith("BUS ")) {
            address_ = QString::fromUtf8(line.mid(4));
            qputenv("DBUS_SESSION_BUS_ADDRESS", line.mid(4));
            return;
        }
}

LocalPairedPhones::~LocalPairedPhones() {
    session_.closeWriteChannel();
    if (!session_.waitForFinished(15000))
        session_.kill();
}

QStringList LocalPairedPhones::handed() const {
    QFile log(folder_.filePath("phone.log"));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
}

void LocalPairedPhones::push(const QString& line) {
    session_.write(line.toUtf8() + '\n');
    // The event loop turns meanwhile: the program takes in what the phone announces.
    if (QTest::qWaitFor([this] { return session_.canReadLine(); }, 20000))
        session_.readLine();
}
