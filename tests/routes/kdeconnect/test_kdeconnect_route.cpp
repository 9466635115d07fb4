// Texts through a phone paired by KDE Connect or GSConnect, through the program as main wires
// it: Debian's kdeconnectd paired with scripted phones (tests/support/kdeconnect_phone.py), or
// a stand-in of the daemon's bus interfaces (tests/support/paired_phone_session.py), the paired
// phones' module loaded from the program folder once the window painted.
#include "app/list_views.h"
#include "app/program.h"
#include "core/settings.h"
#include "form_fixture.h"
#include "local_paired_phones.h"
#include "records/kept_file.h"
#include "records/sent_log.h"
#include "routes/kdeconnect/device/lazy_paired_phones.h"
#include "routes/kdeconnect/paired_texts.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTest>
#include <QTreeWidget>
#include <csignal>

namespace {
QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The program in `folder` (its modules beside it, as installed), started; the data folder kept
// between starts.
struct PairedProgram {
    explicit PairedProgram(const QString& folder, QMap<QString, QString> settingsValues = {},
                           QList<platform::Answer> answers = {}) {
        desktop.answers = std::move(answers);
        QDir().mkpath(folder + "/program");
        QFile::copy(qEnvironmentVariable("PARLIVO_PROGRAM_DIR") + "/libparlivo_kdeconnect.so",
                    folder + "/program/libparlivo_kdeconnect.so");
        settings.values = std::move(settingsValues);
        settings.values.insert(
            kdeconnect_route::kPartsPerMinuteSetting,
            settings.values.value(kdeconnect_route::kPartsPerMinuteSetting, "0"));
        parts.programFolder = folder + "/program";
        parts.dataFolder = folder + "/data";
        parts.desktop = &desktop;
        parts.settings = &settings;
        parts.clock = &clock;
        parts.onlineCheck = FormFixture().onlineCheck;
        parts.keyring = false;
        program = std::make_unique<app::Program>(parts);
        program->start();
    }
    app::Form1& form() { return program->window(); }
    QStringList offered() {
        QStringList labels;
        for (int i = 0; i < form().cboRoute->count(); ++i)
            labels << form().cboRoute->itemText(i);
        return labels;
    }
    QString cell(int row) { return form().ListView1->topLevelItem(row)->text(1); }
    ScriptedDesktop desktop;
    MemorySettings settings;
    FixedClock clock;
    app::ProgramParts parts;
    std::unique_ptr<app::Program> program;
};

const QString kPixel = "Texts through Pixel 7 (KDE Connect)";

bool realDaemonRuns() {
    return QFile::exists("/usr/lib/x86_64-linux-gnu/libexec/kdeconnectd") &&
           QProcess::execute("unshare", {"-rnpf", "true"}) == 0;
}
} // namespace

