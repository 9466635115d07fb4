// Texts through the computer's modem, through the real window and Debian's ModemManager in
// its test mode, on private buses, with a scripted modem.
#include "app/list_views.h"
#include "app/program.h"
#include "core/settings.h"
#include "form_fixture.h"
#include "local_modem.h"
#include "notice/companion_notice.h"
#include "records/kept_file.h"
#include "records/sent_log.h"
#include "routes/modem/dbus/mm_text_modem.h"
#include "routes/modem/modem_option.h"
#include "sending/send_texts.h"

#include <QComboBox>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <csignal>

namespace {
// The program's own modules (mail, modem, phone) this process has loaded.
QStringList mappedModules() {
    QFile maps("/proc/self/maps");
    QStringList modules;
    if (maps.open(QIODevice::ReadOnly))
        for (const QByteArray& line : maps.readAll().split('\n'))
            if (const QString name = QString::fromUtf8(line.mid(line.lastIndexOf('/') + 1));
                line.contains('/') && name.startsWith("libparlivo_") && !modules.contains(name))
                modules << name;
    return modules;
}

// The route the window's route choice shows while the user can see it.
QString chosen(const app::Form1* form) {
    return form->cboRoute->isVisibleTo(form) ? form->cboRoute->currentData().toString() : "";
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The messages ModemManager still keeps for the modem.
int keptOnModem(const QDBusConnection& bus) {
    QDBusMessage get = QDBusMessage::createMethodCall("org.freedesktop.ModemManager1",
                                                      "/org/freedesktop/ModemManager1/Modem/0",
                                                      "org.freedesktop.DBus.Properties", "Get");
    get.setArguments({"org.freedesktop.ModemManager1.Modem.Messaging", "Messages"});
    const QDBusMessage reply = bus.call(get);
    return reply.type() == QDBusMessage::ReplyMessage
               ? int(qdbus_cast<QList<QDBusObjectPath>>(
                         reply.arguments().first().value<QDBusVariant>().variant())
                         .size())
               : -1;
}
// The window on a ModemManager of its own, the modem ticked at `perMinute` parts a minute,
// the login and a text typed, once the window has found the modem.
struct ModemWindow {
    explicit ModemWindow(const QStringList& options = {}, const QString& perMinute = "0")
        : local(options), textModem(local.bus(), 5000) {
        f.modem = &textModem;
        f.settings.values.insert(core::settings::kRoute, "modem");
        f.settings.values.insert(modem_route::kPartsPerMinuteSetting, perMinute);
        form = &f.open();
        form->Text3->setText("ann");
        form->Text2->setText("secret");
        form->Text5->setPlainText("at noon");
    }
    // Whether the route choice under the buttons offers the modem, once the window found it,
    // and shows it chosen, as kept.
    bool found() {
        return QTest::qWaitFor([this] { return chosen(form) == modem_route::kRouteId; }, 10000);
    }
    LocalModem local;
    modem::MmTextModem textModem;
    FormFixture f;
    app::Form1* form = nullptr;
};
} // namespace

class TestModemRoute : public QObject {
    Q_OBJECT
  private slots:
    // Each row: the modem as the script makes it, the phone rows, and what the user then sees.
    void modemRoute_throughTheWindow_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QStringList>("logged");
        const QString nothingReady = "Nothing was sent. ";
        QTest::newRow("three phones, one refused")
            << QStringList()
            << QStringList{"+15551230001 report=1", "+15551230002 report=1",
                           "+15551230003 report=1"}
            << QStringList{"The modem texts phone numbers only; these rows are left out of this "
                           "send: ann@example.com. Choose e-mail under \"Send by\" to send to "
                           "them by e-mail.",
                           sending::repeatedRowsMessage(1),
                           "Sent to 2 phones in 2 of 3 texts; the log names them.\r\n\r\nNot "
                           "sent to 1 phone: +15551230002. "}
            << QStringList{"+15551230001", "+15551230003"};
        QTest::newRow("SIM locked")
            << QStringList{"--pin"} << QStringList()
            << QStringList{nothingReady + "The modem's SIM waits for its PIN. Unlock it in the "
                                          "system's network settings, then send again."}
            << QStringList();
        QTest::newRow("ModemManager gone")
            << QStringList{"stop"} << QStringList()
            << QStringList{nothingReady + "ModemManager, the system service that runs the modem, "
                                          "does not answer. Start it (or choose e-mail under "
                                          "\"Send by\")."}
            << QStringList();
        QTest::newRow("the system's policy says no")
            << QStringList{"--deny"} << QStringList()
            << QStringList{"The modem texts phone numbers only", sending::repeatedRowsMessage(1),
                           nothingReady + "The system does not let this session send texts "
                                          "through the modem (only the person at the computer "
                                          "may). Send from a local desktop session."}
            << QStringList();
        QTest::newRow("no network")
            << QStringList{"--unregistered"} << QStringList()
            << QStringList{nothingReady + "The modem found no mobile network. Move where it has "
                                          "signal, or check the SIM's plan, then send again."}
            << QStringList();
    }
    void modemRoute_throughTheWindow() {
        QFETCH(QStringList, options);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, logged);
        ModemWindow w(QStringList(options).filter("--"));
        auto& [local, textModem, f, form] = w;
        QVERIFY(local.started());
        local.refuse("+15551230002");
        QVERIFY(w.found());
        if (options.contains("stop")) // ModemManager stopped after the window found the modem
            local.push("stop");
        form->ListView2->clear(); // no carrier: the modem needs none
        app::appendRows(form->ListView1, {"5551230001", "+1 555 123 0002", "1-555-123-0003",
                                          "(555) 123-0001", "ann@example.com"});
        form->Text4->setText("Hi");
        form->PushButton1_Click();
        QCOMPARE(local.texts(), texts);
        QCOMPARE(f.desktop.boxes.size(), boxes.size());
        for (int i = 0; i < boxes.size(); ++i)
            QVERIFY2(f.desktop.boxes[i].text.startsWith(boxes[i]),
                     qPrintable(f.desktop.boxes[i].text));
        QByteArray log; // each text's record says the route
        for (const QString& phone : logged)
            log += (records::logStamp(f.clock.time) + "\r\nTo: " + phone +
                    "\r\nBy: the computer's modem\r\nSubject:Hi\r\nBody:at noon\r\n\r\n\r\n")
                       .toLocal8Bit();
        QCOMPARE(readAll(f.programFolder() + "/sentmessages.log"), log);
        if (texts.isEmpty())
            return;
        QVERIFY(f.desktop.boxes.last().text.endsWith(
            "Why:\r\n+15551230002: the network did not answer in time"));
        QString keptAs;
        const auto kept = records::loadKeptSends(f.dataFolder() + "/kept-sends.tsv", &keptAs);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(kept[0].addresses, QStringList{"+15551230002"});
        QCOMPARE(keptOnModem(local.bus()), 0); // every message object deleted

