// Bounces as Gmail and carriers write them (fixtures in bounces/), and the log records
// made from them.
#include "dispatch/delivery_records.h"
#include "mail/bounce_report.h"

#include "test_files.h"

#include <QFile>
#include <QTest>

using mail::readBounce;
using mail::RecipientStatus;

namespace {
const QString kSend = QStringLiteral("3lq8x0f2k1z7a.1v9c4m2p8s6d@gmail.com");

dispatch::PendingSend send(const QStringList& addresses) {
    return {kSend,
            QDateTime(QDate(2026, 12, 7), QTime(21, 0), Qt::UTC),
            "07/12/2026 21:00",
            QString::fromUtf8("Réunion déplacée"),
            addresses,
            {},
            false};
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

    void records_haveTheLogsShapeAndOnlyNews() {
        auto pending = send({"5555550100@vtext.com", "5555550101@vtext.com",
                             "5555550100@tmomail.net", "5555550102@txt.att.net",
                             "5555550104@msg.fi.google.com", "5555550105@msg.fi.google.com"});
        QList<mail::BounceReport> bounces;
        for (const char* name : {"gmail-failure.eml", "gmail-dns.eml", "other-message.eml"})
            bounces << readBounce(bounceFixture(name));
        const QString record = dispatch::deliveryRecord("08/12/2026 09:00", pending, bounces);
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
        QCOMPARE(dispatch::deliveryRecord("x", pending, bounces), QString());
        bounces << readBounce(bounceFixture("gmail-delay.eml"));
        const QString later = dispatch::deliveryRecord("x", pending, bounces);
        // The retry time, written with a zone comment, in local time.
        const QString until = QLocale::system().toString(
            QDateTime(QDate(2026, 12, 11), QTime(5, 0, 1), Qt::UTC).toLocalTime(),
            QLocale::ShortFormat);
        QVERIFY2(later.contains("\r\nDelayed: 5555550102 at txt.att.net, Gmail retries until " +
                                until + "\r\n"),
                 qPrintable(later));
        QVERIFY(later.contains("No bounce from the other 2 addresses"));
        QVERIFY(!later.contains("Not reached")); // a delay is no verdict
        // A mailbox read only in part says nothing of silence.
        auto partly = send({"5555550100@vtext.com", "5555550199@vtext.com"});
        QVERIFY(!dispatch::deliveryRecord("x", partly, bounces, false).contains("No bounce"));
    }

    void bounceText_cannotForgeLogLines() {
        QCOMPARE(dispatch::cleanForLog("550 bad\r\n07/12/2026 23:00\r\nTo: 1\x1b[2J\xff"),
                 QStringLiteral("550 bad 07/12/2026 23:00 To: 1 [2J"));
        QCOMPARE(dispatch::cleanForLog(QString(500, 'x')).size(), 120);
        auto pending = send({"5555550100@vtext.com"});
        mail::BounceReport forged{{kSend},
                                  {{"5555550100@vtext.com",
                                    true,
                                    "5.1.1\r\nTo: x",
                                    "no\r\n\r\n01/01/2027 00:00\r\nTo: 1",
                                    {}}}};
        const QString record = dispatch::deliveryRecord("now", pending, {forged});
        // The stamp, the heading, the refusal, the phone's verdict, the empty line.
        QCOMPARE(record.count("\r\n"), 5);
    }

    void pendingSends_roundTripThroughTheirFile() {
        auto pending = send({"1@a.example", "2@b.example"});
        pending.subject = "Tab\there, percent % and comma, too";
        pending.reported = {"1@a.example failed"};
        pending.checked = true;
        const auto back =
            dispatch::readPendingSends(dispatch::pendingSendsText({pending}) + "broken line\n");
        QCOMPARE(back, QList<dispatch::PendingSend>{pending});
    }
};

QTEST_GUILESS_MAIN(TestBounceReport)
#include "test_bounce_report.moc"