class TestKdeConnectRoute : public QObject {
    Q_OBJECT
  private slots:
    // Two paired phones, one entry each; through the one chosen, one call a phone; then what
    // its conversations show, taken in as it comes; then the phone out of reach, still named.
    void pairedPhone_asTheUserMeetsIt_data() {
        QTest::addColumn<QStringList>("daemon");
        QTest::newRow("stand-in") << QStringList();
        // Debian's kdeconnectd paired with phones that speak its protocol, in a network
        // namespace of their own (tests/support/kdeconnect_phone.py).
        QTest::newRow("real daemon") << QStringList{"--real"};
    }
    void pairedPhone_asTheUserMeetsIt() {
        QFETCH(QStringList, daemon);
        if (!daemon.isEmpty() && !realDaemonRuns())
            QSKIP("kdeconnect is not installed, or no network namespace of its own to be had");
        LocalPairedPhones phones(
            daemon + QStringList{"--phone", "a1b2_c3=Pixel 7", "--phone", "d4e5=Moto G"});
        QVERIFY(phones.started());
        QTemporaryDir folder;
        PairedProgram p(folder.path());
        // Nothing of it loaded until the window painted.
        const auto loaded = [] {
            return readAll("/proc/self/maps").contains("libparlivo_kdeconnect");
        };
        QVERIFY(!loaded() || !daemon.isEmpty()); // the row before loaded it into this process
        QTRY_COMPARE(p.offered().mid(1, 2),
                     QStringList({kPixel, "Texts through Moto G (KDE Connect)"}));
        QVERIFY(loaded());
        p.form().cboRoute->setFocus(); // chosen as a user chooses, and kept
        QTest::keyClick(p.form().cboRoute, Qt::Key_Down);
        QCOMPARE(p.settings.values.value(core::settings::kRoute), "kdeconnect:a1b2_c3");
        QCOMPARE(unreachableControls(&p.form()), QStringList());

        app::appendRows(p.form().ListView1,
                        {"555-123-0001", "+44 20 7946 0018", "(555) 123-0003", "ann@example.com"});
        p.form().Text4->setText("Hi");
        p.form().Text5->setPlainText("at noon");
        p.form().PushButton1_Click();
        QCOMPARE(p.desktop.boxTexts(),
                 QStringList({"Your phone texts phone numbers only; these rows are left out of "
                              "this send: ann@example.com. Choose e-mail under \"Send by\" to "
                              "send to them by e-mail.",
                              "Done."}));
        QCOMPARE(phones.handed(), QStringList({R"(SMS a1b2_c3 ["+15551230001"] "Hi\nat noon")",
                                               R"(SMS a1b2_c3 ["+442079460018"] "Hi\nat noon")",
                                               R"(SMS a1b2_c3 ["+15551230003"] "Hi\nat noon")"}));
        QByteArray log;
        for (const char* phone : {"+15551230001", "+442079460018", "+15551230003"})
            log += (records::logStamp(p.clock.time) + "\r\nTo: " + phone +
                    "\r\nBy: your phone Pixel 7 through KDE Connect\r\nSubject:Hi\r\nBody:at "
                    "noon\r\n\r\n\r\n")
                       .toLocal8Bit();
        QVERIFY(readAll(p.parts.programFolder + "/sentmessages.log").startsWith(log));
        // The phone's own word that it sent each, as its conversations showed it.
        QTRY_VERIFY(p.cell(2).startsWith("sent by Pixel 7, "));

        phones.push("receive a1b2_c3 +15551230001 Stop");
        phones.push("receive a1b2_c3 +15559999999 Win a prize");
        phones.push("receive a1b2_c3 +442079460018,+15559999999 Stop"); // a group's: not ours
        phones.push("receive a1b2_c3 +442079460018 See you there");
        phones.push("fail a1b2_c3 +15551230003");
        QTRY_VERIFY(p.cell(0).startsWith("asked not to be texted, "));
        QTRY_VERIFY(p.cell(2).startsWith("not delivered (your phone could not send it), "));
        QVERIFY(p.cell(1).startsWith("replied \u201cSee you there\u201d, "));
        const QString news =
            QString::fromLocal8Bit(readAll(p.parts.programFolder + "/sentmessages.log"));
        QCOMPARE(news.count(QRegularExpression("Reply from \\+15551230001 [^\r]*: Stop\r\n")), 1);
        QCOMPARE(news.count("Not sent: +15551230003 (your phone Pixel 7 could not send it)"), 1);
        QVERIFY(!news.contains("Win a prize"));

        phones.push("reach a1b2_c3 0"); // away: still chosen and named, the text kept
        QTRY_COMPARE(p.form().cboRoute->currentText(),
                     "Texts through Pixel 7 (KDE Connect, not reachable)");
        QCOMPARE(unreachableControls(&p.form()), QStringList());
        p.form().Text5->setPlainText("later");
        p.form().PushButton1_Click();
        QCOMPARE(p.desktop.boxTexts().last(),
                 "Nothing was sent. Your phone \"Pixel 7\" is not reachable: is it on the same "
                 "network, with KDE Connect open?");
        QCOMPARE(p.form().Text5->toPlainText(), "later");
        QCOMPARE(phones.handed().size(), 3);
        phones.push("reach a1b2_c3 1"); // back: offered as before
        QTRY_COMPARE(p.form().cboRoute->currentText(), kPixel);
    }

    // GSConnect's service, and KDE Connect's daemons before 20.12: one number a call, the text
    // handed over and said so.
    void otherServices_oneNumberACall_data() {
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("route");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("call");
        QTest::newRow("GSConnect") << "--gsconnect"
                                   << "gsconnect:7f3a"
                                   << "Texts through Pixel 7 (GSConnect)"
                                   << R"(ACTION 7f3a sendSms [["%1", "at noon"]])";
        QTest::newRow("KDE Connect 20.08")
            << "--old-daemon"
            << "kdeconnect:7f3a" << kPixel << R"(SMS 7f3a ["%1"] "at noon")";
    }
    void otherServices_oneNumberACall() {
        QFETCH(QString, service);
        QFETCH(QString, route);
        QFETCH(QString, label);
        QFETCH(QString, call);
        LocalPairedPhones phones({service, "--phone", "7f3a=Pixel 7"});
        QTemporaryDir folder;
        PairedProgram p(folder.path(), {{core::settings::kRoute, route}});
        QTRY_COMPARE(p.form().cboRoute->currentText(), label);
        app::appendRows(p.form().ListView1, {"5551230001", "5551230002"});
        p.form().Text5->setPlainText("at noon");
        p.form().PushButton1_Click();
        QCOMPARE(p.desktop.boxTexts(), QStringList{"Done."});
        QCOMPARE(phones.handed(),
                 QStringList({call.arg("+15551230001"), call.arg("+15551230002")}));
        QCOMPARE(p.cell(1), "handed to Pixel 7, " + records::logStamp(p.clock.time));
    }

