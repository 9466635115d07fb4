// The real mail layer against a local SMTP server with implicit TLS and a test CA.
#include "app/list_views.h"
#include "form_fixture.h"
#include "local_smtp_server.h"
#include "records/kept_file.h"
#include "records/pending_file.h"
#include "records/sent_log.h"
#include "routes/email/bounce_records.h"
#include "routes/email/email_texts.h"
#include "routes/email/mail/lazy_mail_module.h"
#include "routes/email/net/smtp_mail_submitter.h"
#include "routes/email/replies.h"
#include "sending/send_texts.h"
#include "test_files.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTest>
#include <QTimeZone>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <csignal>

using mail::MailFailure;
using mail::MailMessage;

namespace {

QString headerValue(const QByteArray& data, const QByteArray& name) {
    const QByteArray head = data.left(data.indexOf("\r\n\r\n"));
    QByteArray unfolded = head;
    unfolded.replace("\r\n ", " ");
    for (const QByteArray& line : unfolded.split('\n'))
        if (line.startsWith(name + ": "))
            return QString::fromUtf8(line.mid(name.size() + 2).trimmed());
    return {};
}

// The decoded bodies of the parts, by content type.
QMap<QByteArray, QString> partsOf(const QByteArray& data) {
    QMap<QByteArray, QString> parts;
    for (const QByteArray& type : {QByteArray("text/plain"), QByteArray("text/html")}) {
        const qsizetype header = data.indexOf("Content-Type: " + type);
        const qsizetype start = data.indexOf("\r\n\r\n", header) + 4;
        const qsizetype end = data.indexOf("\r\n--", start);
        parts[type] = QString::fromUtf8(QByteArray::fromBase64(data.mid(start, end - start)));
    }
    return parts;
}

} // namespace

// Counts the paint events a window gets.
struct PaintCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

class TestEmailRoute : public QObject {
    Q_OBJECT
    std::unique_ptr<TestCertificates> certificates;
    std::unique_ptr<LocalSmtpServer> server;

    mail::MailOptions options(const QString& ca = "ca.pem") const {
        return server->clientOptions(certificates->path(ca));
    }
    // `phones` numbered phones at `carriers` ticked carriers c0.example..., signed in as ann;
    // every address, phone-major.
    static QStringList fillMany(app::Form1& form, int phones, int carriers, int copies = 1) {
        QStringList numbers;
        QStringList addresses;
        for (int i = 0; i < phones; ++i) {
            numbers << QStringLiteral("555%1").arg(i, 7, 10, QLatin1Char('0'));
            for (int c = 0; c < carriers; ++c)
                addresses << numbers.last() + QStringLiteral("@c%1.example").arg(c);
        }
        form.ListView2->clear();
        for (int c = 0; c < carriers; ++c)
            app::appendCarrier(form.ListView2, QStringLiteral("c%1.example").arg(c), true);
        QStringList rows;
        for (int copy = 0; copy < copies; ++copy) // "555-000-0001" repeats "5550000001"
            for (const QString& number : std::as_const(numbers))
                rows << (copy ? number.left(3) + '-' + number.mid(3, 3) + '-' + number.mid(6)
                              : number);
        app::appendRows(form.ListView1, rows);
        form.Text3->setText("ann");
        form.Text2->setText("secret");
        form.Text4->setText("Hi");
        return addresses;
    }
    static MailMessage message(const QStringList& recipients) {
        MailMessage m;
        m.userAddress = "ann@gmail.com";
        m.password = "secret";
        m.recipients = recipients;
        m.toHeader = recipients.join(',');
        m.subject = "Hello";
        m.body = "Body";
        return m;
    }

  private slots:
    void initTestCase() {
        certificates = std::make_unique<TestCertificates>();
        QVERIFY(certificates->ok());
        server = std::make_unique<LocalSmtpServer>(*certificates);
        QVERIFY2(server->port() > 0, "the test server did not start");
    }
    void cleanupTestCase() { server.reset(); }

