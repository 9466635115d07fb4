// Texts through the user's own phone, through the real window and the program's phone module,
// against a stand-in for the phone's SMS gateway app that checks every request against the
// app's published API (tests/support/phone_standin.py).
#include "app/list_views.h"
#include "core/settings.h"
#include "form_fixture.h"
#include "local_phone.h"
#include "local_smtp_server.h"
#include "records/kept_file.h"
#include "records/sent_log.h"
#include "routes/phone/app/lazy_phone_gateway.h"
#include "routes/phone/app/phone_api.h"
#include "routes/phone/phone_texts.h"
#include "sending/send_texts.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <csignal>

using namespace phone_route;

namespace {
QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The window with the phone set up in its settings, texts going without a pause.
void setUpIn(FormFixture& f, const QString& address) {
    f.settings.values.insert(kAddressSetting, "http://" + address);
    f.settings.values.insert(kUserSetting, "ann");
    f.settings.values.insert(kPasswordSetting, "secret");
    f.settings.values.insert(kPartsPerMinuteSetting, "0");
    f.settings.values.insert(core::settings::kRoute, kRouteId);
}

QString chosen(const app::Form1& form) {
    return form.cboRoute->isVisibleTo(&form) ? form.cboRoute->currentData().toString() : "";
}

// The log with each time the phone stamped written as "<time>".
QString withoutTimes(const QByteArray& log) {
    return QString::fromLocal8Bit(log).replace(
        QRegularExpression(QStringLiteral("(Reply from \\S+) [^:]+:\\d\\d(?::\\d\\d)?:")),
        "\\1 <time>:");
}
} // namespace

