// The password box's text kept in the desktop's keyring, through the real window, the real
// settings file and the keyring helper, each case in a private D-Bus session of its own
// (tests/support/keyring_session.py) that the helper reaches through the environment.
#include "app/list_views.h"
#include "form_fixture.h"
#include "platform/helper_keyring.h"
#include "platform/qsettings_store.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <sys/stat.h>

namespace {
// The real keyring, with its writes and its answers to reads counted.
class CountedKeyring final : public platform::Keyring {
  public:
    void read(const QString& account, Reply reply) override {
        real.read(account, [this, reply](Answer answer, const QString& secret) {
            ++readsAnswered;
            reply(answer, secret);
        });
    }
    void write(const QString& account, const QString& secret, Reply reply) override {
        ++writes;
        real.write(account, secret, reply);
    }
    void remove(const QString& account, Reply reply) override { real.remove(account, reply); }
    platform::HelperKeyring real{qEnvironmentVariable("PARLIVO_PROGRAM_DIR") + "/parlivo-keyring",
                                 QStringLiteral("Parlivo")};
    int writes = 0;
    int readsAnswered = 0;
};

const QString kToldPrefix = QStringLiteral("No keyring of this desktop answered");

// A private session bus with a Secret Service unlocked, absent or stalled, for as long as it
// lives; the keyring helper started meanwhile finds it through the environment.
class KeyringSession {
  public:
    explicit KeyringSession(const char* mode) {
        script_.start("/usr/bin/python3", {qEnvironmentVariable("PARLIVO_SOURCE_DIR") +
                                               "/tests/support/keyring_session.py",
                                           QLatin1String(mode)});
        while (address_.isEmpty() && script_.waitForReadyRead(15000))
            if (const QByteArray line = script_.readLine().trimmed(); line.startsWith("BUS "))
                address_ = line.mid(4);
        qputenv("DBUS_SESSION_BUS_ADDRESS", address_);
    }
    ~KeyringSession() {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        script_.closeWriteChannel();
        script_.waitForFinished(10000);
    }
    bool ready() const { return !address_.isEmpty(); }

  private:
    QProcess script_;
    QByteArray address_;
};
} // namespace

class TestStoredPassword : public QObject {
    Q_OBJECT
    QTemporaryDir home;
    CountedKeyring keyring;

    std::unique_ptr<KeyringSession> session;

