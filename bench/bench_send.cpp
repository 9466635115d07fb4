// Sending at size: (a) the recipient plan for 32767 phones at 7 ticked carriers (each phone
// with the gateways it goes to; the addresses are made a message at a time), against joining
// the same precomputed addresses into one reserved string; (b) one message
// with 100 recipients to the local test server against the curl command-line tool sending
// the same message to the same server; (c) the same message through a proxy that adds a
// 50 ms round trip, to a server offering PIPELINING, against msmtp through the same proxy,
// with the round trips each took and the longest pause of the event loop during our send;
// (d) 500 recipients in five messages over one connection through the same proxy, against
// five msmtp runs of 100 and against the round-trip floor, without CHUNKING, with it, and to
// a private Postfix; (e) the bytes a send of 2,000 recipients in 20 messages writes to the
// private files (the log, the pending sends, the kept rest).
#include "bench_util.h"
#include "core/pointer.h"
#include "local_smtp_server.h"
#include "platform/private_files.h"
#include "routes/email/email_option.h"
#include "routes/email/email_route.h"
#include "routes/email/mail/mime_message.h"
#include "routes/email/net/smtp_mail_submitter.h"
#include "scripted_desktop.h"
#include "sending/send_command.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

namespace {

// An msmtp account for the server behind `port`, as smtp.gmail.com with implicit TLS.
QString msmtpConfig(const TestCertificates& certificates, int port, const QString& caFile = {}) {
    QFile config(certificates.path(QStringLiteral("msmtprc-%1").arg(port)));
    config.open(QIODevice::WriteOnly);
    config.write(QStringLiteral("account default\nhost 127.0.0.1\nport %1\ntls on\n"
                                "tls_starttls off\ntls_trust_file %2\ntls_host_override "
                                "smtp.gmail.com\nauth plain\nuser ann@gmail.com\npassword "
                                "secret\nfrom ann@gmail.com\n")
                     .arg(port)
                     .arg(caFile.isEmpty() ? certificates.path("ca.pem") : caFile)
                     .toUtf8());
    config.close();
    config.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    return config.fileName();
}

// bench/local_postfix.sh: a private Postfix as smtp.gmail.com, or port 0 where it cannot run.
struct LocalPostfix {
    explicit LocalPostfix(const TestCertificates& certificates) : folder(home.path()) {
        // Postfix's own processes run as the postfix user and must reach the queue.
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup |
                                          QFile::ExeGroup);
        QProcess start;
        start.start("/bin/sh", {script(), "start", folder, certificates.path("server.pem"),
                                certificates.path("server.key")});
        start.waitForFinished(30000);
        const QByteArray said = start.readAllStandardOutput().trimmed();
        if (start.exitCode() == 0 && said.startsWith("PORT "))
            port = quint16(said.mid(5).toInt());
    }
    ~LocalPostfix() { QProcess::execute("/bin/sh", {script(), "stop", folder}); }
    static QString script() {
        return QStringLiteral(PARLIVO_SOURCE_DIR) + "/bench/local_postfix.sh";
    }
    QTemporaryDir home;
    QString folder;
    quint16 port = 0;
};

} // namespace

