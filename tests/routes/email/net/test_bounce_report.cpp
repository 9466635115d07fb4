// Bounces as Gmail and carriers write them (fixtures in bounces/), and the log records
// made from them.
#include "records/pending_file.h"
#include "records/sent_log.h"
#include "routes/email/bounce_records.h"
#include "routes/email/email_route.h"
#include "routes/email/net/bounce_reader.h"
#include "routes/email/replies.h"

#include "test_files.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using mail::readBounce;
using mail::RecipientStatus;

namespace {
// Each recipient a report names: "address failed|delayed status".
QStringList found(const mail::BounceReport& report) {
    QStringList lines;
    for (const RecipientStatus& r : report.recipients)
        lines << r.address + (r.failed ? " failed " : " delayed ") + r.status;
    return lines;
}

const QString kSend = QStringLiteral("3lq8x0f2k1z7a.1v9c4m2p8s6d@gmail.com");

model::PendingSend send(const QStringList& addresses) {
    return {kSend,
            QDateTime(QDate(2026, 12, 7), QTime(21, 0), Qt::UTC),
            "07/12/2026 21:00",
            QString::fromUtf8("Réunion déplacée"),
            addresses,
            {},
            false,
            1,
            "email"};
}
} // namespace

class TestBounceReport : public QObject {
    Q_OBJECT
  private slots:
    void gmailFailure_namesEveryRecipientAndTheOriginal() {
        const auto report = readBounce(bounceFixture("gmail-failure.eml"));
        QVERIFY(report.messageIds.contains(kSend));
        QVERIFY(!report.messageIds.contains("bounce-1.abc@mx.google.com"));
        QCOMPARE(report.recipients.size(), 2);
        QCOMPARE(report.recipients[0],
                 (RecipientStatus{"5555550100@vtext.com",
                                  true,
                                  "5.1.1",
                                  "550 5.1.1 <5555550100@vtext.com>: Recipient address rejected: "
                                  "User unknown",
                                  {}}));
        QCOMPARE(report.recipients[1].address, QStringLiteral("5555550101@vtext.com"));
        QVERIFY(report.recipients[1].failed); // "ACTION: Failed"
    }

    void gmailDelay_encodedPartWithItsRetryDate() {
        const auto report = readBounce(bounceFixture("gmail-delay.eml"));
        QVERIFY(report.messageIds.contains(kSend));
        QCOMPARE(report.recipients.size(), 1);
        QVERIFY(!report.recipients[0].failed);
        QCOMPARE(report.recipients[0].status, QStringLiteral("4.4.1"));
        QCOMPARE(report.recipients[0].willRetryUntil,
                 QStringLiteral("Thu, 10 Dec 2026 21:00:01 -0800 (PST)"));
    }

    void dnsError_isAFailureWhateverItsStatus() {
        const auto report = readBounce(bounceFixture("gmail-dns.eml"));
        QVERIFY(report.messageIds.contains(kSend)); // from X-Original-Message-ID only
        QCOMPARE(report.recipients.size(), 1);
        QVERIFY(report.recipients[0].failed);
        QCOMPARE(report.recipients[0].status, QStringLiteral("4.0.0"));
    }

    void carrierPlainText_givesTheRefusedAddress() {
        const auto report = readBounce(bounceFixture("carrier-plain.eml"));
        QCOMPARE(report.messageIds, QStringList{kSend});
        QCOMPARE(report.recipients.size(), 1);
        QCOMPARE(report.recipients[0].address, QStringLiteral("5555550103@vtext.com"));
        QVERIFY(report.recipients[0].failed);
        QCOMPARE(report.recipients[0].diagnostic,
                 QStringLiteral("550 - Requested action not taken: no such user here"));
    }