        // What the network says afterwards, taken in as it comes, without a click: the report
        // of each text by its reference, a reply, a STOP, and strangers' texts left alone.
        const QString sent = records::logStamp(f.clock.time);
        f.clock.time = f.clock.time.addSecs(600);
        local.push("report +15551230001 1 0");
        local.push("report +15551230003 2 32");
        // A reply of eight parts: one reply with all its words, however its parts come.
        QString longReply = "Yes see you, but stop texting me at night";
        for (int i = 0; longReply.size() < 1190; ++i)
            longReply += QString(" and part %1 of what I have to say").arg(i);
        longReply.truncate(1190);
        local.push("incoming +15551230003 " + longReply);
        local.push("incoming +15559999999 Win a prize");
        local.push("incoming +15551230001 Stop");
        local.push("incoming +445551230003 STOP"); // another country's phone: not ours
        QTRY_COMPARE_WITH_TIMEOUT(keptOnModem(local.bus()), 2, 15000); // the strangers' texts
        const QString replied =
            records::logStamp(QDateTime(QDate(2026, 2, 1), QTime(12, 0), Qt::UTC).toLocalTime());
        const QString news =
            QString::fromLocal8Bit(readAll(f.programFolder() + "/sentmessages.log"));
        for (const QString& line :
             QStringList{"Delivered: +15551230001 (the network says the phone took it)\r\n",
                         "Reply from +15551230001 " + replied + ": Stop\r\n",
                         "Delayed: +15551230003 (the network is still trying)\r\n",
                         "Reply from +15551230003 " + replied + ": " + longReply + "\r\n"})
            QVERIFY2(news.count(line) == 1, qPrintable(news));
        QVERIFY(news.startsWith(QString::fromLocal8Bit(log)));
        QVERIFY(!news.contains("Win a prize"));
        // Each row's status beside it, and the list summed up.
        QStringList cells;
        for (int row = 0; row < 5; ++row)
            cells << form->ListView1->topLevelItem(row)->text(1);
        QCOMPARE(cells, QStringList({"asked not to be texted, " + replied,
                                     "not sent (the network did not answer in time), " + sent,
                                     "replied \u201c" + longReply.left(40) +
                                         "\u201d (may be asking not to be texted), " + replied,
                                     "asked not to be texted, " + replied, ""}));
        QCOMPARE(form->findChild<QLabel*>("lblStatus")->text(),
                 "4 phones: 1 delivered, 1 waiting, 1 not sent; 2 replied; 1 asked not to be "
                 "texted");
        QCOMPARE(unreachableControls(form), QStringList());
        // The STOP by text, taken in as it came, leaves that phone (both its rows) out of the
        // next send, named.
        QVERIFY(form->ListView1->topLevelItem(3)->toolTip(0).startsWith(
            "Asked not to be texted (STOP, " + replied));
        // A text of two parts, 4 parts a day allowed and 2 gone: one of the two phones left
        // goes now.
        f.settings.values.insert(modem_route::kPartsPerDaySetting, "4");
        form->Text5->setPlainText(QString(200, 'a'));
        f.desktop.boxes.clear();
        f.desktop.answers = {platform::Answer::No, platform::Answer::Yes}; // the kept text waits
        form->PushButton1_Click();
        QCOMPARE(f.desktop.boxTexts().filter("asked not").value(0).section("\r\n", 0, 0),
                 "1 phone asked not to be texted: 5551230001.");
        QCOMPARE(f.desktop.boxTexts().filter("In the last 24 hours").value(0),
                 "In the last 24 hours Parlivo sent 2 text parts through this computer's modem. "
                 "This send needs 4 text parts (2 phones, 2 each); you allow 4 text parts a day "
                 "(Modem Parts A Day in the settings file), as carriers block a line that sends "
                 "too many.\r\n\r\nSend to the first 1 phone now and keep the other 1 to send "
                 "later?\r\n\r\nYes sends what fits; No sends nothing.");
        QCOMPARE(local.texts().mid(texts.size()).value(0).section(' ', 0, 0), "+15551230002");
        QCOMPARE(local.texts().size(), texts.size() + 1);
        // The statuses survive a restart.
        FormFixture next;
        next.base = f.base;
        app::Form1& again = next.open();
        app::appendRows(again.ListView1, app::rowTexts(form->ListView1));
        QTRY_COMPARE(again.ListView1->topLevelItem(1)->text(1),
                     form->ListView1->topLevelItem(1)->text(1));
        QCOMPARE(again.ListView1->topLevelItem(2)->text(1),
                 form->ListView1->topLevelItem(2)->text(1));
        // Forgetting what was learned keeps whose STOP it was: another country's phone with
        // the same last ten digits is still texted.
        app::appendRows(form->ListView1, {"+44 555 123 0001"});
        form->forgetLearned(true);
        QCOMPARE(form->ListView1->topLevelItem(0)->text(1), "asked not to be texted, " + replied);
        QCOMPARE(form->ListView1->topLevelItem(5)->text(1), "");
    }

    // Twelve phones at 60 parts a minute: one text a second, the window answering throughout.
    void pace_spacesTheTextsAndTheWindowAnswers() {
        ModemWindow w({}, "60");
        auto& [local, textModem, f, form] = w;
        QVERIFY(local.started() && w.found());
        QStringList phones;
        for (int i = 0; i < 12; ++i)
            phones << QString::number(5551230100LL + i);
        app::appendRows(form->ListView1, phones);
        QStringList progress;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] {
            if (auto* window = form->findChild<QProgressDialog*>())
                if (progress.isEmpty() || progress.last() != window->labelText())
                    progress << window->labelText();
        });
        ticker.start(10);
        form->PushButton1_Click();
        ticker.stop();
        QCOMPARE(local.texts().size(), 12);
        QVERIFY2(progress.contains("Sent 1 of 12 texts (1 of 12 recipients); about 11 s left at "
                                   "this pace"),
                 qPrintable(progress.join('|')));
        // The window turned between every two texts.
        for (int sent = 2; sent < 12; ++sent)
            QVERIFY2(progress.indexOf(QRegularExpression(QString("Sent %1 of 12 .*").arg(sent))) >=
                         0,
                     qPrintable(progress.join('|')));
        QCOMPARE(f.desktop.boxTexts(), QStringList{"Done."});
    }

    // The modem taken away after the first of three texts: the other two are kept, and offered
    // again by the next "Send Message" once it is back.
    void modemGoneMidSend_keepsTheRest() {
        ModemWindow w({}, "60");
        auto& [local, textModem, f, form] = w;
        QVERIFY(local.started() && w.found());
        app::appendRows(form->ListView1, {"5551230001", "5551230002", "5551230003"});
        QTimer watch; // ModemManager stops once the first text went, in the pause after it
        connect(&watch, &QTimer::timeout, [&] {
            if (!local.texts().isEmpty() && watch.isActive()) {
                watch.stop();
                local.push("stop");
            }
        });
        watch.start(50);
        form->PushButton1_Click();
        QCOMPARE(local.texts(), QStringList{"+15551230001 report=1"});
        QCOMPARE(f.desktop.boxTexts().size(), 1);
        QVERIFY2(f.desktop.boxTexts()[0].startsWith(
                     "Sent to 1 phone in 1 of 3 texts; the log names them.\r\n\r\nNot sent to 2 "
                     "phones: +15551230002, +15551230003."),
                 qPrintable(f.desktop.boxTexts()[0]));
        QVERIFY(f.desktop.boxTexts()[0].contains("The modem went away before the text to "
                                                 "+15551230002 went."));
        QString keptAs;
        const auto kept = records::loadKeptSends(f.dataFolder() + "/kept-sends.tsv", &keptAs);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(kept[0].addresses, QStringList({"+15551230002", "+15551230003"}));
    }

    // A send through the modem killed after its third text and resumed at the next start: the
    // second refused on the way stays kept with the rest, every phone texted once, but for at
    // most the one text in flight, named uncertain.
    void killedMidSend_resumesWithEachPhoneOnce() {
        LocalModem local;
        QVERIFY(local.started());
        local.refuse("+15551230002");
        QTemporaryDir folder;
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PARLIVO_KILL_FOLDER", folder.path());
        environment.insert("PARLIVO_KILL_BUS", local.address());
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {"sendToBeKilled"});
        QVERIFY(child.waitForStarted());
        const auto pid = pid_t(child.processId()); // the child's own, kept while it runs
        QVERIFY(QTest::qWaitFor([&] { return local.texts().size() >= 3; }, 20000));
        QTest::qWait(int(testRandom().bounded(1000)));
        QVERIFY2(child.state() == QProcess::Running, "the send ended before it could be killed");
        ::kill(pid, SIGKILL);
        child.waitForFinished();

        modem::MmTextModem textModem(local.bus(), 5000);
        FormFixture f; // the next start
        f.base = folder.path();
        f.modem = &textModem;
        f.settings.values = {{core::settings::kRoute, "modem"}};
        const auto kept = records::loadKeptSends(f.dataFolder() + "/kept-sends.tsv", nullptr);
        QCOMPARE(kept.size(), 1);
        QVERIFY(kept[0].uncertain <= 1);
        QCOMPARE(kept[0].addresses.count("+15551230002"), 1);
        const qsizetype before = local.texts().size();
        f.desktop.answers = {platform::Answer::Yes};
        f.open(); // no login typed: the modem needs none
        QTRY_VERIFY_WITH_TIMEOUT(f.desktop.boxTexts().size() == 2, 20000);
        QVERIFY2(f.desktop.boxTexts().last().endsWith(
                     "Why:\r\n+15551230002: the network did not answer in time"),
                 qPrintable(f.desktop.boxTexts().last()));
        QStringList twice;
        for (int i = 1; i <= 5; ++i) {
            const QString text = QString("+1555123000%1 report=1").arg(i);
            QVERIFY2(local.texts().count(text) >= 1, qPrintable(local.texts().join('|')));
            if (local.texts().count(text) > 1 && i != 2)
                twice << text;
        }
        QVERIFY2(twice.size() <= kept[0].uncertain, qPrintable(twice.join('|')));
        QCOMPARE(local.texts().mid(before).count("+15551230002 report=1"), 1); // tried again
        QCOMPARE(
            records::loadKeptSends(f.dataFolder() + "/kept-sends.tsv", nullptr).value(0).addresses,
            QStringList{"+15551230002"});
    }
    void sendToBeKilled() {
        const QString folder = qEnvironmentVariable("PARLIVO_KILL_FOLDER");
        if (folder.isEmpty())
            QSKIP("the send that killedMidSend_resumesWithEachPhoneOnce kills");
        modem::MmTextModem textModem(
            QDBusConnection::connectToBus(qEnvironmentVariable("PARLIVO_KILL_BUS"), "killed"),
            5000);
        FormFixture f;
        f.base = folder;
        f.modem = &textModem;
        f.settings.values = {{core::settings::kRoute, "modem"},
                             {modem_route::kPartsPerMinuteSetting, "60"}};
        app::Form1& form = f.open();
        QVERIFY(QTest::qWaitFor([&] { return chosen(&form) == "modem"; }, 10000));
        app::appendRows(form.ListView1,
                        {"5551230001", "5551230002", "5551230003", "5551230004", "5551230005"});
        form.Text5->setPlainText("at noon");
        form.PushButton1_Click();
    }

    // The program as main wires it (ModemManager found on the system bus, the modem module
    // loaded from the program folder), in each state a user meets: every control shown inside
    // the window and uncovered; the route choice only while there is a choice.
    void routeChoice_asTheUserMeetsIt() {
        LocalModem local({"--no-modem"});
        QVERIFY(local.started());
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", local.address().toUtf8());
        QTemporaryDir folder;
        QDir().mkpath(folder.filePath("program"));
        QVERIFY(QFile::copy(qEnvironmentVariable("PARLIVO_PROGRAM_DIR") + "/libparlivo_modem.so",
                            folder.filePath("program/libparlivo_modem.so")));
        // A text kept for the modem by an earlier run: offered once the modem is here.
        QVERIFY(records::saveKeptSends(folder.filePath("data/kept-sends.tsv"),
                                       {{QDateTime(QDate(2026, 3, 14), QTime(8, 0), Qt::UTC),
                                         "",
                                         "at noon",
                                         {"+15551230001", "+15551230002"},
                                         0,
                                         "modem"}}));
        ScriptedDesktop desktop;
        MemorySettings settings;
        settings.values.insert(modem_route::kPartsPerMinuteSetting, "0");
        FixedClock clock;
        app::ProgramParts parts;
        parts.programFolder = folder.filePath("program");
        parts.dataFolder = folder.filePath("data");
        parts.desktop = &desktop;
        parts.settings = &settings;
        parts.clock = &clock;
        parts.onlineCheck = FormFixture().onlineCheck;
        parts.keyring = false;
        app::Program program(parts);
        app::Form1& form = program.window();
        QStringList whileAsked; // what could not be reached while a box asked
        desktop.whileBoxShown = [&](const ScriptedDesktop::Box&) {
            whileAsked += unreachableControls(&form);
            whileAsked << chosen(&form);
        };
        desktop.answers = {platform::Answer::Yes};
        program.start();
        // Shown at its final size with nothing loaded yet, the notice clear of it; the routes
        // are looked for once it painted.
        QCOMPARE(mappedModules(), QStringList());
        const QSize withRoutes(1064, 487); // the route choice: e-mail, and the phone to set up
        QCOMPARE(form.size(), withRoutes);
        QVERIFY(!form.notice()->frameGeometry().intersects(form.frameGeometry()));
        QTRY_COMPARE(mappedModules(), QStringList({"libparlivo_modem.so"}));
        QCOMPARE(chosen(&form), "email"); // no modem: not offered, its kept text not either
        QCOMPARE(form.cboRoute->count(), 2);
        QCOMPARE(unreachableControls(&form), QStringList());
        QVERIFY(desktop.boxes.isEmpty());
        QVERIFY(form.Frame5->isEnabled() && form.ListView2->isEnabled());

        local.push("attach"); // plugged in while the program runs: offered, and its kept text
        QTRY_COMPARE_WITH_TIMEOUT(desktop.boxTexts().size(), 2, 15000);
        QCOMPARE(form.size(), withRoutes);
        QCOMPARE(unreachableControls(&form), QStringList());
        QCOMPARE(whileAsked, QStringList({"email", "email"})); // the offer, then "Done."
        QVERIFY(desktop.boxTexts()[0].startsWith("A text kept on "));
        QCOMPARE(desktop.boxTexts()[1], "Done.");
        QCOMPARE(local.texts(), QStringList({"+15551230001 report=1", "+15551230002 report=1"}));
        QCOMPARE(form.cboRoute->itemText(1), "Texts through this computer's modem (Test Scripted)");

        form.cboRoute->setFocus(); // the user chooses the modem, and it is kept
        QTest::keyClick(form.cboRoute, Qt::Key_Down);
        QCOMPARE(chosen(&form), "modem");
        QCOMPARE(settings.values.value(core::settings::kRoute), "modem");
        // What only e-mail sends with says so.
        QVERIFY(!form.Frame5->isEnabled() && !form.ListView2->isEnabled());
        QVERIFY(!form.pushButton(12)->isEnabled() && form.pushButton(5)->isEnabled());
        QCOMPARE(form.Frame5->toolTip(),
                 "Used only when texts go by e-mail; \"Send by\" chooses how they go.");

        local.push("stop"); // gone: still chosen, named as not found, and Send Message says so
        QTRY_COMPARE_WITH_TIMEOUT(form.cboRoute->currentText(),
                                  "Texts through this computer's modem (not found)", 10000);
        QCOMPARE(chosen(&form), "modem");
        QCOMPARE(form.size(), withRoutes);
        QCOMPARE(unreachableControls(&form), QStringList());
        app::appendRows(form.ListView1, {"5551230003"});
        form.Text5->setPlainText("see you");
        form.PushButton1_Click();
        QCOMPARE(desktop.boxTexts().last(),
                 "Nothing was sent. ModemManager, the system service that runs the modem, does "
                 "not answer. Start it (or choose e-mail under \"Send by\").");
        QCOMPARE(form.Text5->toPlainText(), "see you"); // the text stays in the window
        QCOMPARE(settings.values.value(core::settings::kRoute), "modem");
    }
};

QTEST_MAIN(TestModemRoute)
#include "test_modem_route.moc"
