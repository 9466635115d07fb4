// The mail layer against servers that misbehave (tests/routes/email/mail/hostile_server.py),
// trusted by a test CA as a company's TLS proxy would be: every stream ends at its bound, as the
// failure it is, without the memory growing with what the server sends.
#include "local_smtp_server.h"
#include "process_memory.h"
#include "routes/email/net/imap_bounce_reader.h"
#include "routes/email/net/smtp_mail_submitter.h"

#include <QElapsedTimer>
#include <QTest>

using mail::MailboxFailure;
using mail::MailFailure;

namespace {
mail::MailMessage oneText() {
    mail::MailMessage message;
    message.userAddress = "ann@gmail.com";
    message.password = "secret";
    message.recipients = QStringList{"5555550100@vtext.com"};
    message.toHeader = message.recipients.first();
    return message;
}
} // namespace

class TestHostileServers : public QObject {
    Q_OBJECT
    std::unique_ptr<TestCertificates> certificates;

  private slots:
    void initTestCase() {
        certificates = std::make_unique<TestCertificates>();
        QVERIFY(certificates->ok());
    }

    void smtp_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("certificate");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("reason");
        const int general = int(MailFailure::General);
        QTest::newRow("endless line")
            << "smtp-endless-line"
            << "server" << general
            << "The server's reply was not SMTP: a reply line longer than 4096 bytes (after EHLO)";
        QTest::newRow("endless continuations")
            << "smtp-endless-continuation"
            << "server" << general
            << "The server's reply was not SMTP: a reply of more than 100 lines (after EHLO)";
        QTest::newRow("closed before TLS")
            << "close-before-tls"
            << "server" << int(MailFailure::Unreachable) << "The remote host closed the connection";
        QTest::newRow("reset before TLS") << "reset-before-tls"
                                          << "server" << int(MailFailure::Unreachable) << "";
        QTest::newRow("common name right, DNS name wrong")
            << "greet"
            << "san-other" << int(MailFailure::Untrusted)
            << "The certificate does not name smtp.gmail.com: it names other.example.";
        // The login sent back: no box shows it, in base64 at any alignment or in hex.
        for (const char* shift : {"0", "1", "2"})
            QTest::newRow(
                qPrintable(QStringLiteral("login echoed in base64, shifted %1").arg(shift)))
                << QStringLiteral("smtp-echo-base64-") + shift << "server"
                << int(MailFailure::Refused)
                << "The server refused AUTH: 501 5.5.2 Cannot decode [hidden]";
        QTest::newRow("login echoed in the URL-safe alphabet")
            << "smtp-echo-urlsafe"
            << "server" << int(MailFailure::Refused)
            << "The server refused AUTH: 501 5.5.2 Cannot decode [hidden]";
        QTest::newRow("login echoed in hex")
            << "smtp-echo-hex"
            << "server" << int(MailFailure::LoginRefused)
            << "The server refused AUTH: 535 5.7.8 [hidden] not accepted";
        QTest::newRow("password split over two reply lines")
            << "smtp-echo-split"
            << "server" << int(MailFailure::LoginRefused)
            << "The server refused AUTH: 535 5.7.8 Password [hidden] not accepted";
        QTest::newRow("login echoed in a line that is no SMTP")
            << "smtp-echo-line"
            << "server" << general << "The server's reply was not SMTP: oops [hidden]";
    }

    void smtp() {
        QFETCH(QString, mode);
        QFETCH(QString, certificate);
        QFETCH(int, kind);
        QFETCH(QString, reason);
        LocalSmtpServer server(*certificates, mode, "hostile_server.py", certificate);
        QVERIFY(server.port() > 0);
        mail::MailOptions options = server.clientOptions(certificates->path("ca.pem"));
        options.stallMs = options.deadlineMs = 20000;
        const qint64 resting = processStatusKiB("VmRSS");
        resetPeakMemory();
        mail::MailMessage message = oneText();
        if (mode == "smtp-echo-urlsafe") // a password whose base64 has "+" and "/"
            message.password = ">>>???~~~ok";
        const auto result = mail::SmtpMailSubmitter(options).submit(message);
        QCOMPARE(int(result.failure), kind);
        if (!reason.isEmpty())
            QVERIFY2(result.description.startsWith(reason), qPrintable(result.description));
        if (mode.startsWith("smtp-echo"))
            QVERIFY2(!(result.description + result.serverReply).contains("c2VjcmV0"),
                     qPrintable(result.serverReply)); // "secret" in base64
        QVERIFY2(processStatusKiB("VmHWM") - resting < 64 * 1024,
                 qPrintable(QString::number(resting)));
    }

    // Bytes that keep coming are progress: only silence counts toward the stall limit.
    void steadyTrickle_isNoStall() {
        LocalSmtpServer server(*certificates, "smtp-trickle", "hostile_server.py");
        QVERIFY(server.port() > 0);
        mail::MailOptions options = server.clientOptions(certificates->path("ca.pem"));
        options.stallMs = 1000;
        const auto result = mail::SmtpMailSubmitter(options).submit(oneText());
        // The greeting that trickled over 2 s came whole; only the silence after EHLO ended it.
        QCOMPARE(result.failure, mail::MailFailure::General);
        QCOMPARE(result.description,
                 QStringLiteral("The server did not answer within 1 s. (after EHLO)"));
    }

    void imap_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("reason");
        QTest::newRow("endless untagged") << "imap-endless-untagged" << int(MailboxFailure::Other)
                                          << "The server's answer is too long.";
        QTest::newRow("chained literals") << "imap-chained-literals" << int(MailboxFailure::Other)
                                          << "The server's answer is too long.";
        QTest::newRow("login answered NO")
            << "imap-login-no" << int(MailboxFailure::LoginRefused)
            << "a2 NO [AUTHENTICATIONFAILED] Invalid credentials (Failure)";
        QTest::newRow("login answered BAD") << "imap-login-bad" << int(MailboxFailure::LoginRefused)
                                            << "a2 BAD Invalid credentials (Failure)";
        // base64 of "\0ann@gmail.com\0secret": 28 bytes.
        QTest::newRow("login in two steps")
            << "imap-login-in-two-steps" << int(MailboxFailure::LoginRefused)
            << "a2 NO credentials of 28 bytes";
        QTest::newRow("login refused before its credentials")
            << "imap-login-without-continuation" << int(MailboxFailure::LoginRefused)
            << "a2 NO " + QString(194, 'n'); // the server's words cut at 200 characters
        QTest::newRow("closed at the login")
            << "imap-close-at-login" << int(MailboxFailure::Unreachable)
            << "The connection was lost: The remote host closed the connection"; // not refused
        QTest::newRow("closed before TLS") << "close-before-tls" << int(MailboxFailure::Unreachable)
                                           << "The remote host closed the connection";
        // A busy server is not a wrong password; literals that are none end the check at once.
        const struct {
            const char *name, *mode;
            MailboxFailure failure;
            const char* reason;
        } rows[] = {
            {"busy: UNAVAILABLE", "imap-login-unavailable", MailboxFailure::Other,
             "a2 NO [UNAVAILABLE] Try again later"},
            {"busy: SERVERBUG", "imap-login-serverbug", MailboxFailure::Other,
             "a2 NO [SERVERBUG] Internal error"},
            {"busy before the continuation", "imap-login-limit-before-continuation",
             MailboxFailure::Other, "a2 NO [LIMIT] Too many sessions"},
            {"busy: BYE", "imap-login-bye", MailboxFailure::Other, "* BYE Shutting down"},
            {"alert before the continuation", "imap-login-alert-before-continuation",
             MailboxFailure::LoginRefused, "a2 NO credentials of 28 bytes"},
            {"literal size no number", "imap-literal-unparsable", MailboxFailure::Other,
             "The server's answer is too long."},
            {"literal size negative", "imap-literal-negative", MailboxFailure::Other,
             "The server's answer is too long."},
            {"no literal in a status text", "imap-literal-in-status", MailboxFailure::LoginRefused,
             "a2 NO [AUTHENTICATIONFAILED] Bad {5}"},
        };
        for (const auto& row : rows)
            QTest::newRow(row.name) << row.mode << int(row.failure) << row.reason;
    }

    void imap() {
        QFETCH(QString, mode);
        QFETCH(int, failure);
        QFETCH(QString, reason);
        LocalSmtpServer server(*certificates, mode, "hostile_server.py");
        QVERIFY(server.port() > 0);
        mail::MailOptions options = mail::gmailImapOptions();
        options.connectAddress = "127.0.0.1";
        options.connectPort = quint16(server.port());
        options.caFile = certificates->path("ca.pem");
        const qint64 resting = processStatusKiB("VmRSS");
        resetPeakMemory();
        const auto result = mail::ImapBounceReader(options).readBounces("ann@gmail.com", "secret",
                                                                        QDate::currentDate());
        QCOMPARE(int(result.failure), failure);
        QCOMPARE(result.reason, reason);
        QVERIFY(result.reports.isEmpty());
        QVERIFY2(processStatusKiB("VmHWM") - resting < 64 * 1024,
                 qPrintable(QString::number(resting)));
    }
};

QTEST_MAIN(TestHostileServers)
#include "test_hostile_servers.moc"