    QString ini() const { return home.filePath("Quorvane.ini"); }
    bool startSession(const char* mode) {
        session = std::make_unique<KeyringSession>(mode);
        return session->ready();
    }
    void writeIni(const QByteArray& bytes) {
        QFile file(ini());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray iniBytes() const {
        QFile file(ini());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // One run of the program on the same settings file and keyring, its window loaded.
    struct Run {
        Run(TestStoredPassword& test) : store(test.ini(), "Parlivo") {
            f.settingsStore = &store;
            f.keyring = &test.keyring;
            f.settingsFile = test.ini();
            form = &f.open();
        }
        QLineEdit* box() const { return form->Text2; }
        platform::QSettingsStore store;
        FormFixture f;
        app::Form1* form;
    };

  private slots:
    void init() { // each case from a fresh settings file
        QFile::remove(ini());
        keyring.writes = 0;
    }
    void cleanup() { session.reset(); }

    void typedPassword_comesBackFromTheKeyringAndNeverReachesTheFile() {
        QVERIFY(startSession("unlocked"));
        {
            Run first(*this);
            QTest::keyClicks(first.box(), "abcd efgh ijkl mnop");
            first.form->close(); // the last change lands before the program ends
        }
        QVERIFY2(keyring.writes <= 2, "each keystroke was written on its own");
        QVERIFY(!iniBytes().contains("Password") && !iniBytes().contains("abcd"));
        Run second(*this);
        QTRY_COMPARE(second.box()->text(), QStringLiteral("abcd efgh ijkl mnop"));
        QVERIFY(second.f.desktop.boxes.isEmpty());
        second.form->Text3->setText("ann"); // a new user name takes the password along
        second.form->close();
        Run third(*this);
        QTRY_COMPARE(third.box()->text(), QStringLiteral("abcd efgh ijkl mnop"));
        third.box()->clear(); // an emptied box leaves nothing behind
        third.form->close();
        const int answered = keyring.readsAnswered;
        Run fourth(*this);
        QTRY_VERIFY(keyring.readsAnswered > answered); // the keyring's answer is in
        QCOMPARE(fourth.box()->text(), QString());
    }

    void oldSettingsFile_movesIntoTheKeyringOnce() {
        QVERIFY(startSession("unlocked"));
        writeIni("[Parlivo]\nUser=ann\nPassword=old secret\n");
        {
            Run first(*this);
            QTRY_COMPARE(first.box()->text(), QStringLiteral("old secret"));
            QTRY_VERIFY(!iniBytes().contains("Password"));
            QVERIFY(iniBytes().contains("User=ann"));
        }
        Run second(*this);
        QTRY_COMPARE(second.box()->text(), QStringLiteral("old secret"));
        QVERIFY(second.f.desktop.boxes.isEmpty());
    }

    void noSecretService_keepsThePasswordInTheFileAndTellsOnce() {
        QVERIFY(startSession("none"));
        {
            const int answered = keyring.readsAnswered;
            Run first(*this);
            // The keyring's answer is in: nothing to tell of an empty box.
            QTRY_VERIFY_WITH_TIMEOUT(keyring.readsAnswered > answered, 10000);
            QVERIFY(first.f.desktop.boxes.isEmpty());
            QTest::keyClicks(first.box(), "pw");
            QVERIFY(iniBytes().contains("Password=pw\n")); // written at once, as before
            QVERIFY(first.f.desktop.boxes.isEmpty());      // never over the typing
            first.form->close();
            QCOMPARE(first.f.desktop.boxTexts(),
                     QStringList{kToldPrefix +
                                 " (no Secret Service is running, or the keyring stayed "
                                 "locked), so Parlivo keeps your password in its settings "
                                 "file, " +
                                 ini() +
                                 ", which only you can read.\r\n\r\nOnce a keyring answers, "
                                 "Parlivo moves the password into it and out of the file."});
        }
        struct stat info {};
        QCOMPARE(stat(QFile::encodeName(ini()).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
        Run second(*this);
        QTRY_COMPARE(second.box()->text(), QStringLiteral("pw"));
        second.form->close();
        QVERIFY(second.f.desktop.boxes.isEmpty()); // told once
    }

    // A bare X session with no session bus set: the helper starts no bus of its own (nor a
    // keyring that would ask for a new keyring's password) and says no keyring answered.
    void noSessionBus_startsNoBusOfItsOwn() {
        QTemporaryDir dir;
        QProcess display;
        display.start("Xvfb", {":97", "-nolisten", "tcp"});
        QTRY_VERIFY(QFile::exists("/tmp/.X11-unix/X97"));
        QProcessEnvironment bare;
        for (const char* name : {"HOME", "XDG_RUNTIME_DIR"})
            bare.insert(name, dir.path());
        bare.insert("DISPLAY", ":97");
        bare.insert("PATH", "/usr/bin:/bin");
        QProcess helper;
        helper.setProcessEnvironment(bare);
        helper.start(qEnvironmentVariable("PARLIVO_PROGRAM_DIR") + "/parlivo-keyring",
                     {"read", "Parlivo", "ann"});
        QVERIFY(helper.waitForFinished(10000));
        display.terminate();
        display.waitForFinished();
        QCOMPARE(helper.exitCode(), 3);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

    void silentKeyring_neverFreezesTheWindowNorLosesThePassword() {
        QVERIFY(startSession("stalled"));
        writeIni("[Parlivo]\nUser=ann\nPassword=kept\n");
        Run run(*this);
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(50);
        app::appendRows(run.form->ListView1, {"5555550100"});
        app::appendCarrier(run.form->ListView2, "a.example", true);
        run.form->PushButton1_Click(); // a send started at once waits for the keyring's time
        QVERIFY2(ticks > 50, "the window stopped while waiting for the keyring");
        QCOMPARE(run.f.mail.sent.size(), 1);
        QCOMPARE(run.f.mail.sent[0].password, QStringLiteral("kept"));
        QCOMPARE(run.box()->text(), QStringLiteral("kept"));
        QTest::keyClicks(run.box(), "!");
        QVERIFY(iniBytes().contains("Password=kept!\n"));
        QVERIFY(run.f.desktop.boxTexts().filter(kToldPrefix).isEmpty());
        run.form->close();
        QVERIFY(run.f.desktop.boxTexts().last().startsWith(kToldPrefix));
    }
};

QTEST_MAIN(TestStoredPassword)
#include "test_stored_password.moc"