    void send_throughTheWindow_deliversEverythingAndLogs() {
        const qsizetype earlier = server->commands(100).size();
        mail::SmtpMailSubmitter submitter(options());
        FormFixture f;
        f.submitter = &submitter;
        app::Form1& form = f.open();
        form.ListView2->clear();
        app::appendCarrier(form.ListView2, "a.example", true);
        app::appendCarrier(form.ListView2, "skip.example", false);
        app::appendCarrier(form.ListView2, "b.example", true);
        app::appendRows(form.ListView1, {"5555550100", "5555550199"});
        form.Text3->setText(" ann ");
        form.Text2->setText("secret ");
        form.Text4->setText(QString::fromUtf8("Grüße 😀"));
        form.Text5->setPlainText(QString::fromUtf8("Héllo\nsecond line <b>"));
        form.PushButton1_Click();
        QCOMPARE(f.desktop.boxTexts(), QStringList({"Done."}));

        const auto received = server->nextMessage();
        QVERIFY(received.has_value());
        QCOMPARE(received->mailFrom, QStringLiteral("ann@gmail.com"));
        const QStringList expected{"5555550100@a.example", "5555550100@b.example",
                                   "5555550199@a.example", "5555550199@b.example"};
        QCOMPARE(received->recipients, expected);
        QCOMPARE(server->commands().mid(earlier).join(' '),
                 QStringLiteral("EHLO AUTH MAIL RCPT RCPT RCPT RCPT MESSAGE QUIT"));
        const QByteArray& data = received->data;
        QCOMPARE(headerValue(data, "From"), QStringLiteral("ann@gmail.com"));
        QCOMPARE(headerValue(data, "To"), expected.join(','));
        QCOMPARE(headerValue(data, "Reply-To"), QStringLiteral("ann@gmail.com"));
        QCOMPARE(headerValue(data, "Organization"), QStringLiteral("Organization"));
        QVERIFY(headerValue(data, "Subject").startsWith(QLatin1String("=?UTF-8?B?")));
        QVERIFY(!headerValue(data, "Date").isEmpty());
        QVERIFY(!headerValue(data, "Message-ID").isEmpty());
        const auto parts = partsOf(data);
        QCOMPARE(parts["text/plain"], QString::fromUtf8("Héllo\r\nsecond line <b>"));
        QCOMPARE(parts["text/html"], QString::fromUtf8("Héllo\r\nsecond line <b>"));

        QFile log(f.programFolder() + "/sentmessages.log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray record = log.readAll();
        QVERIFY(record.contains("\r\nTo: 5555550100,5555550199\r\nSubject:" +
                                QString::fromUtf8("Grüße 😀").toUtf8() + "\r\nBody:"));
        QVERIFY(record.endsWith("second line <b>\r\n\r\n\r\n"));

        // What a mail reader of its own (Python's email package) makes of the message, the
        // log's exact bytes, and the send remembered under the Message-ID that went out.
        const QVariantMap& seen = received->decoded;
        QCOMPARE(seen.value("subject").toString(), QString::fromUtf8("Grüße 😀"));
        QCOMPARE(seen.value("from").toString(), QStringLiteral("ann@gmail.com"));
        QCOMPARE(seen.value("reply-to").toString(), QStringLiteral("ann@gmail.com"));
        QCOMPARE(seen.value("to").toString(), expected.join(", "));
        QCOMPARE(seen.value("text/plain").toString(),
                 QString::fromUtf8("Héllo\r\nsecond line <b>"));
        QCOMPARE(seen.value("text/html").toString(), QString::fromUtf8("Héllo\r\nsecond line <b>"));
        QCOMPARE(seen.value("defects").toInt(), 0);
        QCOMPARE(record, (records::logStamp(f.clock.time) + "\r\nTo: 5555550100,5555550199\r\n" +
                          QString::fromUtf8("Subject:Grüße 😀\r\nBody:Héllo\r\nsecond line "
                                            "<b>\r\n\r\n\r\n"))
                             .toLocal8Bit());
        const auto pending = records::loadPendingSends(f.dataFolder() + "/delivery-pending.tsv");
        QCOMPARE(pending.size(), 1);
        QCOMPARE("<" + pending[0].messageId + ">", seen.value("message-id").toString());
        QCOMPARE(pending[0].addresses, expected);
        QCOMPARE(pending[0].subject, QString::fromUtf8("Grüße 😀"));
    }

    void lfFileAndFullAddress_sendExactlyTheFilesNumbersAsTyped() {
        mail::SmtpMailSubmitter submitter(options());
        FormFixture f;
        f.submitter = &submitter;
        app::Form1& form = f.open();
        QFile file(f.folder.filePath("phones.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("5555550100\n\n5555550101\n");
        file.close();
        f.desktop.chosenFiles = {{file.fileName()}};
        form.PushButton3_Click();
        form.ListView2->clear();
        app::appendCarrier(form.ListView2, "a.example", true);
        form.Text3->setText("ann@gmail.com");
        form.Text2->setText("secret");
        form.PushButton1_Click();
        QCOMPARE(f.desktop.boxTexts(), QStringList({"Done."}));
        const auto received = server->nextMessage();
        QVERIFY(received.has_value());
        QCOMPARE(received->mailFrom, QStringLiteral("ann@gmail.com"));
        QCOMPARE(received->recipients,
                 QStringList({"5555550100@a.example", "5555550101@a.example"}));
    }

    // Many phones through the window: one connection and one login, messages of at most 100
    // recipients with each phone's addresses together, a log record for each message taken
    // and, when one is not, the phones that got the text, the ones that did not and why.
    void manyPhones_throughTheWindow_data() {
        QTest::addColumn<QString>("modes");
        QTest::addColumn<int>("phones");
        QTest::addColumn<int>("carriers");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QList<int>>("taken"); // recipients of each message the server took
        QTest::addColumn<QString>("outcome");  // the last box
        QTest::addColumn<QString>("session");  // RCPTs counted; " *": and then anything
        QTest::addColumn<int>("kept");         // addresses left to send later
        QTest::addColumn<int>("copies");       // rows a phone: repeats go once
        // A refusal, a 421 or a stop keeps them, and no allowance is named: none held them.
        const QString keeps = "Parlivo keeps them and offers them again on \"Send Message\".";
        const QString notSent = "Not sent to 26 phones: 5550000014, 5550000015, 5550000016 and "
                                "23 more. " +
                                keeps;
        QTest::newRow("100: one message, no question")
            << "pipelining" << 100 << 1 << false << QList<int>{100} << "Done."
            << "EHLO AUTH MAIL 100 RCPT MESSAGE QUIT" << 0 << 1;
        QTest::newRow("101, No") << "pipelining" << 101 << 1 << false << QList<int>{} << ""
                                 << "" << 0 << 1;
        QTest::newRow("101, Yes") << "pipelining" << 101 << 1 << true << QList<int>{100, 1}
                                  << "Done."
                                  << "EHLO AUTH MAIL 100 RCPT MESSAGE MAIL 1 RCPT MESSAGE QUIT" << 0
                                  << 1;
        QTest::newRow("280, Yes, no pipelining")
            << "normal,slow-MESSAGE" << 40 << 7 << true << QList<int>{98, 98, 84} << "Done."
            << "EHLO AUTH MAIL 98 RCPT MESSAGE MAIL 98 RCPT MESSAGE MAIL 84 RCPT MESSAGE QUIT" << 0
            << 1;
        QTest::newRow("2nd refused: daily limit")
            << "pipelining,answer-MESSAGE2=550%205.4.5%20Daily%20user%20sending%20limit%20exceeded."
            << 40 << 7 << true << QList<int>{98}
            << paragraphs(
                   {"Sent to 14 phones in 1 of 3 messages; the log names them.", notSent,
                    "Why:\r\nMessage could not be sent: Gmail's daily sending limit is "
                    "reached.",
                    "Server reply: 550 5.4.5 Daily user sending limit exceeded.",
                    "In the last 24 hours Parlivo submitted 98 recipients through Gmail. "
                    "The oldest of those sends leaves the 24-hour window at " +
                        QLocale::system().toString(QDateTime(QDate(2026, 3, 15), QTime(9, 26, 53)),
                                                   QLocale::ShortFormat) +
                        ".",
                    "Gmail allows about 500 recipients a day for a Gmail account and "
                    "2,000 for Google Workspace "
                    "(https://support.google.com/mail/answer/22839). The messages after those "
                    "were not sent."})
            // The third envelope went with the second message; its data never does.
            << "EHLO AUTH MAIL 98 RCPT MESSAGE MAIL 98 RCPT MESSAGE MAIL 84 RCPT" << 182 << 1;
        const auto tryLater = [&](const QString& reply) {
            return paragraphs({"Sent to 14 phones in 1 of 3 messages; the log names them.", notSent,
                               "Why:\r\nGmail did not take the message this time.",
                               "Server reply: " + reply,
                               "The messages after those were not sent. This refusal is "
                               "temporary: try again in a few minutes."});
        };
        QTest::newRow("2nd refused: 421")
            << "pipelining,answer-MESSAGE2=421%204.7.0%20Try%20again%20later%2C%20closing." << 40
            << 7 << true << QList<int>{98} << tryLater("421 4.7.0 Try again later, closing.")
            << "EHLO AUTH MAIL 98 RCPT MESSAGE MAIL 98 RCPT MESSAGE MAIL 84 RCPT" << 182 << 1;
        // A 421 at the 2nd MAIL: that message is known not sent, by DATA and by BDAT alike.
        for (const QString& chunking : QStringList{"", ",chunking"})
            QTest::newRow(qPrintable("421 at the 2nd MAIL" + chunking))
                << "pipelining,close-MAIL2" + chunking << 40 << 7 << true << QList<int>{98}
                << tryLater("421 4.7.0 Try again later, closing connection.")
                << "EHLO AUTH MAIL 98 RCPT " + QString(chunking.isEmpty() ? "" : "BDAT ") +
                       "MESSAGE MAIL *"
                << 182 << 1;
        // "Stop after this message" pressed as the send begins: the first message goes, no
        // other.
        QTest::newRow("stopped at Sent 0 of 3")
            << "pipelining,slow-MESSAGE" << 40 << 7 << true << QList<int>{98}
            << paragraphs({"Sent to 14 phones in 1 of 3 messages; the log names them.", notSent,
                           "Why:\r\nThe send was stopped as you asked, after the message in "
                           "flight."})
            // Then QUIT, or, when the stop came after the first envelope's replies, the second
            // envelope and the connection left before its bytes.
            << "EHLO AUTH MAIL 98 RCPT MESSAGE *" << 182 << 1;
        const QString cut =
            paragraphs({"Sent to 14 phones in 1 of 3 messages; the log names them.",
                        "The next message may have been sent: its reply never came. It went "
                        "to 14 phones: 5550000014, 5550000015, 5550000016 and 11 more. It is "
                        "not in the log.",
                        "Not sent to 12 phones: 5550000028, 5550000029, 5550000030 and 9 "
                        "more. " +
                            keeps,
                        "Why:\r\nThe connection was lost: The TLS/SSL connection has been "
                        "closed (after the message)"});
        QTest::newRow("connection cut at the 2nd")
            << "pipelining,cut-MESSAGE2" << 40 << 7 << true << QList<int>{98}
            << cut
            // What the server reads after it cut the connection is its own affair.
            << "EHLO AUTH MAIL 98 RCPT MESSAGE MAIL 98 RCPT MESSAGE *" << 182 << 1;
        // With CHUNKING a whole message goes in one flight, the login with the first.
        QTest::newRow("280, Yes, CHUNKING")
            << "pipelining,chunking" << 40 << 7 << true << QList<int>{98, 98, 84} << "Done."
            << "EHLO AUTH MAIL 98 RCPT BDAT MESSAGE MAIL 98 RCPT BDAT MESSAGE MAIL 84 RCPT BDAT "
               "MESSAGE QUIT"
            << 0 << 1;
        // Gmail's quota reached within the 2nd message: it goes to the 52 recipients taken.
        QTest::newRow("CHUNKING, daily limit within the 2nd")
            << "pipelining,chunking,daily=150" << 40 << 7 << true << QList<int>{98, 52}
            << paragraphs({"Sent to 22 phones in 2 of 3 messages; the log names them.",
                           "Not sent to 19 phones: 5550000021, 5550000022, 5550000023 and 16 "
                           "more. " +
                               keeps,
                           "Why:\r\nThe server took message 2 for 52 of its 98 recipients and "
                           "refused the other 46.",
                           "Server reply: 550 5.4.5 Daily user sending limit exceeded"})
            << "EHLO AUTH MAIL 98 RCPT BDAT MESSAGE MAIL 98 RCPT BDAT MESSAGE QUIT" << 130 << 1;
        QTest::newRow("CHUNKING, connection cut at the 2nd")
            << "pipelining,chunking,cut-MESSAGE2" << 40 << 7 << true << QList<int>{98} << cut
            << "EHLO AUTH MAIL 98 RCPT BDAT MESSAGE MAIL 98 RCPT BDAT MESSAGE" << 182 << 1;
        // A refused login: the first message, in its flight, is refused with it.
        QTest::newRow("CHUNKING, login refused")
            << "pipelining,chunking,answer-AUTH=535%205.7.8%20Username%20and%20Password%20not%20"
               "accepted."
            << 40 << 7 << true << QList<int>{}
            << email_route::loginQuestion(email_route::LoginRefusal::Credentials)
            << "EHLO AUTH BDAT QUIT" << 0 << 1;
        // Each phone listed more than once goes once: 98 addresses, not 294; 280, not 560.
        QTest::newRow("14 phones three times")
            << "pipelining" << 14 << 7 << false << QList<int>{98} << "Done."
            << "EHLO AUTH MAIL 98 RCPT MESSAGE QUIT" << 0 << 3;
        QTest::newRow("40 phones twice, Yes")
            << "pipelining" << 40 << 7 << true << QList<int>{98, 98, 84} << "Done."
            << "EHLO AUTH MAIL 98 RCPT MESSAGE MAIL 98 RCPT MESSAGE MAIL 84 RCPT MESSAGE QUIT" << 0
            << 2;
    }
    void manyPhones_throughTheWindow() {
        QFETCH(QString, modes);
        QFETCH(int, phones);
        QFETCH(int, carriers);
        QFETCH(bool, yes);
        QFETCH(QList<int>, taken);
        QFETCH(QString, outcome);
        QFETCH(QString, session);
        QFETCH(int, kept);
        QFETCH(int, copies);
        LocalSmtpServer gmail(*certificates, modes);
        mail::SmtpMailSubmitter submitter(gmail.clientOptions(certificates->path("ca.pem")));
        FormFixture f;
        f.submitter = &submitter;
        app::Form1& form = f.open();
        const QStringList expected = fillMany(form, phones, carriers, copies);
        f.desktop.answers = {yes ? platform::Answer::Yes : platform::Answer::No};
        // The progress window beside the held main window, as the user sees it.
        QStringList progress;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            const auto* shown = form.findChild<QProgressDialog*>();
            if (!shown || (!progress.isEmpty() && progress.last() == shown->labelText()))
                return;
            progress << shown->labelText();
            if (progress.last().startsWith("Sent 0 of 3") &&
                QString(QTest::currentDataTag()).startsWith("stopped"))
                QTest::mouseClick(shown->findChild<QPushButton*>(), Qt::LeftButton);
        });
        watcher.start(5);
        form.PushButton1_Click();
        if (modes.contains("slow-MESSAGE") && taken.size() > 1) { // slow enough to be seen
            const QString total = QString::number(phones * carriers);
            QVERIFY(progress.size() >= 2);
            QCOMPARE(progress[0].section(' ', 4), "messages (0 of " + total + " recipients)");
            QCOMPARE(progress[1], QString(progress[0])
                                      .replace("Sent 0", "Sent 1")
                                      .replace("(0 of", "(" + QString::number(taken[0]) + " of"));
        }
        const bool asked = phones * carriers > 100;
        QCOMPARE(f.desktop.boxTexts().size(), (asked && yes ? 2 : 1) + (copies > 1 ? 1 : 0));
        if (copies > 1)
            QCOMPARE(f.desktop.boxTexts().first(),
                     sending::repeatedRowsMessage(phones * (copies - 1)));
        if (asked) // the phones counted once each
            QVERIFY(f.desktop.boxTexts()[copies > 1].contains(
                QStringLiteral("(%1 phones at %2 carriers)").arg(phones).arg(carriers)));
        if (!outcome.isEmpty())
            QCOMPARE(f.desktop.boxTexts().last().split("\r\n"), outcome.split("\r\n"));

        // Every address at most once, in the order of the lists, and a record for each message.
        QString log;
        qsizetype next = 0;
        for (const int count : taken) {
            const auto received = gmail.nextMessage();
            QVERIFY(received.has_value());
            QCOMPARE(received->recipients, expected.mid(next, count));
            // The To field names the whole message, even where the server took only a part.
            const QString to = received->decoded.value("to").toString();
            QVERIFY(to.startsWith(received->recipients.join(", ")) && to.count('@') <= 100);
            QStringList sentPhones;
            for (const QString& address : received->recipients)
                if (!sentPhones.contains(address.section('@', 0, 0)))
                    sentPhones << address.section('@', 0, 0);
            log += records::sentLogRecord(f.clock.time, sentPhones.join(','), "Hi", "") + "\r\n";
            next += count;
        }
        QVERIFY(!gmail.nextMessage(300).has_value());
        QStringList commands = gmail.commands();
        for (qsizetype i = 0; i < commands.size(); ++i) {
            qsizetype run = i;
            while (run < commands.size() && commands[run] == "RCPT")
                ++run;
            if (run > i)
                commands.replace(i, QString::number(run - i) + " RCPT"),
                    commands.remove(i + 1, run - i - 1);
        }
        QCOMPARE(commands.join(' ').left(session.endsWith(" *") ? session.size() - 2 : -1),
                 session.chopped(session.endsWith(" *") ? 2 : 0));
        QFile sent(f.programFolder() + "/sentmessages.log");
        QCOMPARE(sent.open(QIODevice::ReadOnly) ? QString::fromUtf8(sent.readAll()) : QString(),
                 log);
        const auto left = records::loadKeptSends(f.dataFolder() + "/kept-sends.tsv", nullptr);
        QCOMPARE(left.isEmpty() ? 0 : int(left.first().addresses.size()), kept);
        if (kept)
            QCOMPARE(left.first().addresses, expected.mid(next));
        const auto pending = records::loadPendingSends(f.dataFolder() + "/delivery-pending.tsv");
        QCOMPARE(pending.size(), taken.size());
    }

    // A stop asked for while a message is in flight: that message goes; the next one, whose
    // envelope went with it, is dropped by leaving before its bytes.
    void stopWhileAMessageIsInFlight_dropsTheNextEnvelope() {
        LocalSmtpServer gmail(*certificates, "pipelining");
        mail::SmtpMailSubmitter submitter(gmail.clientOptions(certificates->path("ca.pem")));
        bool stop = false;
        const auto result = submitter.submitEach(
            message({}), {{"1@a.example"}, {"2@a.example"}, {"3@a.example"}},
            {[](int) {}, [&](int, const QString&, const QStringList&) { stop = true; },
             [&] { return !stop; }});
        QVERIFY(result.stop.succeeded());
        QVERIFY(result.stopped);
        QCOMPARE(result.messageIds.size(), 1);
        QCOMPARE(gmail.nextMessage()->recipients, QStringList{"1@a.example"});
        QCOMPARE(gmail.commands().join(' '), "EHLO AUTH MAIL RCPT MESSAGE MAIL RCPT");
    }

    // Gmail's allowance looked at before connecting: what fits goes, the rest is kept and,
    // after a restart a day later, offered and sent once.
    void allowance_sendsWhatFitsThenTheRestOnceAfterARestart() {
        LocalSmtpServer gmail(*certificates, "pipelining");
        mail::SmtpMailSubmitter submitter(gmail.clientOptions(certificates->path("ca.pem")));
        FormFixture f;
        f.submitter = &submitter;
        QDir().mkpath(f.dataFolder());
        QVERIFY(records::savePendingSends(f.dataFolder() + "/delivery-pending.tsv",
                                          {{"id",
                                            f.clock.time.toUTC().addSecs(-3600),
                                            "stamp",
                                            "s",
                                            QStringList(420, "1@a.example"),
                                            {},
                                            false}}));
        app::Form1& form = f.open();
        const QStringList addresses = fillMany(form, 140, 1);
        f.desktop.answers = {platform::Answer::Yes, platform::Answer::Yes};
        form.PushButton1_Click();
        QCOMPARE(f.desktop.boxTexts().mid(1),
                 QStringList({paragraphs({"In the last 24 hours Parlivo submitted 420 recipients "
                                          "through this Gmail account, and this send needs 140 "
                                          "recipients. Gmail takes about 500 recipients a day.",
                                          "Send to the first 80 recipients now and keep the other "
                                          "60 recipients to send later?",
                                          "Yes sends what fits; No sends nothing."}),
                              paragraphs({"Sent to 80 phones in 1 of 1 messages; the log names "
                                          "them.",
                                          "Kept for later to stay within Gmail's daily "
                                          "allowance: 60 phones: 5550000080, 5550000081, "
                                          "5550000082 and 57 more. Parlivo keeps them and offers "
                                          "them again on \"Send Message\" when Gmail's daily "
                                          "allowance leaves room."})}));
        auto received = gmail.nextMessage();
        QVERIFY(received.has_value());
        QCOMPARE(received->recipients, addresses.mid(0, 80));

        f.form.reset(); // a restart, a day later
        f.clock.time = f.clock.time.addDays(1);
        f.desktop.boxes.clear();
        app::Form1& again = f.open();
        again.Text3->setText("ann");
        again.Text2->setText("secret");
        f.desktop.answers = {platform::Answer::Yes};
        again.PushButton1_Click();
        QCOMPARE(f.desktop.boxes.first().buttons, platform::Buttons::YesNoCancel);
        QCOMPARE(f.desktop.boxTexts(),
                 QStringList({paragraphs({"A text kept on " +
                                              QLocale::system().toString(
                                                  QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53)),
                                                  QLocale::ShortFormat) +
                                              " for 60 phones has not gone out yet (subject: "
                                              "\"Hi\").",
                                          "Send it now? Yes sends it, No keeps it for later, "
                                          "Cancel drops it.",
                                          "Yes sends only the kept text: the text in the window "
                                          "stays unsent. Press \"Send Message\" again afterwards "
                                          "to send that one."}),
                              "Done."}));
        received = gmail.nextMessage();
        QVERIFY(received.has_value());
        QCOMPARE(received->recipients, addresses.mid(80));
        QVERIFY(!QFile::exists(f.dataFolder() + "/kept-sends.tsv"));
        again.PushButton1_Click(); // nothing is offered twice
        QCOMPARE(f.desktop.boxTexts().last(), "No phone numbers.");
        QVERIFY(!gmail.nextMessage(300).has_value());
    }

    // Killed (SIGKILL) at random points of a send of three messages: nothing the server took
    // is missing from the log and the pending sends, at most the message in flight is
    // uncertain, and the next start offers the rest and sends it once.
    void killedMidSend_losesNothingAndSendsNothingTwice() {
        LocalSmtpServer withData(*certificates, "pipelining,slow-MESSAGE");
        LocalSmtpServer withBdat(*certificates, "pipelining,chunking,slow-MESSAGE");
        const quint32 seed = testSeed();
        QRandomGenerator random(seed);
        int round = 0;
        for (const int takenBeforeKill : {1, 1, 2, 2}) {
            LocalSmtpServer& gmail = round++ % 2 ? withBdat : withData;
            mail::SmtpMailSubmitter submitter(gmail.clientOptions(certificates->path("ca.pem")));
            const QString at = QStringLiteral("seed %1, after %2, %3")
                                   .arg(seed)
                                   .arg(takenBeforeKill)
                                   .arg(&gmail == &withBdat ? "BDAT" : "DATA");
            QTemporaryDir folder;
            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("PARLIVO_KILL_FOLDER", folder.path());
            environment.insert("PARLIVO_KILL_PORT", QString::number(gmail.port()));
            environment.insert("PARLIVO_KILL_CA", certificates->path("ca.pem"));
            child.setProcessEnvironment(environment);
            child.start(QCoreApplication::applicationFilePath(), {"sendToBeKilled"});
            QVERIFY(child.waitForStarted());
            const auto pid = pid_t(child.processId()); // the child's own, kept while it runs
            QSet<QString> taken;
            for (int i = 0; i < takenBeforeKill; ++i) {
                const auto received = gmail.nextMessage(20000);
                QVERIFY2(received.has_value(), qPrintable(at));
                taken.unite(
                    QSet<QString>(received->recipients.begin(), received->recipients.end()));
            }
            QTest::qWait(int(random.bounded(300)));
            QVERIFY2(child.state() == QProcess::Running, qPrintable(at + ": ended unkilled"));
            ::kill(pid, SIGKILL);
            child.waitForFinished();
            while (const auto received = gmail.nextMessage(400))
                taken.unite(
                    QSet<QString>(received->recipients.begin(), received->recipients.end()));

            FormFixture f; // the next start
            f.base = folder.path();
            f.submitter = &submitter;
            const auto pending =
                records::loadPendingSends(f.dataFolder() + "/delivery-pending.tsv");
            const auto kept = records::loadKeptSends(f.dataFolder() + "/kept-sends.tsv", nullptr);
            QSet<QString> remembered;
            for (const auto& send : pending)
                remembered.unite(QSet<QString>(send.addresses.begin(), send.addresses.end()));
            if (kept.isEmpty()) { // the kill came after the send ended
                QCOMPARE(remembered.size(), 280);
                QCOMPARE(taken, remembered);
                continue;
            }
            QCOMPARE(kept.size(), 1);
            const QStringList uncertain = kept[0].addresses.mid(0, kept[0].uncertain);
            QVERIFY2(kept[0].uncertain <= 100, qPrintable(at));
            for (const QString& address : std::as_const(taken))
                QVERIFY2(remembered.contains(address) || uncertain.contains(address),
                         qPrintable(at + ": " + address + " was taken and is not remembered"));
            for (const QString& address : kept[0].addresses.mid(kept[0].uncertain))
                QVERIFY2(!taken.contains(address) && !remembered.contains(address),
                         qPrintable(at + ": " + address + " was taken and is offered again"));
            // Killed between the two writes, a message is in both files: the next start
            // offers only what the pending sends do not hold.
            QCOMPARE(
                (remembered | QSet<QString>(kept[0].addresses.begin(), kept[0].addresses.end()))
                    .size(),
                280);
            QStringList offered = kept[0].addresses;
            offered.removeIf([&](const QString& address) { return remembered.contains(address); });
            QFile log(f.programFolder() + "/sentmessages.log");
            QVERIFY(log.open(QIODevice::ReadOnly));
            // The log is written first: killed before the pending sends, the message in
            // flight is logged and still marked uncertain.
            const qsizetype logged = log.readAll().count("\r\nSubject:Hi\r\n");
            QVERIFY2(logged == pending.size() ||
                         (logged == pending.size() + 1 && kept[0].uncertain),
                     qPrintable(at));

            f.settings.values = {{"User", "ann"}, {"Password", "secret"}};
            f.desktop.answers = {platform::Answer::Yes};
            f.open();
            QTRY_COMPARE(f.desktop.boxTexts().size(), 2);
            QCOMPARE(f.desktop.boxTexts().last(), "Done.");
            QStringList resent;
            while (const auto received = gmail.nextMessage(400))
                resent << received->recipients;
            QCOMPARE(resent, offered);
        }
        // That window met on purpose: the 2nd message remembered as taken while the kept rest
        // still holds it as in flight. The offer is the 84 after it, with no warning.
        FormFixture scratch;
        const QStringList all = fillMany(scratch.open(), 40, 7);
        FormFixture f;
        const QDateTime began = f.clock.time.toUTC();
        for (int message = 0; message < 2; ++message)
            records::rememberSend(f.dataFolder() + "/delivery-pending.tsv",
                                  {QString("m%1@gmail.com").arg(message),
                                   began,
                                   "then",
                                   "Hi",
                                   all.mid(98 * message, 98),
                                   {},
                                   false});
        records::saveKeptSends(f.dataFolder() + "/kept-sends.tsv",
                               {{began, "Hi", "", all.mid(98), 98}});
        LocalSmtpServer gmail(*certificates, "pipelining");
        mail::SmtpMailSubmitter submitter(gmail.clientOptions(certificates->path("ca.pem")));
        f.submitter = &submitter;
        f.settings.values = {{"User", "ann"}, {"Password", "secret"}};
        f.desktop.answers = {platform::Answer::Yes};
        f.open();
        QTRY_COMPARE(f.desktop.boxTexts().size(), 2);
        QVERIFY2(!f.desktop.boxTexts().first().contains("may have gone out"),
                 qPrintable(f.desktop.boxTexts().first()));
        const auto resent = gmail.nextMessage();
        QVERIFY(resent.has_value());
        QCOMPARE(resent->recipients, all.mid(196));
    }
    void sendToBeKilled() {
        const QString folder = qEnvironmentVariable("PARLIVO_KILL_FOLDER");
        if (folder.isEmpty())
            QSKIP("the send that killedMidSend_losesNothingAndSendsNothingTwice kills");
        mail::MailOptions gmail = options();
        gmail.caFile = qEnvironmentVariable("PARLIVO_KILL_CA");
        gmail.connectPort = quint16(qEnvironmentVariableIntValue("PARLIVO_KILL_PORT"));
        mail::SmtpMailSubmitter submitter(gmail);
        FormFixture f;
        f.base = folder;
        f.submitter = &submitter;
        fillMany(f.open(), 40, 7);
        f.desktop.answers = {platform::Answer::Yes};
        f.form->PushButton1_Click();
    }

    void refusals_mapToTheirKinds_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QStringList>("recipients");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("replyPart");
        QTest::newRow("refused login")
            << "wrong" << QStringList({"1@a.example"}) << int(MailFailure::LoginRefused) << "535";
        QTest::newRow("550 recipient")
            << "secret" << QStringList({"1@a.example", "reject550@a.example"})
            << int(MailFailure::AddressRefused) << "550";
        QTest::newRow("452 too many") << "secret" << QStringList({"toomany@a.example"})
                                      << int(MailFailure::TooManyRecipients) << "452 4.5.3";
        QTest::newRow("no recipient")
            << "secret" << QStringList() << int(MailFailure::General) << "no recipients";
        QTest::newRow("line break in subject") << "secret" << QStringList({"1@a.example"})
                                               << int(MailFailure::General) << "line break";
    }
    void refusals_mapToTheirKinds() {
        QFETCH(QString, password);
        QFETCH(QStringList, recipients);
        QFETCH(int, failure);
        QFETCH(QString, replyPart);
        mail::SmtpMailSubmitter submitter(options());
        MailMessage m = message(recipients);
        m.password = password;
        if (replyPart == "line break")
            m.subject = "Hi\r\nBcc: someone@example.com";
        const auto result = submitter.submit(m);
        QCOMPARE(int(result.failure), failure);
        QVERIFY2(result.description.contains(replyPart), qPrintable(result.description));
    }

    // Gmail's refusals as it words them, each through the window: one box telling what
    // happened, nothing logged, nothing delivered; only a refused login offers the pictures.
    void gmailAnswers_throughTheWindow_data() {
        QTest::addColumn<QString>("answer"); // "VERB=reply", as smtp_test_server.py takes it
        QTest::addColumn<QString>("box");
        const QString quota = "550-5.4.5 Daily user sending limit exceeded.|550 5.4.5 For more "
                              "information go to https://support.google.com/mail/?p=ReachedLimit";
        const QString quotaReply =
            "550 5.4.5 Daily user sending limit exceeded. / 5.4.5 For more "
            "information go to https://support.google.com/mail/?p=ReachedLimit";
        // Four sends remembered: one exactly 24 hours old (out of the window), three of the
        // last 24 hours (3, 1 and 4 recipients), the oldest of them 20 s short of 24 hours.
        const QString frees = QLocale::system().toString(
            QDateTime(QDate(2026, 3, 14), QTime(9, 27, 13)), QLocale::ShortFormat);
        const QString limits =
            "Gmail allows about 500 recipients a day for a Gmail account and 2,000 for Google "
            "Workspace (https://support.google.com/mail/answer/22839). Nothing was sent.";
        const QString recent = "In the last 24 hours Parlivo submitted 8 recipients through "
                               "Gmail. The oldest of those sends leaves the 24-hour window at " +
                               frees + ".";
        const QString daily = "Message could not be sent: Gmail's daily sending limit is reached.";
        const QString later = "Gmail did not take the message this time.";
        const QString temporary =
            "Nothing was sent. This refusal is temporary: try again in a few minutes.";
        const QString login = "Message could not be sent to the SMTP server.";
        const QString appPassword =
            "Gmail accepts only an app password from programs like this one. To make one: turn on "
            "2-Step Verification in your Google Account, then create an app password in its "
            "security settings (search for \"App passwords\"), and type its 16 letters here as "
            "the password.";
        const QString pictures = "Would you like to see pictures of where the app password page "
                                 "is and what an app password looks like?";
        QTest::newRow("quota at MAIL")
            << "MAIL=" + quota
            << paragraphs({daily, "Server reply: " + quotaReply, recent, limits});
        QTest::newRow("quota after the data")
            << "MESSAGE=550 5.4.5 Daily user sending limit exceeded."
            << paragraphs({daily, "Server reply: 550 5.4.5 Daily user sending limit exceeded.",
                           recent, limits});
        QTest::newRow("421 at MAIL")
            << "MAIL=421 4.7.0 Try again later, closing connection."
            << paragraphs({later, "Server reply: 421 4.7.0 Try again later, closing connection.",
                           temporary});
        QTest::newRow("421 at RCPT")
            << "RCPT=421 4.7.0 Temporary System Problem.  Try again later"
            << paragraphs({later,
                           "Server reply: 421 4.7.0 Temporary System Problem.  Try again later",
                           temporary});
        QTest::newRow("450 at RCPT")
            << "RCPT=450 4.2.1 The user you are trying to contact is receiving mail too quickly"
            << paragraphs({later,
                           "Server reply: 450 4.2.1 The user you are trying to contact is "
                           "receiving mail too quickly",
                           temporary});
        QTest::newRow("534 5.7.9")
            << "AUTH=534-5.7.9 Application-specific password required.|534 "
               "5.7.9 Learn more at https://support.google.com/mail/?p=InvalidSecondFactor"
            << paragraphs({login,
                           "Gmail requires an app password for this account: your Google "
                           "Account password cannot be used here.",
                           appPassword, pictures});
        QTest::newRow("534 5.7.14")
            << "AUTH=534-5.7.14 <https://accounts.google.com/signin/continue>|"
               "534 5.7.14 Please log in with your web browser"
            << paragraphs({login,
                           "Gmail asks you to sign in to this account once in a web browser "
                           "(https://mail.google.com) and follow what Google asks there; then "
                           "send again.",
                           appPassword, pictures});
        QTest::newRow("535 5.7.8")
            << "AUTH=535-5.7.8 Username and Password not accepted.|535 5.7.8 "
               "Learn more at https://support.google.com/mail/?p=BadCredentials"
            << paragraphs({login, "Gmail did not accept the user name and password.", appPassword,
                           pictures});
        QTest::newRow("454 4.7.0")
            << "AUTH=454 4.7.0 Too many login attempts, please try again later."
            << paragraphs({"Message could not be sent: Gmail has seen too many login attempts "
                           "and asks you to wait.",
                           "Server reply: 454 4.7.0 Too many login attempts, please try again "
                           "later.",
                           "Nothing was sent. Your password need not change: wait a few "
                           "minutes, then send again."});
        QTest::newRow("554 5.7.0 after the data")
            << "MESSAGE=554 5.7.0 Message rejected: content policy"
            << paragraphs({"Message could not be sent: Gmail refused this message.",
                           "Server reply: 554 5.7.0 Message rejected: content policy",
                           "Nothing was sent. Gmail refuses messages for what they hold; "
                           "changing the text may help."});
        QTest::newRow("553 at MAIL")
            << "MAIL=553 5.1.8 Sender address rejected"
            << paragraphs({"Message could not be sent: the server refused the sender (MAIL).",
                           "Server reply: 553 5.1.8 Sender address rejected", "Nothing was sent."});
    }
    void gmailAnswers_throughTheWindow() {
        QFETCH(QString, answer);
        QFETCH(QString, box);
        const qsizetype is = answer.indexOf('=');
        LocalSmtpServer gmail(*certificates,
                              "pipelining,answer-" + answer.left(is + 1) +
                                  QString::fromLatin1(QUrl::toPercentEncoding(answer.mid(is + 1))));
        mail::SmtpMailSubmitter submitter(gmail.clientOptions(certificates->path("ca.pem")));
        FormFixture f;
        f.submitter = &submitter;
        QDir().mkpath(f.dataFolder());
        const QDateTime now = f.clock.time.toUTC();
        const auto sent = [](const QDateTime& when, int recipients) {
            return model::PendingSend{
                "id", when, "stamp", "s", QStringList(recipients, "1@a.example"), {}, false};
        };
        QVERIFY(records::savePendingSends(
            f.dataFolder() + "/delivery-pending.tsv",
            QList<model::PendingSend>{sent(now.addSecs(-24 * 3600), 50),
                                      sent(QDateTime(QDate(2026, 3, 13), QTime(10, 0), Qt::UTC), 3),
                                      sent(now.addSecs(-24 * 3600 + 20), 1),
                                      sent(now.addSecs(-60), 4)}));
        app::Form1& form = f.open();
        form.ListView2->clear();
        app::appendCarrier(form.ListView2, "a.example", true);
        app::appendRows(form.ListView1, {"5555550100", "5555550199"});
        form.Text3->setText("ann");
        form.Text2->setText("secret");
        f.desktop.answers = {platform::Answer::Yes};
        form.PushButton1_Click();
        QCOMPARE(f.desktop.boxTexts(), QStringList{box});
        // The session stops at the refused step and ends with QUIT.
        static const QHash<QString, QString> sessions{
            {"AUTH", "EHLO AUTH QUIT"},
            {"MAIL", "EHLO AUTH MAIL QUIT"},
            {"RCPT", "EHLO AUTH MAIL RCPT RCPT QUIT"},
            {"MESSAGE", "EHLO AUTH MAIL RCPT RCPT MESSAGE QUIT"}};
        QCOMPARE(gmail.commands().join(' '), sessions.value(answer.left(is)));
        const bool login = box.contains("app password");
        QCOMPARE(f.desktop.boxes[0].buttons,
                 login ? platform::Buttons::YesNo : platform::Buttons::Ok);
        QCOMPARE(f.desktop.opened.size(), login ? 2 : 0);
        QVERIFY(!QFile::exists(f.programFolder() + "/sentmessages.log"));
        QVERIFY(!gmail.nextMessage(300).has_value());
    }

    // The password goes out as typed (an app password without its blanks) and never shows
    // in a box, in the clear or in base64, however the exchange ends.
    void password_neverShowsAndAnAppPasswordLosesItsBlanks() {
        for (const QString& modes :
             {QStringLiteral("login-only,close-after-auth"), QStringLiteral("login-only")}) {
            LocalSmtpServer gmail(*certificates, modes);
            mail::SmtpMailSubmitter submitter(gmail.clientOptions(certificates->path("ca.pem")));
            FormFixture f;
            f.submitter = &submitter;
            app::Form1& form = f.open();
            form.ListView2->clear();
            app::appendCarrier(form.ListView2, "a.example", true);
            app::appendRows(form.ListView1, {"5555550100"});
            form.Text3->setText("ann");
            form.Text2->setText(" abcd efgh ijkl mnop ");
            form.PushButton1_Click();
            const QString shown = f.desktop.boxTexts().join('\n');
            if (modes.contains("close")) {
                QVERIFY2(shown.contains("(after AUTH)"), qPrintable(shown));
                for (const QString& secret :
                     {QStringLiteral("abcd"), QStringLiteral("YWJj"), QStringLiteral("IGFi")})
                    QVERIFY2(!shown.contains(secret), qPrintable(shown));
            } else {
                QCOMPARE(shown, QStringLiteral("Done."));
                QVERIFY(gmail.nextMessage().has_value());
            }
        }
    }

    void mailModule_isLoadedOnTheFirstSend() {
        const QString program = QString::fromLocal8Bit(qgetenv("PARLIVO_PROGRAM_DIR"));
        mail::LazyMailSubmitter lazy(program + "/libparlivo_mail", nullptr, options());
        QVERIFY(lazy.submit(message({"1@a.example"})).succeeded());
        const auto received = server->nextMessage();
        QVERIFY(received.has_value());
        QCOMPARE(received->recipients, QStringList({"1@a.example"}));

        mail::LazyMailSubmitter missing(program + "/no-such-module", nullptr, options());
        const auto result = missing.submit(message({"1@a.example"}));
        QCOMPARE(result.failure, MailFailure::General);
        QVERIFY(
            result.description.startsWith(QLatin1String("The mail component could not be loaded")));
        mail::LazyMailboxReader noReader(program + "/no-such-module", mail::gmailImapOptions());
        const auto read = noReader.readBounces("ann", "pw", QDate(2026, 12, 1));
        QCOMPARE(read.failure, mail::MailboxFailure::Other);
        QVERIFY2(read.reason.contains("no-such-module"), qPrintable(read.reason));
    }

    void login_worksWithEitherMechanism_data() {
        QTest::addColumn<QString>("mode");
        QTest::newRow("AUTH PLAIN") << "plain-only";
        QTest::newRow("AUTH LOGIN") << "login-only";
    }
    void login_worksWithEitherMechanism() {
        QFETCH(QString, mode);
        LocalSmtpServer only(*certificates, mode);
        QVERIFY(only.port() > 0);
        mail::SmtpMailSubmitter submitter(only.clientOptions(certificates->path("ca.pem")));
        QVERIFY(submitter.submit(message({"1@a.example"})).succeeded());
        MailMessage wrong = message({"1@a.example"});
        wrong.password = "wrong";
        QCOMPARE(submitter.submit(wrong).failure, MailFailure::LoginRefused);
    }

    // 465 refuses: the message goes through 587 with STARTTLS, verified as on 465, or not
    // at all; nothing is said over a connection without verified TLS.
    void blockedPort_triesTheSubmissionPort_data() {
        QTest::addColumn<QString>("modes"); // of the server on 587; empty: none there
        QTest::addColumn<QString>("certificate");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("reason");
        QTest::newRow("587 with STARTTLS") << "starttls,pipelining"
                                           << "server" << int(MailFailure::None) << "";
        QTest::newRow("587 slow but honest") // EHLO alone takes longer than the connect limit
            << "starttls,pipelining,slower"
            << "server" << int(MailFailure::None) << "";
        QTest::newRow("587 without STARTTLS") << "no-tls"
                                              << "server" << int(MailFailure::Untrusted)
                                              << "The server on port 587 does not offer STARTTLS.";
        QTest::newRow("587 with a certificate for another host")
            << "starttls"
            << "san-other" << int(MailFailure::Untrusted)
            << "The certificate does not name smtp.gmail.com: it names other.example.";
        QTest::newRow("587 leaves after agreeing to STARTTLS")
            << "hostile_server.py:starttls-then-close"
            << "server" << int(MailFailure::Unreachable)
            << "port 465: Connection refused; port 587: The remote host closed the connection";
        QTest::newRow("587 refuses too") << ""
                                         << "server" << int(MailFailure::Unreachable)
                                         << "port 465: Connection refused; port 587: ";
    }
    void blockedPort_triesTheSubmissionPort() {
        QFETCH(QString, modes);
        QFETCH(QString, certificate);
        QFETCH(int, failure);
        QFETCH(QString, reason);
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 closed = probe.serverPort();
        probe.close();
        std::unique_ptr<LocalSmtpServer> submission;
        if (!modes.isEmpty())
            submission = std::make_unique<LocalSmtpServer>(
                *certificates, modes.section(':', -1),
                modes.contains(':') ? modes.section(':', 0, 0) : "smtp_test_server.py",
                certificate);
        mail::MailOptions blocked = options();
        blocked.connectPort = closed;
        blocked.fallbackPort = 587;
        blocked.fallbackConnectPort = submission ? quint16(submission->port()) : closed;
        blocked.connectTimeoutMs = 1000; // each step within its own limit
        blocked.stallMs = 2000;
        mail::SmtpMailSubmitter submitter(blocked);
        const auto result = submitter.submit(message({"1@a.example", "2@a.example"}));
        QCOMPARE(int(result.failure), failure);
        QVERIFY2(result.description.startsWith(reason) || reason.isEmpty(),
                 qPrintable(result.description));
        if (failure == int(MailFailure::Unreachable))
            QCOMPARE(result.triedPorts, QStringLiteral("465 or 587"));
        if (!submission)
            return;
        const auto received = submission->nextMessage(failure ? 300 : 5000);
        QCOMPARE(received.has_value(), failure == int(MailFailure::None));
        if (received) {
            QCOMPARE(received->recipients, QStringList({"1@a.example", "2@a.example"}));
            // EHLO, STARTTLS, EHLO, AUTH with the pipelined envelope, the message, QUIT
            QCOMPARE(submitter.lastTurns(), 6);
        }
    }

    void untrustedCertificate_isUntrusted() {
        mail::SmtpMailSubmitter submitter(options("other.pem"));
        const auto result = submitter.submit(message({"1@a.example"}));
        QCOMPARE(result.failure, MailFailure::Untrusted);
        QVERIFY2(result.description.contains(QLatin1String("certificate")),
                 qPrintable(result.description));
    }

    void pipelining_sendsTheSameEnvelopeAndMessageInFewerRoundTrips() {
        LocalSmtpServer pipelining(*certificates, "pipelining");
        QVERIFY(pipelining.port() > 0);
        const QStringList recipients{"1@a.example", "2@b.example", "3@a.example"};
        QList<ReceivedMail> received;
        QList<int> turns;
        for (LocalSmtpServer* to : {server.get(), &pipelining}) {
            mail::SmtpMailSubmitter submitter(to->clientOptions(certificates->path("ca.pem")));
            const auto result = submitter.submit(message(recipients));
            QVERIFY2(result.succeeded(), qPrintable(result.description));
            QVERIFY(result.messageId.endsWith(QLatin1String("@gmail.com")));
            turns << submitter.lastTurns();
            const auto mail = to->nextMessage();
            QVERIFY(mail.has_value());
            received << *mail;
        }
        QCOMPARE(received[1].mailFrom, received[0].mailFrom);
        QCOMPARE(received[1].recipients, recipients);
        QCOMPARE(received[0].recipients, recipients);
        for (const QByteArray name : {"From", "To", "Reply-To", "Subject", "Organization"})
            QCOMPARE(headerValue(received[1].data, name), headerValue(received[0].data, name));
        QCOMPARE(partsOf(received[1].data), partsOf(received[0].data));
        QCOMPARE(turns[1], 4); // EHLO, AUTH with the envelope, the message, QUIT
        QCOMPARE(turns[0], 9); // ... with MAIL, three RCPT and DATA one by one
    }

    void refusalInsideAFlight_isClassifiedByItsCommand_data() {
        QTest::addColumn<QString>("modes");
        QTest::addColumn<QStringList>("recipients");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QStringList>("refused");
        QTest::newRow("550 on the third")
            << "pipelining,refuse-quit"
            << QStringList{"1@a.example", "2@a.example", "reject550@a.example", "4@a.example"}
            << int(MailFailure::AddressRefused) << QStringList{"reject550@a.example"};
        QTest::newRow("every recipient refused, the first decides")
            << "pipelining" << QStringList{"reject550@a.example", "toomany@a.example"}
            << int(MailFailure::AddressRefused)
            << QStringList{"reject550@a.example", "toomany@a.example"};
        QTest::newRow("450 then 550: only the 550 for good")
            << "pipelining"
            << QStringList{"defer450@a.example", "reject550@a.example", "3@a.example"}
            << int(MailFailure::AddressRefused) << QStringList{"reject550@a.example"};
        QTest::newRow("553 one by one, QUIT refused")
            << "refuse-quit" << QStringList{"reject553@a.example", "2@a.example"}
            << int(MailFailure::AddressRefused) << QStringList{"reject553@a.example"};
        QStringList many;
        for (int i = 0; i < 100; ++i)
            many << QStringLiteral("%1@a.example").arg(i);
        many << "toomany1@a.example"
             << "toomany2@a.example";
        QTest::newRow("452 4.5.3 after 100")
            << "pipelining" << many << int(MailFailure::TooManyRecipients)
            << QStringList{"toomany1@a.example", "toomany2@a.example"};
    }
    void refusalInsideAFlight_isClassifiedByItsCommand() {
        QFETCH(QString, modes);
        QFETCH(QStringList, recipients);
        QFETCH(int, failure);
        QFETCH(QStringList, refused);
        LocalSmtpServer refusing(*certificates, modes);
        QVERIFY(refusing.port() > 0);
        mail::SmtpMailSubmitter submitter(refusing.clientOptions(certificates->path("ca.pem")));
        const auto result = submitter.submit(message(recipients));
        QCOMPARE(int(result.failure), failure);
        QCOMPARE(result.refusedAddresses, refused);
        QVERIFY(!refusing.nextMessage(300).has_value()); // nobody got the message
        if (recipients.first().startsWith("defer450"))
            QCOMPARE(email_route::addressesRefusedMessage(refused, result.serverReply,
                                                          result.deferredAddresses),
                     "Message could not be sent: the server refused the address "
                     "reject550@a.example.\r\n\r\nServer reply: 550 5.1.1 The email account that "
                     "you tried to reach does not exist\r\n\r\nRefused only for now (these may "
                     "go through later): defer450@a.example.\r\n\r\nNothing was sent. Check the "
                     "phone numbers and carriers, then send again.");
    }

    void silenceAfterTheMessage_endsWithinTheStallLimit() {
        LocalSmtpServer silent(*certificates, "pipelining,silent-after-data");
        QVERIFY(silent.port() > 0);
        mail::MailOptions limits = silent.clientOptions(certificates->path("ca.pem"));
        limits.stallMs = 1000;
        mail::SmtpMailSubmitter submitter(limits);
        const auto result = submitter.submit(message({"1@a.example"}));
        QCOMPARE(result.failure, MailFailure::General);
        QCOMPARE(result.description, "The server did not answer within 1 s. (after the message)");
    }

    void slowServer_endsAtTheDeadline() {
        LocalSmtpServer slow(*certificates, "slow");
        QVERIFY(slow.port() > 0);
        mail::MailOptions limits = slow.clientOptions(certificates->path("ca.pem"));
        limits.deadlineMs = 1000; // every reply comes in time, the whole does not
        mail::SmtpMailSubmitter submitter(limits);
        const auto result = submitter.submit(message({"1@a.example", "2@a.example"}));
        QCOMPARE(result.failure, MailFailure::General);
        QVERIFY2(result.description.startsWith("The exchange took longer than 1 s."),
                 qPrintable(result.description));
    }

    void slowSend_keepsTheWindowAliveAndHoldsInputAndClose() {
        LocalSmtpServer slow(*certificates, "slow");
        QVERIFY(slow.port() > 0);
        mail::SmtpMailSubmitter submitter(slow.clientOptions(certificates->path("ca.pem")));
        FormFixture f;
        f.submitter = &submitter;
        app::Form1& form = f.open();
        form.show();
        form.ListView2->clear();
        app::appendCarrier(form.ListView2, "a.example", true);
        app::appendRows(form.ListView1, {"5555550100"});
        form.Text3->setText("ann");
        form.Text2->setText("secret");
        QLineEdit otherWindow;
        otherWindow.show();
        bool closedMidSend = true;
        int pointerMidSend = -1;
        Qt::CursorShape cursorMidSend = Qt::ArrowCursor;
        PaintCounter paints;
        form.installEventFilter(&paints);
        int ticks = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (++ticks == 3) { // mid-send: a click on a list button, then a close
                QTest::mouseClick(form.pushButton(13), Qt::LeftButton);
                QTest::keyClick(form.Text4, Qt::Key_A);
                QTest::keyClick(&otherWindow, Qt::Key_B); // e.g. a box shown during the send
                form.close();
                closedMidSend = !form.isVisible() || f.desktop.programEnds != 0;
                pointerMidSend = form.pointer().style();
                cursorMidSend = form.cursor().shape();
                form.repaint(); // the window still draws itself
            }
        });
        timer.start(100);
        form.PushButton1_Click();
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks))); // about 1 s of slow replies
        QCOMPARE(form.ListView1->topLevelItemCount(), 1);
        QCOMPARE(form.Text4->text(), QString());
        QCOMPARE(otherWindow.text(), QStringLiteral("b"));
        QVERIFY(!closedMidSend);
        QCOMPARE(pointerMidSend, core::kBusyPointer);
        QCOMPARE(cursorMidSend, Qt::WaitCursor);
        QCOMPARE(form.pointer().style(), core::kDefaultPointer);
        QVERIFY(paints.count > 0);
        QCOMPARE(f.desktop.boxTexts(), QStringList({"Done."}));
        QVERIFY(QFile::exists(f.programFolder() + "/sentmessages.log"));
        QCOMPARE(f.desktop.programEnds, 1); // after the send, not during it
        QVERIFY(slow.nextMessage().has_value());
    }

    void silentServer_endsTheSendInBoundedTime() {
        LocalSmtpServer silent(*certificates, "stall");
        QVERIFY(silent.port() > 0);
        mail::SmtpMailSubmitter submitter(silent.clientOptions(certificates->path("ca.pem")));
        const auto result = submitter.submit(message({"1@a.example"}));
        QCOMPARE(result.failure, MailFailure::Unreachable);
    }
};

QTEST_MAIN(TestEmailRoute)
#include "test_email_route.moc"
