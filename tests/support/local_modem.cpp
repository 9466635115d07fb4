#include "local_modem.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

LocalModem::LocalModem(const QStringList& options) {
    session_.start(
        "/usr/bin/python3",
        QStringList{"-B", QStringLiteral(PARLIVO_SOURCE_DIR) + "/tests/support/modem_session.py",
                    folder_.filePath("modem.log")} +
            options);
    while (session_.waitForReadyRead(60000)) {
        const QByteArray line = session_.readLine().trimmed();
        if (line.startsWith("BUS ")) {
            const QString name = QStringLiteral("parlivo-modem-test");
            QDBusConnection::disconnectFromBus(name);
            address_ = QString::fromUtf8(line.mid(4));
            bus_ = QDBusConnection::connectToBus(address_, name);
            return;
        }
    }
}

LocalModem::~LocalModem() {
    session_.closeWriteChannel();
    if (!session_.waitForFinished(15000))
        session_.kill();
}

QStringList LocalModem::texts() const {
    QFile log(folder_.filePath("modem.log"));
    QStringList texts;
    if (log.open(QIODevice::ReadOnly))
        for (const QByteArray& line : log.readAll().split('\n'))
            if (line.startsWith("TEXT "))
                texts << QString::fromUtf8(line.mid(5)).section(' ', 0, 1);
    return texts;
}

QStringList LocalModem::commands(const QString& prefix) const {
    QFile log(folder_.filePath("modem.log"));
    QStringList commands;
    if (log.open(QIODevice::ReadOnly))
        for (const QByteArray& line : log.readAll().split('\n'))
            if (line.startsWith("CMD " + prefix.toUtf8()))
                commands << QString::fromUtf8(line.mid(4));
    return commands;
}

void LocalModem::push(const QString& line) {
    session_.write(line.toUtf8() + '\n');
    // The event loop turns meanwhile: the program takes in what the modem announces as it
    // comes, as it would beside a real network.
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        if (session_.canReadLine()) {
            if (session_.readLine().trimmed() == "DONE")
                return;
            continue;
        }
        QEventLoop loop;
        QObject::connect(&session_, &QProcess::readyReadStandardOutput, &loop, &QEventLoop::quit);
        QTimer::singleShot(int(qMax<qint64>(1, deadline.remainingTime())), &loop,
                           &QEventLoop::quit);
        loop.exec();
    }
}

void LocalModem::refuse(const QString& number) {
    QFile refused(folder_.filePath("modem.log.refuse"));
    if (refused.open(QIODevice::Append))
        refused.write(number.toUtf8() + '\n');
}