    // Shapes that mail systems write beside Gmail's: each recipient with its own verdict and
    // status, and the send's Message-ID wherever the bounce carries it.
    void otherShapes_data() {
        QTest::addColumn<QByteArray>("mail");
        QTest::addColumn<QStringList>("recipients"); // "address failed|delayed status"
        QTest::addColumn<bool>("tied");              // the send's Message-ID was found
        const QByteArray id = "<" + kSend.toLatin1() + ">";
        const QByteArray report = "MIME-Version: 1.0\r\nSubject: Undelivered Mail\r\n"
                                  "From: MAILER-DAEMON@mx.example\r\nContent-Type: multipart/"
                                  "report; report-type=delivery-status;\r\nboundary=\"b\"\r\n"
                                  "\r\n--b\r\nContent-Type: text/plain\r\n\r\nSee below.\r\n"
                                  "--b\r\nContent-Type: message/delivery-status\r\n\r\n"
                                  "Reporting-MTA: dns; mx.example\r\n\r\n";
        const QByteArray returned = "\r\n--b\r\nContent-Type: message/rfc822\r\n\r\n"
                                    "\r\nMessage-ID: " +
                                    id + "\r\nSubject: x\r\n\r\nbody\r\n--b--\r\n";
        QTest::newRow("boundary on a bare line, recipients without blank lines")
            << report +
                   "Final-Recipient: rfc822; 5555550100@vtext.com>\r\nAction: failed\r\n"
                   "Status: 5.0.0 (permanent failure)\r\nDiagnostic-Code: smtp; 550 5.1.1 "
                   "unknown\r\nFinal-Recipient: rfc822; 5555550101@vtext.com\r\nAction: "
                   "delayed\r\nStatus:\r\nDiagnostic-Code: smtp; 451 4.4.1 try later\r\n"
                   "\r\nOriginal-Recipient: rfc822;5555550102@vtext.com\r\n"
                   "Final-Recipient: x-local; |/usr/bin/procmail\r\nAction: failed\r\n"
                   "Status: 5.3.0\r\n" +
                   returned
            << QStringList{"5555550100@vtext.com failed 5.1.1",
                           "5555550101@vtext.com delayed 4.4.1",
                           "5555550102@vtext.com failed 5.3.0"}
            << true;
        QTest::newRow("addresses in angle brackets and quotes")
            << report +
                   "Final-Recipient: rfc822; <5555550100@vtext.com>\r\nAction: failed\r\n"
                   "Status: 5.0.0\r\nDiagnostic-Code: 550 5.1.1 unknown; see the manual\r\n\r\n"
                   "Final-Recipient: rfc822;\"5555550101@vtext.com\"\r\nAction: failed\r\n"
                   "Status: 5.7.1\r\n" +
                   returned
            << QStringList{"5555550100@vtext.com failed 5.1.1", "5555550101@vtext.com failed 5.7.1"}
            << true;
        QTest::newRow("multipart whose boundary never comes: its text is read")
            << QByteArray(
                   "From: MAILER-DAEMON@mx.example\r\nSubject: Undelivered Mail Returned to "
                   "Sender\r\n"
                   "MIME-Version: 1.0\r\nContent-Type: multipart/report; boundary=\"never\"\r\n\r\n"
                   "<5555550100@vtext.com>: host mx.vtext.com said: 550 5.1.1 unknown user\r\n")
            << QStringList{"5555550100@vtext.com failed 5.1.1"} << false;
        QTest::newRow("X-Failed-Recipients and the reply each got")
            << "From: Mail Delivery System <Mailer-Daemon@mx.example>\r\nSubject: Mail "
               "delivery failed: returning message to sender\r\nX-Failed-Recipients: "
               "5555550100@vtext.com, 5555550101@vtext.com\r\n\r\nThis message was created "
               "automatically by mail delivery software.\r\n\r\n  5555550100@vtext.com\r\n"
               "    host mx.vtext.com said: 553 5.1.1 no such user\r\n  "
               "5555550101@vtext.com\r\n    host mx.vtext.com said: 552 5.2.2 mailbox full\r\n"
               "\r\n------ This is a copy of the message, including all the headers. ------\r\n"
               "To: 5555550100@vtext.com, 5555550101@vtext.com, 5555550102@vtext.com\r\n"
               "> Message-Id: " +
                   id + "\r\n"
            << QStringList{"5555550100@vtext.com failed 5.1.1", "5555550101@vtext.com failed 5.2.2"}
            << true;
        QTest::newRow("plain text, a failure and a delay")
            << "From: postmaster@mx.example\r\nSubject: Delivery failure notice\r\n\r\n"
               "<5555550100@vtext.com>: 550 5.1.1 user unknown\r\n\r\n<5555550101@vtext.com>: "
               "451 4.3.0 temporary failure, will retry\r\n\r\n--- Below this line is a copy "
               "of the message.\r\n\r\nTo: 5555550102@vtext.com\r\nMessage-ID: " +
                   id + "\r\n"
            << QStringList{"5555550100@vtext.com failed 5.1.1",
                           "5555550101@vtext.com delayed 4.3.0"}
            << true;
        QTest::newRow("qmail")
            << "From: MAILER-DAEMON@mx.example\r\nSubject: failure notice\r\n\r\nHi. This is "
               "the qmail-send program at mx.example.\r\nI'm afraid I wasn't able to deliver "
               "your message to the following addresses.\r\nThis is a permanent error; I've "
               "given up. Sorry it didn't work out.\r\n\r\n<5555550100@vtext.com>:\r\n"
               "192.0.2.5 does not like recipient.\r\nRemote host said: 550 5.1.1 User "
               "unknown\r\nGiving up on 192.0.2.5.\r\n\r\n--- Below this line is a copy of "
               "the message.\r\n\r\nReturn-Path: <ann@gmail.com>\r\nTo: "
               "5555550100@vtext.com, 5555550101@vtext.com\r\nMessage-ID: " +
                   id + "\r\n"
            << QStringList{"5555550100@vtext.com failed 5.1.1"} << true;
        QTest::newRow("Yahoo")
            << "From: MAILER-DAEMON@yahoo.com\r\nSubject: Failure Notice\r\n\r\nSorry, we "
               "were unable to deliver your message to the following address.\r\n\r\n"
               "<5555550100@vtext.com>:\r\nRemote host said: 554 delivery error: dd Sorry your "
               "message to 5555550100@vtext.com cannot be delivered. This mailbox is disabled "
               "(554.30). [RCPT_TO]\r\n\r\n--- Below this line is a copy of the message."
               "\r\n\r\nTo: 5555550100@vtext.com, 5555550101@vtext.com\r\nMessage-Id: " +
                   id + "\r\n"
            << QStringList{"5555550100@vtext.com failed 5.0.0"} << true;
        QTest::newRow("Office 365")
            << "From: Microsoft Outlook <postmaster@contoso.onmicrosoft.com>\r\nSubject: "
               "Undeliverable: Meeting moved\r\nMIME-Version: 1.0\r\nContent-Type: "
               "multipart/report; report-type=delivery-status; boundary=\"o\"\r\n\r\n--o\r\n"
               "Content-Type: text/html\r\n\r\n<p>Your message to 5555550101@vtext.com "
               "couldn't be delivered.</p>\r\n--o\r\nContent-Type: message/delivery-status\r\n"
               "\r\nReporting-MTA: dns;BN8PR.prod.outlook.com\r\n\r\nFinal-Recipient: rfc822;"
               "5555550100@vtext.com\r\nAction: failed\r\nStatus: 5.1.10\r\nDiagnostic-Code: "
               "smtp;550 5.1.10 RESOLVER.ADR.RecipientNotFound; Recipient not found\r\n\r\n--o\r\n"
               "Content-Type: text/rfc822-headers\r\n\r\nTo: 5555550100@vtext.com, "
               "5555550101@vtext.com\r\nMessage-ID: " +
                   id + "\r\n--o--\r\n"
            << QStringList{"5555550100@vtext.com failed 5.1.10"} << true;
        QTest::newRow("a delivered report names no failure")
            << report +
                   "Final-Recipient: rfc822; 5555550100@vtext.com\r\nAction: delivered\r\n"
                   "Status: 2.0.0\r\n" +
                   returned
            << QStringList() << true;
        // Successes beside a failure, under a failure's subject, each address also in the text.
        QTest::newRow("2.x.x and the success actions are never failures")
            << "Subject: Delivery Status Notification (Failure)\r\n" +
                   report.mid(report.indexOf("From:"))
                       .replace("See below.",
                                "550 5.1.1 5555550100@vtext.com 5555550101@vtext.com "
                                "5555550102@vtext.com 5555550103@vtext.com 5555550104@vtext.com") +
                   "Final-Recipient: rfc822; 5555550100@vtext.com\r\nAction: deliverable\r\n"
                   "Status: 2.1.5\r\n\r\nFinal-Recipient: rfc822; 5555550101@vtext.com\r\n"
                   "Action: relayed\r\nStatus: 5.0.0\r\n\r\nFinal-Recipient: rfc822; "
                   "5555550102@vtext.com\r\nAction: failed\r\nStatus: 2.0.0\r\n\r\n"
                   "Final-Recipient: rfc822; 5555550103@vtext.com\r\nAction: expanded\r\n\r\n"
                   "Final-Recipient: rfc822; 5555550104@vtext.com\r\nAction: failed\r\n"
                   "Status: 5.1.1\r\n" +
                   returned
            << QStringList{"5555550104@vtext.com failed 5.1.1"} << true;
        QTest::newRow("a vacation reply names no failure")
            << "From: Bob <5555550100@vtext.com>\r\nSubject: Out of office\r\nIn-Reply-To: " + id +
                   "\r\n\r\nI am away; write to 5555550101@vtext.com, 550 thanks.\r\n"
            << QStringList() << true;
    }
    void otherShapes() {
        QFETCH(QByteArray, mail);
        QFETCH(QStringList, recipients);
        QFETCH(bool, tied);
        // As IMAP gives it (CR LF) and as a file keeps it (LF): the same report.
        for (const QByteArray& form : {mail, QByteArray(mail).replace("\r\n", "\n")}) {
            const auto report = readBounce(form);
            QCOMPARE(found(report), recipients);
            QCOMPARE(report.messageIds.contains(kSend), tied);
        }
    }