class TestPhoneRoute : public QObject {
    Q_OBJECT
  private slots:
    // Set up as a user does, three phones with one failed, the log, the kept rest; then the
    // phone's news on "View Log": a delivery, replies, a STOP, a stranger left alone; then the
    // next send leaves out the phone that texted STOP and offers the kept rest.
    void phoneRoute_throughTheWindow() {
        LocalPhone phone;
        QVERIFY(phone.port() > 0);
        FormFixture f;
        f.settings.values.insert(kPartsPerMinuteSetting, "0");
        f.settings.values.insert(kNewsEverySecondsSetting, "1");
        app::Form1& form = f.open();
        QTRY_VERIFY(form.cboRoute->isVisibleTo(&form)); // e-mail, and the phone to set up
        QCOMPARE(form.size(), QSize(1064, 487));
        QCOMPARE(unreachableControls(&form), QStringList());
        f.desktop.typed = {phone.address(), "ann", "secret"};
        form.cboRoute->setFocus();
        QTest::keyClick(form.cboRoute, Qt::Key_End); // "Texts through your Android phone (set up…)"
        QCOMPARE(f.desktop.prompts.size(), 3);
        QCOMPARE(f.desktop.boxTexts(),
                 QStringList{"Parlivo reaches your phone at " + phone.address() +
                             ". Texts go through it when you choose it under \"Send by\"; the "
                             "app may pace them further as its own settings say."});
        QCOMPARE(chosen(form), kRouteId);
        QCOMPARE(form.cboRoute->currentText(),
                 "Texts through your phone (" + phone.address() + ")");
        QCOMPARE(unreachableControls(&form), QStringList());

        phone.push("fate +15550000001 delivered");
        phone.push("fate +15550000002 failed RESULT_ERROR_NO_SERVICE");
        // What the phone will have received after the send: taken in, with what became of
        // the texts, by asking the phone while the window is open, without a click.
        phone.push("inbox +15550000001 Thanks, see you at the station at half past six");
        phone.push("inbox +15550000003 STOP");
        phone.push("inbox +15559999999 Win a prize");
        phone.push("inbox +445550000001 STOP"); // another country's phone: not ours
        app::appendRows(form.ListView1, {"5550000001", "1-555-000-0002", "555-000-0003",
                                         "(555) 000-0001", "ann@example.com"});
        form.Text4->setText("Hi");
        form.Text5->setPlainText("at noon");
        f.desktop.boxes.clear();
        QStringList rowsAtTheLastBox; // what the rows say as the send's last box shows
        f.desktop.whileBoxShown = [&](const ScriptedDesktop::Box& box) {
            if (box.text.startsWith("Sent to"))
                for (int row = 0; row < 3; ++row)
                    rowsAtTheLastBox << form.ListView1->topLevelItem(row)->text(1);
        };
        form.PushButton1_Click();
        f.desktop.whileBoxShown = nullptr;
        const QString sent = records::logStamp(f.clock.time);
        QCOMPARE(rowsAtTheLastBox, QStringList({"sent through your phone, " + sent,
                                                "not sent (the phone has no service), " + sent,
                                                "sent through your phone, " + sent}));
        QCOMPARE(phone.logged("BAD"), QStringList());
        const QStringList texts = phone.logged("TEXT");
        QCOMPARE(texts.size(), 3);
        for (int i = 0; i < 3; ++i)
            QVERIFY2(texts[i].startsWith(QStringLiteral("+1555000000%1 parlivo-").arg(i + 1)),
                     qPrintable(texts[i]));
        QCOMPARE(f.desktop.boxTexts(),
                 (QStringList{"The phone texts phone numbers only; these rows are left out of "
                              "this send: ann@example.com. Choose e-mail under \"Send by\" to "
                              "send to them by e-mail.",
                              sending::repeatedRowsMessage(1),
                              "Sent to 2 phones in 2 of 3 texts; the log names them.\r\n\r\nNot "
                              "sent to 1 phone: +15550000002. Parlivo keeps them and offers them "
                              "again on \"Send Message\".\r\n\r\nWhy:\r\n+15550000002: the phone "
                              "has no service"}));
        QByteArray log;
        for (const char* number : {"+15550000001", "+15550000003"})
            log += (records::sentLogRecord(f.clock.time, number, "Hi", "at noon", "your phone") +
                    "\r\n")
                       .toLocal8Bit();
        QCOMPARE(readAll(f.programFolder() + "/sentmessages.log"), log);
        const auto kept = records::loadKeptSends(f.dataFolder() + "/kept-sends.tsv", nullptr);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(kept[0].addresses, QStringList{"+15550000002"});
        QCOMPARE(kept[0].route, kRouteId);

        f.clock.time = f.clock.time.addSecs(600);
        QTRY_VERIFY_WITH_TIMEOUT(form.ListView1->topLevelItem(0)->text(1).startsWith("asked not") ||
                                     form.ListView1->topLevelItem(0)->text(1).startsWith("replied"),
                                 10000);
        QTRY_VERIFY(form.ListView1->topLevelItem(2)->text(1).startsWith("asked not to be texted"));
        QVERIFY(form.ListView1->topLevelItem(0)->text(1).startsWith(
            "replied \u201cThanks, see you at the station at half p\u201d, "));
        form.copyStatuses(); // as a spreadsheet takes them
        const QStringList csv = QApplication::clipboard()->text().split("\r\n");
        QCOMPARE(csv.value(0), "phone,status,when,route,reply");
        QCOMPARE(csv.value(2), "1-555-000-0002,not sent (the phone has no service)," + sent +
                                   ",through your phone,");
        QVERIFY2(
            csv.value(1).startsWith(
                "5550000001,\"replied \u201cThanks, see you at the station at half p\u201d\",") &&
                csv.value(1).endsWith(
                    ",through your phone,\"Thanks, see you at the station at half past six\""),
            qPrintable(csv.value(1)));
        const QString now = records::logStamp(f.clock.time);
        const QString heading = "\r\nDelivery: message of " +
                                records::logStamp(f.clock.time.addSecs(-600)) + ", Subject:Hi\r\n";
        const QString news =
            now + heading +
            "Delivered: +15550000001 (the network says the phone took it)\r\nReply from "
            "+15550000001 <time>: Thanks, see you at the station at half past six\r\n\r\n\r\n" +
            now + heading + "Reply from +15550000003 <time>: STOP\r\n\r\n\r\n";
        QCOMPARE(withoutTimes(readAll(f.programFolder() + "/sentmessages.log")),
                 QString::fromLocal8Bit(log) + news);
        QVERIFY(!readAll(f.programFolder() + "/sentmessages.log").contains("secret"));
        form.PushButton2_Click(); // nothing is told twice, and the log opens
        QCOMPARE(withoutTimes(readAll(f.programFolder() + "/sentmessages.log")),
                 QString::fromLocal8Bit(log) + news);
        // While the phone takes its time to answer a news check, the window takes keys at once
        // and a click runs once the news is in.
        phone.push("mode unhurried");
        const qsizetype asked = phone.logged("ASK").size();
        QString typedMeanwhile;
        int rowsMeanwhile = -1;
        QTimer user; // the user, as the phone is asked
        connect(&user, &QTimer::timeout, [&] {
            if (rowsMeanwhile >= 0 || phone.logged("ASK").size() == asked)
                return;
            QTest::keyClicks(form.Text4, "!");
            typedMeanwhile = form.Text4->text();
            QTest::mouseClick(form.pushButton(13), Qt::LeftButton); // Load Sample/Example Numbers
            rowsMeanwhile = form.ListView1->topLevelItemCount();
        });
        user.start(20);
        QTRY_COMPARE_WITH_TIMEOUT(form.ListView1->topLevelItemCount(), 7, 10000);
        user.stop();
        QCOMPARE(typedMeanwhile, "Hi!");
        QCOMPARE(rowsMeanwhile, 5);
        phone.push("mode normal");
        form.Text4->setText("Hi");
        delete form.ListView1->takeTopLevelItem(6);
        delete form.ListView1->takeTopLevelItem(5);

        // The next send: the kept rest is offered first (kept), then the STOP leaves its phone out.
        f.desktop.boxes.clear();
        f.desktop.answers = {platform::Answer::No};
        form.Text5->setPlainText("at one"); // a new text: the phones had "at noon"
        form.PushButton1_Click();
        QVERIFY(f.desktop.boxTexts().value(0).startsWith("A text kept on "));
        QCOMPARE(f.desktop.boxTexts().value(1).section("\r\n", 0, 0),
                 "1 phone asked not to be texted: 555-000-0003.");
        QCOMPARE(phone.logged("TEXT").mid(3).join(' ').count("+15550000003"), 0);
        QCOMPARE(phone.logged("TEXT").size(), 5);
        QCOMPARE(phone.logged("BAD"), QStringList());
    }

