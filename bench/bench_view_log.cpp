// The delivery check of "View Log" over a simulated link: a private Dovecot holding 20
// bounces, behind a proxy that adds a 50 ms round trip; our mailbox reader (login, search,
// fetch of every bounce, read) against the curl command-line tool doing the same login,
// search and fetch of the 20 messages over IMAPS through the same proxy, with the round trips
// each took.
#include "bench_util.h"
#include "local_dovecot.h"
#include "local_smtp_server.h"
#include "routes/email/net/imap_bounce_reader.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QProcess>

namespace {
const char* kUser = "ann@gmail.com";
const char* kPassword = "abcdefghijklmnop";

QByteArray bounce(int i) {
    const QByteArray address =
        "55555503" + QByteArray::number(i).rightJustified(2, '0') + "@vtext.com";
    return "From: Mail Delivery Subsystem <mailer-daemon@googlemail.com>\r\nTo: "
           "ann@gmail.com\r\nSubject: Delivery Status Notification (Failure)\r\nIn-Reply-To: "
           "<bench.1@gmail.com>\r\nMIME-Version: 1.0\r\nContent-Type: multipart/report; "
           "report-type=delivery-status; boundary=\"b\"\r\n\r\n--b\r\nContent-Type: "
           "text/plain\r\n\r\nAddress not found: " +
           address + "\r\n" + QByteArray(2000, 'x') +
           "\r\n--b\r\nContent-Type: message/delivery-status\r\n\r\nReporting-MTA: dns; "
           "googlemail.com\r\n\r\nFinal-Recipient: rfc822; " +
           address + "\r\nAction: failed\r\nStatus: 5.1.1\r\n--b--\r\n";
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    TestCertificates certificates;
    QList<QByteArray> bounces;
    for (int i = 0; i < 20; ++i)
        bounces << bounce(i);
    LocalDovecot dovecot(certificates, bounces);
    if (!certificates.ok() || !dovecot.started()) {
        std::printf("Dovecot not available: benchmark skipped\n");
        return 0;
    }
    QProcess proxy;
    proxy.start("/usr/bin/python3", {QStringLiteral(PARLIVO_SOURCE_DIR) + "/bench/delay_proxy.py",
                                     QString::number(dovecot.port()), "25"});
    int proxyPort = 0;
    while (proxyPort == 0 && proxy.waitForReadyRead(10000))
        if (const QByteArray line = proxy.readLine().trimmed(); line.startsWith("PORT "))
            proxyPort = line.mid(5).toInt();
    // The round trips of the connections that ended since the last call.
    const auto turnsSinceLastCall = [&] {
        int turns = 0;
        proxy.waitForReadyRead(300);
        while (proxy.canReadLine() || proxy.waitForReadyRead(100))
            if (const QByteArray line = proxy.readLine().trimmed(); line.startsWith("TURNS "))
                turns += line.mid(6).toInt();
        return turns;
    };

    mail::MailOptions options = dovecot.clientOptions(certificates.path("ca.pem"));
    options.connectPort = quint16(proxyPort);
    mail::ImapBounceReader reader(options);
    qsizetype found = 0;
    const auto check = [&] {
        found =
            reader.readBounces(kUser, kPassword, QDate::currentDate().addDays(-1)).reports.size();
    };
    const double ours = medianMs(5, check, [&] { turnsSinceLastCall(); });
    turnsSinceLastCall();
    check(); // once more, for its round trips
    const int ourTurns = turnsSinceLastCall();

    // curl: the same login, the same search, then each message in full, on one connection.
    const QString base = QStringLiteral("imaps://imap.gmail.com:%1/INBOX").arg(proxyPort);
    const QStringList common{"-s",
                             "--cacert",
                             certificates.path("ca.pem"),
                             "--resolve",
                             QStringLiteral("imap.gmail.com:%1:127.0.0.1").arg(proxyPort),
                             "-u",
                             QStringLiteral("%1:%2").arg(kUser, kPassword),
                             "-o",
                             "/dev/null"};
    QStringList curlArguments = common;
    curlArguments << base << "-X"
                  << "UID SEARCH SINCE " + QDate::currentDate().addDays(-1).toString("d-MMM-yyyy") +
                         " OR OR FROM \"mailer-daemon\" FROM \"postmaster\" FROM \"post_master\"";
    for (int uid = 1; uid <= 20; ++uid)
        curlArguments << "--next" << common << base + QStringLiteral(";UID=%1").arg(uid);
    const auto fetchWithCurl = [&] {
        QProcess process;
        process.start("curl", curlArguments);
        process.waitForFinished(60000);
        if (process.exitCode() != 0)
            std::printf("curl failed (%d)\n", process.exitCode());
    };
    const double curl = medianMs(5, fetchWithCurl, [&] { turnsSinceLastCall(); });
    turnsSinceLastCall();
    fetchWithCurl();
    const int curlTurns = turnsSinceLastCall();
    printRatio("View Log check of 20 bounces over a 50 ms round trip, against curl", ours, curl,
               1.2);
    std::printf("bounces read: %lld; round trips: ours %d, curl %d\n", qlonglong(found), ourTurns,
                curlTurns);
    proxy.closeWriteChannel();
    proxy.waitForFinished(3000);
    return benchExitCode();
}