    // Bounces that real mail systems wrote (bounces/real/make_bounces.sh): an unknown local
    // user, an address the gateway refused for good and one it refused for now.
    void realMailSystems_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("recipients"); // "address failed|delayed status"
        QTest::newRow("Postfix failure") << "real/postfix-failure.eml"
                                         << QStringList{"nosuchuser@mx.parlivo.test failed 5.1.1",
                                                        "5555550100@vtext.com failed 5.1.1"};
        QTest::newRow("Postfix delay")
            << "real/postfix-delay.eml" << QStringList{"5555550101@vtext.com delayed 4.3.0"};
        QTest::newRow("Exim failure") << "real/exim4-failure.eml"
                                      << QStringList{"nosuchuser@mx.parlivo.test failed 5.0.0",
                                                     "5555550100@vtext.com failed 5.1.1"};
        QTest::newRow("Exim delay")
            << "real/exim4-delay.eml" << QStringList{"5555550101@vtext.com delayed 4.3.0"};
        QTest::newRow("OpenSMTPD failure")
            << "real/opensmtpd-failure.eml" << QStringList{"5555550100@vtext.com failed 5.1.1"};
        QTest::newRow("OpenSMTPD delay")
            << "real/opensmtpd-delay.eml" << QStringList{"5555550101@vtext.com delayed 4.3.0"};
        QTest::newRow("Courier failure")
            << "real/courier-failure.eml"
            << QStringList{"5555550100@vtext.com failed 5.1.1", "5555550101@vtext.com failed 5.0.0",
                           "nosuchuser@mx.parlivo.test failed 5.0.0"};
        QTest::newRow("sendmail failure") << "real/sendmail-failure.eml"
                                          << QStringList{"nosuchuser@mx.parlivo.test failed 5.1.1",
                                                         "5555550100@vtext.com failed 5.1.1"};
        QTest::newRow("sendmail delay")
            << "real/sendmail-delay.eml" << QStringList{"5555550101@vtext.com delayed 4.3.0"};
        QTest::newRow("Courier delay")
            << "real/courier-delay.eml" << QStringList{"5555550101@vtext.com delayed 4.3.0"};
    }
    void realMailSystems() {
        QFETCH(QString, file);
        QFETCH(QStringList, recipients);
        const QByteArray mail = bounceFixture(qPrintable(file));
        const QString system = file.section('/', 1).section('-', 0, 0);
        for (const QByteArray& form : {mail, QByteArray(mail).replace("\n", "\r\n")}) {
            const auto report = readBounce(form);
            QCOMPARE(found(report), recipients);
            QVERIFY2(report.messageIds.contains("real-" + system + ".1@gmail.com"),
                     qPrintable(report.messageIds.join(' ')));
        }
    }

    void records_haveTheLogsShapeAndOnlyNews() {
        auto pending = send({"5555550100@vtext.com", "5555550101@vtext.com",
                             "5555550100@tmomail.net", "5555550102@txt.att.net",
                             "5555550104@msg.fi.google.com", "5555550105@msg.fi.google.com"});
        QList<mail::BounceReport> bounces;
        for (const char* name : {"gmail-failure.eml", "gmail-dns.eml", "other-message.eml"})
            bounces << readBounce(bounceFixture(name));
        const QString record = email_route::deliveryRecord("08/12/2026 09:00", pending, bounces);
        // The heading keeps the subject as the send's own record has it; a phone refused at
        // every gateway it was sent to gets a verdict of its own.
        QCOMPARE(record,
                 QString::fromUtf8(
                     "08/12/2026 09:00\r\n"
                     "Delivery: message of 07/12/2026 21:00, Subject:Réunion déplacée\r\n"
                     "Not delivered: 5555550100 at vtext.com (5.1.1 550 5.1.1 "
                     "<5555550100@vtext.com>: Recipient address rejected: User unknown)\r\n"
                     "Not delivered: 5555550101 at vtext.com (5.1.1 550 5.1.1 "
                     "<5555550101@vtext.com>: Recipient address rejected: User unknown)\r\n"
                     "Not delivered: 5555550100 at tmomail.net (4.0.0 DNS Error: DNS type 'mx' "
                     "lookup of tmomail.net responded with code NXDOMAIN Domain name not found: "
                     "tmomail.net)\r\n"
                     "Not reached at any ticked carrier: 5555550100\r\n"
                     "Not reached at any ticked carrier: 5555550101\r\n"
                     "No bounce from the other 3 addresses (silence does not prove "
                     "delivery).\r\n\r\n"));
        // The same bounces again are no news; a later delay is.
        QCOMPARE(email_route::deliveryRecord("x", pending, bounces), QString());
        bounces << readBounce(bounceFixture("gmail-delay.eml"));
        const QString later = email_route::deliveryRecord("x", pending, bounces);
        // The retry time, written with a zone comment, in local time.
        const QString until = QLocale::system().toString(
            QDateTime(QDate(2026, 12, 11), QTime(5, 0, 1), Qt::UTC).toLocalTime(),
            QLocale::ShortFormat);
        QVERIFY2(later.contains("\r\nDelayed: 5555550102 at txt.att.net, Gmail retries until " +
                                until + "\r\n"),
                 qPrintable(later));
        QVERIFY(later.contains("No bounce from the other 2 addresses"));
        QVERIFY(!later.contains("Not reached")); // a delay is no verdict
        // Strangers' mail cannot grow a send's entry: 600 replies with 990-character
        // Message-IDs are remembered by short digests, at most 500, the rest told once.
        QList<mail::PhoneReply> flood;
        for (int i = 0; i < 600; ++i)
            flood << mail::PhoneReply{
                "5555550100@vtext.com", {}, "hi", QString(980, 'x') + QString::number(i), true};
        auto flooded = send({"5555550100@vtext.com"});
        const QStringList told = email_route::replyLines(flooded, flood);
        QCOMPARE(told.size(), 501);
        QCOMPARE(told.last(), "More replies came to this send than Parlivo keeps track of (500); "
                              "the later ones are not logged.");
        QVERIFY(records::pendingSendsText({flooded}).size() < 16 * 1024);
        QVERIFY(email_route::replyLines(flooded, flood).isEmpty());
        // A reply an earlier version remembered by its whole Message-ID is not told again.
        auto earlier = send({"5555550100@vtext.com"});
        earlier.reported << model::kReplyKey + "1@fi";
        QVERIFY(email_route::replyLines(earlier, {{"5555550100@vtext.com", {}, "hi", "1@fi", true}})
                    .isEmpty());
        // A mailbox read only in part says nothing of silence.
        auto partly = send({"5555550100@vtext.com", "5555550199@vtext.com"});
        QVERIFY(!email_route::deliveryRecord("x", partly, bounces, false).contains("No bounce"));
    }

    void bounceText_cannotForgeLogLines() {
        QCOMPARE(records::cleanForLog("550 bad\r\n07/12/2026 23:00\r\nTo: 1\x1b[2J\xff"),
                 QStringLiteral("550 bad 07/12/2026 23:00 To: 1 [2J"));
        QCOMPARE(records::cleanForLog(QString(500, 'x')).size(), 120);
        // Only so far is looked at: a flood of invisible marks costs no time and shows nothing.
        QCOMPARE(records::cleanForLog(QString(4 * 120 + 63, QChar(0x200e)) + "ab"), "a");
        const QString longPhone = QString("1234567890").repeated(7);
        auto pending =
            send({"5555550100@vtext.com", longPhone + "@vtext.com", "5555550102@txt.att.net"});
        pending.subject = "Long\r\nTo: x " + QString(1100, 's');
        mail::BounceReport forged{{kSend},
                                  {{"5555550100@vtext.com",
                                    true,
                                    "5.1.1\r\nTo: x",
                                    "no\r\n\r\n01/01/2027 00:00\r\nTo: 1",
                                    {}},
                                   {longPhone + "@vtext.com", true, "5.1.1", "unknown", {}},
                                   {"5555550102@txt.att.net", false, "4.4.1", "later",
                                    "not a date\r\nTo: " + QString(80, 'z')}}};
        const QString record = email_route::deliveryRecord("now", pending, {forged});
        // The forged lines stay inside their own; a phone is cut at 64 characters.
        const QString cut = longPhone.left(64);
        QCOMPARE(record, "now\r\nDelivery: message of 07/12/2026 21:00, Subject:Long  To: x " +
                             QString(1000 - 12, 's') + // the subject cut at 1,000 characters
                             "\r\nNot delivered: 5555550100 at vtext.com (5.1.1 To: x no "
                             "01/01/2027 00:00 To: 1)\r\n" +
                             "Not delivered: " + cut + " at vtext.com (5.1.1 unknown)\r\n" +
                             // A retry time that is no date is quoted, cut at 60 characters.
                             "Delayed: 5555550102 at txt.att.net, Gmail retries until not a "
                             "date To: " +
                             QString(60 - 15, 'z') + "\r\n" +
                             "Not reached at any ticked carrier: 5555550100\r\n" +
                             "Not reached at any ticked carrier: " + cut + "\r\n\r\n");
    }

    // What one bounce may make the reader do is bounded: recipients, parts, nesting. At
    // each bound all is read; one past it, the rest is left alone.
    void bounds_holdAtTheirEdge() {
        const auto report = [](int recipients, int partsBefore, int depth) {
            QByteArray status = "Reporting-MTA: dns; mx.example\r\n";
            for (int i = 0; i < recipients; ++i)
                status += "\r\nFinal-Recipient: rfc822; " + QByteArray::number(i) +
                          "@vtext.com\r\nAction: failed\r\nStatus: 5.1.1\r\n";
            QByteArray body =
                "--b\r\nContent-Type: message/delivery-status\r\n\r\n" + status + "\r\n--b--\r\n";
            for (int i = 0; i < partsBefore; ++i)
                body = "--b\r\nContent-Type: text/plain\r\n\r\nfiller\r\n" + body;
            QByteArray part = "Content-Type: multipart/report; report-type=delivery-status; "
                              "boundary=b\r\n\r\n" +
                              body;
            for (int i = 0; i < depth; ++i)
                part = "Content-Type: multipart/mixed; boundary=n" + QByteArray::number(i) +
                       "\r\n\r\n--n" + QByteArray::number(i) + "\r\n" + part + "\r\n--n" +
                       QByteArray::number(i) + "--\r\n";
            const auto r = readBounce("From: Mail Delivery Subsystem <mailer-daemon@x>\r\n"
                                      "Subject: Undelivered Mail\r\n" +
                                      part);
            return r.recipients.size();
        };
        QCOMPARE(report(500, 0, 0), 500); // at most 500 recipients
        QCOMPARE(report(501, 0, 0), 500);
        QCOMPARE(report(1, 62, 0), 1); // at most 64 parts, the report the 64th
        QCOMPARE(report(1, 63, 0), 0);
        QCOMPARE(report(1, 0, 5), 1); // the report's fields at most 6 levels deep
        QCOMPARE(report(1, 0, 6), 0);
    }
};

QTEST_GUILESS_MAIN(TestBounceReport)
#include "test_bounce_report.moc"