    // What the phone answers, told before anything is lost; the window answering throughout.
    void phoneAnswers_throughTheWindow_data() {
        QTest::addColumn<QString>("script"); // lines for the stand-in; "closed": none listens
        QTest::addColumn<QString>("box");    // how the last box begins, "%1" the address
        QTest::addColumn<int>("taken");
        const QString nothing = "Nothing was sent: ";
        QTest::newRow("wrong password")
            << "mode unauthorized"
            << nothing + "the phone at %1 refused the user name \"ann\" or its password." << 0;
        QTest::newRow("app not ready")
            << "mode not-ready" << nothing + "SMS Gateway on the phone at %1 says it is not ready"
            << 0;
        QTest::newRow("no phone listening")
            << "closed" << nothing + "the phone at %1 does not answer" << 0;
        QTest::newRow("queue full")
            << "mode busy" << nothing + "the phone at %1 has too many texts waiting" << 0;
        QTest::newRow("number refused by the app")
            << "fate +15550000001 refused 400 Invalid phone number"
            << "Sent to 1 phone in 1 of 2 texts; the log names them.\r\n\r\nNot sent to 1 phone: "
               "+15550000001. Parlivo keeps them and offers them again on \"Send "
               "Message\".\r\n\r\nWhy:\r\n+15550000001: the app refused it (Invalid phone "
               "number)"
            << 1;
        // "Stop" pressed as the first text goes, which was posted ahead of its state: it is told.
        QTest::newRow("stopped")
            << "stop"
            << "Sent to 1 phone in 1 of 2 texts; the log names them.\r\n\r\nNot sent to 1 phone: "
               "+15550000002. Parlivo keeps them and offers them again on \"Send "
               "Message\".\r\n\r\nWhy:\r\nThe send was stopped as you asked, after the text "
               "in flight."
            << 1;
        QTest::newRow("stuck pending")
            << "fate +15550000001 pending"
            << "Nothing was sent.\r\n\r\nThe next 2 texts may have been sent: their sending was "
               "never confirmed by the phone. They went to 2 phones: +15550000001, "
               "+15550000002. They are not in the log.\r\n\r\nWhy:\r\nThe phone took the text "
               "to +15550000001 but has not sent it within 2 s; it may be asleep (Android's "
               "battery saving) or its app stopped. It may still go. The rest is kept. The text "
               "to +15550000002, sent after it, may go too."
            << 0;
        QTest::newRow("answers that never end")
            << "mode endless"
            << nothing + "the phone at %1 answered in a way Parlivo cannot use (its answer was "
                         "longer than Parlivo reads)."
            << 0;
        QTest::newRow("no JSON") << "mode garbage"
                                 << nothing + "the phone at %1 answered in a way Parlivo cannot "
                                              "use (its list of texts received is unreadable)."
                                 << 0;
        QTest::newRow("HTTPS whose certificate does not verify")
            << "https"
            << nothing + "the identity of %1 could not be verified, so neither the password nor "
                         "a text was sent"
            << 0;
        QTest::newRow("too slow") << "mode slow"
                                  << nothing + "the phone at %1 answered in a way Parlivo cannot "
                                               "use (its answer did not end within 10 s)."
                                  << 0;
    }
    void phoneAnswers_throughTheWindow() {
        QFETCH(QString, script);
        QFETCH(QString, box);
        QFETCH(int, taken);
        TestCertificates certificates; // the test CA, which no system trusts
        LocalPhone phone = script == "https" ? LocalPhone(certificates.path("server.pem"),
                                                          certificates.path("server.key"))
                                             : LocalPhone();
        QTcpServer closed; // a port where nothing answers: listening, then closed
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QString address = script == "closed"
                                    ? QStringLiteral("127.0.0.1:%1").arg(closed.serverPort())
                                    : phone.address();
        closed.close();
        if (script != "closed" && script != "https" && script != "stop")
            phone.push(script);
        FormFixture f;
        setUpIn(f, address);
        if (script == "https")
            f.settings.values.insert(kAddressSetting, "https://" + address);
        f.settings.values.insert(kSecondsToSendSetting, "2");
        app::Form1& form = f.open();
        QTRY_COMPARE(chosen(form), kRouteId);
        app::appendRows(form.ListView1, {"5550000001", "5550000002"});
        form.Text5->setPlainText("at noon");
        int turns = 0; // of the window's event loop while the phone is asked
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++turns; });
        ticker.start(0);
        QTimer stopper;
        connect(&stopper, &QTimer::timeout, [&] {
            if (const auto* shown = form.findChild<QProgressDialog*>(); shown && script == "stop")
                QTest::mouseClick(shown->findChild<QPushButton*>(), Qt::LeftButton);
        });
        stopper.start(0);
        form.PushButton1_Click();
        ticker.stop();
        QVERIFY2(f.desktop.boxTexts().last().startsWith(box.arg(address)),
                 qPrintable(f.desktop.boxTexts().last()));
        QCOMPARE(phone.logged("TEXT").size() - (script.contains("pending") ? 2 : 0), taken);
        QCOMPARE(phone.logged("BAD"), QStringList());
        // The window turned while each request waited for its answer.
        QVERIFY2(turns >= phone.logged("ASK").size(), qPrintable(QString::number(turns)));
        QVERIFY(!f.desktop.boxTexts().join(' ').contains("secret"));
    }

    // A send through the phone killed while the phone had taken the second text but not yet
    // said it sent it, and resumed at the next start: the id written down before sending
    // makes the phone answer that it has that text (409), and no phone is texted twice. With
    // no pace the third text went while the second's state was read: both are asked again.
    // Each row: the pace, what the phone makes of the second text, where the send is killed
    // (the phone holds that request unanswered), and how many texts were then in flight.
    void killedMidSend_resumesWithEachPhoneOnce_data() {
        QTest::addColumn<QString>("pace");
        QTest::addColumn<QString>("fate");
        QTest::addColumn<QString>("hang");
        QTest::addColumn<int>("inFlight");
        QTest::newRow("before the phone read the POST") << "60"
                                                        << "sent"
                                                        << "unread 2" << 1;
        QTest::newRow("after the POST, before its answer") << "60"
                                                           << "sent"
                                                           << "taken 2" << 1;
        QTest::newRow("after the answer, before it is written down") << "60"
                                                                     << "sent"
                                                                     << "state 2" << 1;
        QTest::newRow("while the state is read") << "60"
                                                 << "late"
                                                 << "state 3" << 1;
        QTest::newRow("no pace, two in flight") << "0"
                                                << "late"
                                                << "state 1" << 2;
    }
    void killedMidSend_resumesWithEachPhoneOnce() {
        QFETCH(QString, pace);
        QFETCH(QString, fate);
        QFETCH(QString, hang);
        QFETCH(int, inFlight);
        LocalPhone phone;
        QVERIFY(phone.port() > 0);
        phone.push("fate +15550000002 " + fate);
        phone.push("hang " + hang);
        QTemporaryDir folder;
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PARLIVO_KILL_FOLDER", folder.path());
        environment.insert("PARLIVO_KILL_PHONE", phone.address());
        environment.insert("PARLIVO_KILL_PACE", pace);
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {"sendToBeKilled"});
        QVERIFY(child.waitForStarted());
        const auto pid = pid_t(child.processId()); // the child's own, kept while it runs
        QVERIFY(QTest::qWaitFor([&] { return !phone.logged("HUNG").isEmpty(); }, 20000));
        QVERIFY2(child.state() == QProcess::Running, "the send ended before it could be killed");
        ::kill(pid, SIGKILL);
        child.waitForFinished();

        FormFixture f; // the next start
        f.base = folder.path();
        setUpIn(f, phone.address());
        f.desktop.answers = {platform::Answer::Yes};
        f.open();
        QTRY_VERIFY_WITH_TIMEOUT(f.desktop.boxTexts().size() == 2, 20000);
        QCOMPARE(f.desktop.boxTexts().last(), "Done.");
        QVERIFY(f.desktop.boxTexts().first().contains(
            QString("%1 phones has not gone out yet (subject: \"\").\r\n\r\n%2 of its recipients "
                    "were in a text whose sending was never confirmed by the phone")
                .arg(inFlight == 2 ? 4 : 3)
                .arg(inFlight)));
        QStringList numbers;
        for (const QString& text : phone.logged("TEXT"))
            numbers << text.section(' ', 0, 0);
        QCOMPARE(numbers,
                 QStringList({"+15550000001", "+15550000002", "+15550000003", "+15550000004"}));
        QCOMPARE(phone.logged("BAD"), QStringList()); // no phone texted twice, whatever the id
        QCOMPARE(QString::fromLocal8Bit(readAll(f.programFolder() + "/sentmessages.log"))
                     .count("To: +15550000002"),
                 1);
    }
    void sendToBeKilled() {
        const QString folder = qEnvironmentVariable("PARLIVO_KILL_FOLDER");
        if (folder.isEmpty())
            QSKIP("the send that killedMidSend_resumesWithEachPhoneOnce kills");
        FormFixture f;
        f.base = folder;
        setUpIn(f, qEnvironmentVariable("PARLIVO_KILL_PHONE"));
        f.clock.time = f.clock.time.addMSecs(437); // a clock as the system's, to the millisecond
        f.settings.values.insert(kPartsPerMinuteSetting, qEnvironmentVariable("PARLIVO_KILL_PACE"));
        app::Form1& form = f.open();
        QVERIFY(QTest::qWaitFor([&] { return chosen(form) == kRouteId; }, 10000));
        app::appendRows(form.ListView1, {"5550000001", "5550000002", "5550000003", "5550000004"});
        form.Text5->setPlainText("at noon");
        form.PushButton1_Click();
    }

    // Plain HTTP carries the password only on the user's own network.
    void phoneAddress_keepsThePasswordOnTheOwnNetwork_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("base"); // none: refused
        QTest::newRow("private, the app's port") << "192.168.1.20"
                                                 << "http://192.168.1.20:8080";
        QTest::newRow("link-local") << "169.254.7.1:9000"
                                    << "http://169.254.7.1:9000";
        QTest::newRow(".local name") << "http://pixel.local:8080"
                                     << "http://pixel.local:8080";
        QTest::newRow("IPv6 unique local") << "http://[fd12::7]:8080"
                                           << "http://[fd12::7]:8080";
        QTest::newRow("172.32 is not private") << "172.32.0.1"
                                               << "";
        QTest::newRow("a public address") << "8.8.8.8:8080"
                                          << "";
        QTest::newRow("a name on the internet") << "http://gateway.example.org"
                                                << "";
        QTest::newRow("HTTPS anywhere") << "https://gateway.example.org"
                                        << "https://gateway.example.org";
        QTest::newRow("a password in the address") << "http://ann:pw@192.168.1.2"
                                                   << "";
        QTest::newRow("a public IPv6 address") << "http://[2001:db8::1]:8080"
                                               << "";
    }
    // Typed at set-up, or found in the settings file (copied, hand-written, an older version's)
    // with the password beside it: a refused address is named under "Send by" and when Send
    // Message is pressed, and nothing asks the phone module.
    void phoneAddress_keepsThePasswordOnTheOwnNetwork() {
        QFETCH(QString, typed);
        QFETCH(QString, base);
        const phone::PhoneAddress address = phone::phoneAddress(typed);
        QCOMPARE(address.base.toString(), base);
        QCOMPARE(address.problem.isEmpty(), !base.isEmpty());
        if (!base.isEmpty())
            return;
        phone::LazyPhoneGateway noModule("/nonexistent/libparlivo_phone");
        FormFixture f;
        f.phone = &noModule;
        setUpIn(f, "");
        f.settings.values.insert(kAddressSetting,
                                 typed.contains("://") ? typed : "http://" + typed);
        app::Form1& form = f.open();
        QTRY_VERIFY(form.cboRoute->currentText().endsWith(": refused, it would expose the "
                                                          "password)"));
        app::appendRows(form.ListView1, {"5550000001"});
        form.Text5->setPlainText("at noon");
        form.PushButton1_Click();
        QCOMPARE(f.desktop.boxTexts(),
                 QStringList{"Nothing was sent: " + address.problem +
                             " Choose \"Set up the phone again…\" under \"Send by\"."});
    }
};

QTEST_MAIN(TestPhoneRoute)
#include "test_phone_route.moc"