    // The service leaves the bus midway: what went is logged, the rest kept and said so; a send
    // killed midway resumes at the next start, each phone texted once but for the one in flight.
    void goneOrKilledMidSend_keepsTheRest() {
        LocalPairedPhones phones({"--phone", "a1b2_c3=Pixel 7"});
        phones.push("vanish-after 2");
        QTemporaryDir folder;
        {
            PairedProgram p(folder.path(), {{core::settings::kRoute, "kdeconnect:a1b2_c3"}});
            QTRY_COMPARE(p.form().cboRoute->currentText(), kPixel);
            app::appendRows(p.form().ListView1,
                            {"5551230001", "5551230002", "5551230003", "5551230004"});
            p.form().Text5->setPlainText("at noon");
            phones.push("refuse +15551230002"); // one text refused, the next ones go on
            p.form().PushButton1_Click();
            QCOMPARE(phones.handed().size(), 2);
            const QString box = p.desktop.boxTexts().value(0);
            QVERIFY2(box.startsWith("Sent to 2 phones in 2 of 4 texts; the log names them.\r\n\r\n"
                                    "Not sent to 2 phones: +15551230004, +15551230002.") &&
                         box.contains("+15551230002: the phone refused it") &&
                         box.contains("The text to +15551230004 did not go. Your phone \"Pixel "
                                      "7\" could not be reached: KDE Connect went away. The rest "
                                      "is kept."),
                     qPrintable(box));
            QCOMPARE(records::loadKeptSends(folder.filePath("data/kept-sends.tsv"), nullptr)
                         .value(0)
                         .addresses,
                     QStringList({"+15551230004", "+15551230002"}));
            // Gone: still chosen and named, and Send Message says what to do.
            QTRY_COMPARE(p.form().cboRoute->currentText(),
                         "Texts through Pixel 7 (KDE Connect, not reachable)");
            p.form().PushButton1_Click();
            QCOMPARE(p.desktop.boxTexts().last(),
                     "Nothing was sent. Your phone \"Pixel 7\" is not paired with this computer "
                     "through KDE Connect, or KDE Connect does not run. Start KDE Connect and pair "
                     "the phone, or choose another route under \"Send by\".");
            // The next start with no daemon still names the phone chosen; KDE Connect started
            // afterwards is found without a restart.
            LocalPairedPhones session({"--start-later", "--phone", "a1b2_c3=Pixel 7"});
            QTemporaryDir elsewhere;
            PairedProgram later(elsewhere.path(), p.settings.values);
            QTRY_COMPARE(later.form().cboRoute->currentText(),
                         "Texts through Pixel 7 (KDE Connect, not reachable)");
            session.push("start");
            QTRY_COMPARE_WITH_TIMEOUT(later.form().cboRoute->currentText(), kPixel,
                                      paired::LazyPairedPhones::lookEveryMs + 10000);
        }
        QFile::remove(folder.filePath("data/kept-sends.tsv"));
        LocalPairedPhones again({"--phone", "a1b2_c3=Pixel 7"}); // started anew, the send killed
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PARLIVO_KILL_FOLDER", folder.path());
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {"sendToBeKilled"});
        QVERIFY(QTest::qWaitFor([&] { return again.handed().size() >= 3; }, 30000));
        QTest::qWait(int(testRandom().bounded(1000)));
        QVERIFY2(child.state() == QProcess::Running, "the send ended before it could be killed");
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished();
        const auto kept = records::loadKeptSends(folder.filePath("data/kept-sends.tsv"), nullptr);
        PairedProgram next(folder.path(), {{core::settings::kRoute, "kdeconnect:a1b2_c3"}},
                           {platform::Answer::Yes});
        QTRY_COMPARE_WITH_TIMEOUT(next.desktop.boxTexts().size(), 2, 20000);
        QCOMPARE(next.desktop.boxTexts().last(), "Done.");
        QStringList twice;
        for (int i = 1; i <= 5; ++i) {
            const QString line = QString(R"(SMS a1b2_c3 ["+1555123100%1"] "at noon")").arg(i);
            QVERIFY2(again.handed().count(line) >= 1, qPrintable(again.handed().join('|')));
            if (again.handed().count(line) > 1)
                twice << line;
        }
        QVERIFY2(twice.size() <= kept.value(0).uncertain, qPrintable(twice.join('|')));
    }
    void sendToBeKilled() {
        const QString folder = qEnvironmentVariable("PARLIVO_KILL_FOLDER");
        if (folder.isEmpty())
            QSKIP("the send that goneOrKilledMidSend_keepsTheRest kills");
        PairedProgram p(folder, {{core::settings::kRoute, "kdeconnect:a1b2_c3"},
                                 {kdeconnect_route::kPartsPerMinuteSetting, "60"}});
        QVERIFY(QTest::qWaitFor([&] { return p.form().cboRoute->currentText() == kPixel; }, 10000));
        app::appendRows(p.form().ListView1,
                        {"5551231001", "5551231002", "5551231003", "5551231004", "5551231005"});
        p.form().Text5->setPlainText("at noon");
        p.form().PushButton1_Click();
    }
};

QTEST_MAIN(TestKdeConnectRoute)
#include "test_kdeconnect_route.moc"
