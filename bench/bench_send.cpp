// Sending at size: (a) the recipient and phone strings for 32767 phones at 7 ticked carriers
// against joining the same precomputed addresses into one reserved string; (b) one message
// with 100 recipients to the local test server against the curl command-line tool sending
// the same message to the same server.
#include "bench_util.h"
#include "dispatch/recipient_expansion.h"
#include "local_smtp_server.h"
#include "platform/mime_message.h"
#include "platform/smtp_mail_submitter.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

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
    platform::MailMessage message;
    message.userAddress = "ann@gmail.com";
    message.password = "secret";
    for (int i = 0; i < 100; ++i)
        message.recipients << phones[i] + "@vtext.com";
    message.toHeader = message.recipients.join(',');
    message.subject = "Benchmark";
    message.body = "A short text message.";

    platform::SmtpMailSubmitter submitter(server.clientOptions(certificates.path("ca.pem")));
    const double oursSend = medianMs(7, [&] {
        if (!submitter.submit(message).succeeded())
            std::printf("submission failed\n");
        server.nextMessage();
    });

    QFile upload(certificates.path("message.eml"));
    upload.open(QIODevice::WriteOnly);
    upload.write(platform::composeMessage(message, QDateTime::currentDateTime(), "bench"));
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
    return 0;
}