// The bytes written to the private files by one send of 2,000 recipients (the Workspace
// allowance) in 20 messages, every message taken at once.
qint64 privateBytesOfLargeSend() {
    ScriptedDesktop desktop;
    desktop.answers = {platform::Answer::Yes};
    ScriptedMail mail;
    FixedClock clock;
    core::WindowPointer pointer(nullptr);
    QTemporaryDir folder;
    MemorySettings settings; // a Workspace account: 2,000 recipients a day
    settings.values.insert(email_route::kWorkspaceSetting, "True");
    email_route::EmailOption email(mail, nullptr, settings);
    email.windowLogin()->setUserName("ann");
    email.windowLogin()->setPassword("secret");
    model::CommandContext context{desktop,
                                  clock,
                                  "Parlivo",
                                  pointer,
                                  folder.path(),
                                  {folder.filePath("sentmessages.log"),
                                   folder.filePath("delivery-pending.tsv"),
                                   folder.filePath("kept-sends.tsv")}};
    model::OutgoingText text;
    for (int i = 0; i < 2000; ++i)
        text.phones << QStringLiteral("555%1").arg(i, 7, 10, QLatin1Char('0'));
    text.carriers = {{"vtext.com", true}};
    text.words.subject = "Benchmark";
    text.words.body = "A short text message.";
    const qint64 before = platform::privateBytesWritten();
    sending::sendMessage(context, text, email);
    if (mail.sent.size() != 20)
        std::printf("the large send went as %lld messages, not 20\n", qlonglong(mail.sent.size()));
    return platform::privateBytesWritten() - before;
}

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    // Written whole at every message, as an earlier version wrote them, the pending sends and
    // the kept rest cost 1,490,062 bytes for the same send.
    const qint64 written = privateBytesOfLargeSend();
    std::printf("bytes written to the private files by 2,000 recipients in 20 messages: %lld "
                "(each file written whole at every message: 1490062; ratio %.3f)\n",
                qlonglong(written), double(written) / 1490062.0);

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
            const auto plan = email_route::planRecipients(phones, domains);
            Q_UNUSED(plan);
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
    printRatio("recipient plan, 32767 phones x 7 carriers", ours, baseline, 2.0);

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
    DelayProxy proxy(pipelining.port());
    mail::MailOptions overLink = pipelining.clientOptions(certificates.path("ca.pem"));
    overLink.connectPort = quint16(proxy.port);
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
        ourTurns = proxy.turnsOfLastConnection();
        pipelining.nextMessage();
    });
    const auto msmtpOnce = [&](const QString& config, const QStringList& recipients) {
        QProcess msmtp;
        msmtp.start("msmtp", QStringList{"-C", config} + recipients);
        msmtp.write(mail::composeMessage(message, QDateTime::currentDateTime(), "bench"));
        msmtp.closeWriteChannel();
        msmtp.waitForFinished(60000);
        if (msmtp.exitCode() != 0)
            std::printf("msmtp failed: %s\n", msmtp.readAllStandardError().constData());
    };
    const QString config = msmtpConfig(certificates, proxy.port);
    int msmtpTurns = 0;
    const double msmtpLinked = medianMs(5, [&] {
        msmtpOnce(config, message.recipients);
        msmtpTurns = proxy.turnsOfLastConnection();
        pipelining.nextMessage();
    });
    printRatio("100 recipients over a 50 ms round trip, against msmtp", oursLinked, msmtpLinked,
               1.2);
    const double longestGapMs = double(longestGapNs) / 1e6;
    std::printf("round trips: ours %d, msmtp %d; longest event-loop gap during our send %.1f ms "
                "(target <= 50) %s\n",
                ourTurns, msmtpTurns, longestGapMs, verdict(longestGapMs <= 50));

    // (d) 500 recipients in 5 messages over one connection, against five msmtp runs of 100:
    // to the test server without CHUNKING (DATA: a message costs one round trip, and the
    // first envelope one more), with CHUNKING (BDAT: one round trip a message, the login
    // with the first), and to a private Postfix, which offers CHUNKING.
    QList<QStringList> groups;
    for (int m = 0; m < 5; ++m) {
        groups << QStringList();
        for (int i = 0; i < 100; ++i)
            groups.last() << phones[m * 100 + i] + "@vtext.com";
    }
    // The floor: everything of one send in one flight after the login. A send of one message
    // costs one flight more than that (its envelope, then its bytes).
    const int floorTurns = ourTurns - 1;
    const auto fiveMessages = [&](const char* label, quint16 serverPort, const QString& caFile,
                                  const std::function<void(int)>& drain, double target) {
        DelayProxy link(serverPort);
        mail::MailOptions options = overLink;
        options.connectPort = quint16(link.port);
        options.caFile = caFile;
        mail::SmtpMailSubmitter batch(options);
        int batchTurns = 0;
        longestGapNs = 0;
        const double ours = medianMs(5, [&] {
            sinceTick.start();
            ticker.start(5);
            if (!batch.submitEach(message, groups, {}).stop.succeeded())
                std::printf("five messages over the link failed\n");
            ticker.stop();
            batchTurns = link.turnsOfLastConnection();
            drain(5);
        });
        const QString linkConfig = msmtpConfig(certificates, link.port, caFile);
        int runTurns = 0;
        const double msmtp = medianMs(3, [&] {
            runTurns = 0;
            for (const QStringList& group : groups) {
                msmtpOnce(linkConfig, group);
                runTurns += link.turnsOfLastConnection();
                drain(1);
            }
        });
        printRatio(qPrintable(QStringLiteral("500 recipients in 5 messages over a 50 ms round "
                                             "trip, %1, against 5 msmtp runs")
                                  .arg(label)),
                   ours, msmtp, target);
        std::printf("  round trips: ours %d, floor %d (connection, TLS, greeting, EHLO, AUTH, one "
                    "flight, QUIT), 5 msmtp runs %d; longest event-loop gap %.1f ms (target <= "
                    "50) %s\n",
                    batchTurns, floorTurns, runTurns, double(longestGapNs) / 1e6,
                    verdict(double(longestGapNs) / 1e6 <= 50));
    };
    const QString ca = certificates.path("ca.pem");
    const auto drained = [](LocalSmtpServer& server) {
        return [&server](int messages) {
            for (int m = 0; m < messages; ++m)
                server.nextMessage();
        };
    };
    // Without CHUNKING a message cannot go before its DATA is answered: one flight more.
    fiveMessages("DATA (test server)", pipelining.port(), ca, drained(pipelining), 0.3);
    LocalSmtpServer chunking(certificates, "pipelining,chunking");
    fiveMessages("BDAT (test server)", chunking.port(), ca, drained(chunking), 0.25);
    LocalPostfix postfix(certificates);
    if (postfix.port)
        fiveMessages(
            "BDAT (Postfix)", postfix.port, ca, [](int) {}, 0.25);
    else
        std::printf("a private Postfix could not start (it needs root, postfix and dovecot): "
                    "its figure skipped\n");
    return benchExitCode();
}
