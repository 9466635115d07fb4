// Sending at size: (a) the recipient and phone strings for 32767 phones at 7 ticked carriers
// against joining the same precomputed addresses into one reserved string; (b) one message
// with 100 recipients to the local test server against the curl command-line tool sending
// the same message to the same server; (c) the same message through a proxy that adds a
// 50 ms round trip, to a server offering PIPELINING, against msmtp through the same proxy,
// with the round trips each took and the longest pause of the event loop during our send;
// (d) 500 recipients in five messages over one connection through the same proxy, against
// five msmtp runs of 100 and against the round-trip floor.
#include "bench_util.h"
#include "dispatch/recipient_expansion.h"
#include "local_smtp_server.h"
#include "mail/mime_message.h"
#include "mail/net/smtp_mail_submitter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);

    QStringList phones;
    for (int i = 0; i < 32767; ++i)
        phones << QStringLiteral("555%1").arg(i, 7, 10, QLatin1Char('0'));
    const QStringList domains{"vtext.com",           "tmomail.net",   "msg.fi.google.com",
                              "email.uscc.net",      "msg.telus.com", "cspire1.com",
                              "txt.freedommobile.ca"};
    QStringList addresses;
    for (const QString& phone : phones)
        for (const QString& domain : domains)
            addresses << phone + '@' + domain;
    qsizetype total = 0;
    for (const QString& address : addresses)
        total += address.size() + 1;

    const auto [ours, baseline] = alternatingMedians(
        21,
        [&] {
            const auto expansion = dispatch::expandRecipients(phones, domains);
            Q_UNUSED(expansion);
        },
        [&] {
            QString joined;
            joined.reserve(total);
            for (const QString& address : addresses) {
                joined += address;
                joined += QLatin1Char(',');
            }
            joined.chop(1);
        });
    printRatio("recipient and phone strings, 32767 phones x 7 carriers", ours, baseline, 2.0);

    TestCertificates certificates;
    LocalSmtpServer server(certificates);
    if (!certificates.ok() || server.port() == 0) {
        std::printf("local test server not available: submission benchmark skipped\n");
        return 0;
    }
    mail::MailMessage message;
    message.userAddress = "ann@gmail.com";
    message.password = "secret";
    for (int i = 0; i < 100; ++i)
        message.recipients << phones[i] + "@vtext.com";
    message.toHeader = message.recipients.join(',');
    message.subject = "Benchmark";
    message.body = "A short text message.";

    mail::SmtpMailSubmitter submitter(server.clientOptions(certificates.path("ca.pem")));
    const double oursSend = medianMs(7, [&] {
        if (!submitter.submit(message).succeeded())
            std::printf("submission failed\n");
        server.nextMessage();
    });

    QFile upload(certificates.path("message.eml"));
    upload.open(QIODevice::WriteOnly);
    upload.write(mail::composeMessage(message, QDateTime::currentDateTime(), "bench"));
    upload.close();
    QStringList arguments{
        "--silent",      "--show-error",
        "--url",         "smtps://smtp.gmail.com:465",
        "--connect-to",  QStringLiteral("smtp.gmail.com:465:127.0.0.1:%1").arg(server.port()),
        "--cacert",      certificates.path("ca.pem"),
        "--user",        "ann@gmail.com:secret",
        "--mail-from",   "ann@gmail.com",
        "--upload-file", upload.fileName()};
    for (const QString& recipient : message.recipients)
        arguments << "--mail-rcpt" << recipient;
    const double curlSend = medianMs(7, [&] {
        QProcess curl;
        curl.start("curl", arguments);
        curl.waitForFinished(30000);
        if (curl.exitCode() != 0)
            std::printf("curl failed: %s\n", curl.readAllStandardError().constData());
        server.nextMessage();
    });
    printRatio("submit one message to 100 recipients (local server)", oursSend, curlSend, 1.2);

    // (c) Over a simulated link.
    LocalSmtpServer pipelining(certificates, "pipelining");
    QProcess proxy;
    proxy.start("/usr/bin/python3", {QStringLiteral(PARLIVO_SOURCE_DIR) + "/bench/delay_proxy.py",
                                     QString::number(pipelining.port()), "25"});
    int proxyPort = 0;
    while (proxyPort == 0 && proxy.waitForReadyRead(10000))
        if (const QByteArray line = proxy.readLine().trimmed(); line.startsWith("PORT "))
            proxyPort = line.mid(5).toInt();
    const auto turnsOfLastConnection = [&] {
        while (!proxy.canReadLine())
            if (!proxy.waitForReadyRead(10000))
                return -1;
        return proxy.readLine().trimmed().mid(6).toInt();
    };
    mail::MailOptions overLink = pipelining.clientOptions(certificates.path("ca.pem"));
    overLink.connectPort = quint16(proxyPort);
    mail::SmtpMailSubmitter linked(overLink);
    qint64 longestGapNs = 0;
    QElapsedTimer sinceTick;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGapNs = std::max(longestGapNs, sinceTick.nsecsElapsed());
        sinceTick.restart();
    });
    int ourTurns = 0;
    const double oursLinked = medianMs(5, [&] {
        sinceTick.start();
        ticker.start(5);
        if (!linked.submit(message).succeeded())
            std::printf("submission over the link failed\n");
        ticker.stop();
        ourTurns = turnsOfLastConnection();
        pipelining.nextMessage();
    });

    QFile config(certificates.path("msmtprc"));
    config.open(QIODevice::WriteOnly);
    config.write(QStringLiteral("account default\nhost 127.0.0.1\nport %1\ntls on\n"
                                "tls_starttls off\ntls_trust_file %2\ntls_host_override "
                                "smtp.gmail.com\nauth plain\nuser ann@gmail.com\npassword "
                                "secret\nfrom ann@gmail.com\n")
                     .arg(proxyPort)
                     .arg(certificates.path("ca.pem"))
                     .toUtf8());
    config.close();
    config.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    int msmtpTurns = 0;
    const double msmtpLinked = medianMs(5, [&] {
        QProcess msmtp;
        msmtp.start("msmtp", QStringList{"-C", config.fileName()} + message.recipients);
        msmtp.write(mail::composeMessage(message, QDateTime::currentDateTime(), "bench"));
        msmtp.closeWriteChannel();
        msmtp.waitForFinished(60000);
        if (msmtp.exitCode() != 0)
            std::printf("msmtp failed: %s\n", msmtp.readAllStandardError().constData());
        msmtpTurns = turnsOfLastConnection();
        pipelining.nextMessage();
    });
    printRatio("100 recipients over a 50 ms round trip, against msmtp", oursLinked, msmtpLinked,
               1.2);
    const double longestGapMs = double(longestGapNs) / 1e6;
    std::printf("round trips: ours %d, msmtp %d; longest event-loop gap during our send %.1f ms "
                "(target <= 50) %s\n",
                ourTurns, msmtpTurns, longestGapMs, verdict(longestGapMs <= 50));

    // (d) 500 recipients in 5 messages over one connection, against five msmtp runs of 100.
    QList<QStringList> groups;
    for (int m = 0; m < 5; ++m) {
        groups << QStringList();
        for (int i = 0; i < 100; ++i)
            groups.last() << phones[m * 100 + i] + "@vtext.com";
    }
    int batchTurns = 0;
    longestGapNs = 0;
    const double oursBatch = medianMs(5, [&] {
        sinceTick.start();
        ticker.start(5);
        if (!linked.submitEach(message, groups, {}).stop.succeeded())
            std::printf("five messages over the link failed\n");
        ticker.stop();
        batchTurns = turnsOfLastConnection();
        for (int m = 0; m < 5; ++m)
            pipelining.nextMessage();
    });
    const double msmtpBatch = medianMs(3, [&] {
        for (const QStringList& group : groups) {
            QProcess msmtp;
            msmtp.start("msmtp", QStringList{"-C", config.fileName()} + group);
            msmtp.write(mail::composeMessage(message, QDateTime::currentDateTime(), "bench"));
            msmtp.closeWriteChannel();
            msmtp.waitForFinished(60000);
            turnsOfLastConnection();
            pipelining.nextMessage();
        }
    });
    printRatio("500 recipients in 5 messages over a 50 ms round trip, against 5 msmtp runs",
               oursBatch, msmtpBatch, 0.25);
    // The floor: everything of one send in one flight after the login. A send of one message
    // costs one flight more than that (its envelope, then its bytes).
    const int floorTurns = ourTurns - 1;
    std::printf("5 messages against the round-trip floor: %.0f ms against %.0f ms "
                "(one message's time less one round trip); round trips: ours %d, floor %d "
                "(connection, TLS, greeting, EHLO, AUTH, one flight, QUIT), 5 msmtp runs %d; "
                "longest event-loop gap %.1f ms (target <= 50) %s\n",
                oursBatch, oursLinked - 50.0, batchTurns, floorTurns, 5 * msmtpTurns,
                double(longestGapNs) / 1e6, verdict(double(longestGapNs) / 1e6 <= 50));
    proxy.closeWriteChannel();
    proxy.waitForFinished(3000);
    return benchExitCode();
}
