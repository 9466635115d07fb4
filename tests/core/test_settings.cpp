#include "core/error_report.h"
#include "core/settings.h"
#include "platform/qsettings_store.h"

#include "test_files.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {
unsigned modeOf(const QString& path) {
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}
QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

using namespace core::settings;

class TestSettings : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("Quorvane.ini")); }

  private slots:
    void init() { QFile::remove(path()); }

    void carrierStrings_haveOneCaretPerRowAndNoEscaping() {
        const QList<CarrierRow> rows{{"a", true}, {"b", false}, {"c^d", true}};
        QCOMPARE(carrierListString(rows), QStringLiteral("a^b^c^d^"));
        QCOMPARE(tickListString(rows), QStringLiteral("True^False^True^"));
        QCOMPARE(carrierListString({}), QString());
        QCOMPARE(tickListString({{"x", false}}), QStringLiteral("False^"));
    }

    void storedPieces_splitAtEveryCaret() {
        QCOMPARE(storedPieces(QString()), QStringList());
        QCOMPARE(storedPieces(QStringLiteral("x")), QStringList({"x"}));
        QCOMPARE(storedPieces(QStringLiteral("a^^b^")), QStringList({"a", "", "b", ""}));
    }

    void tickFromText_readsWordsAndNumbers() {
        QVERIFY(tickFromText(QStringLiteral("True")));
        QVERIFY(tickFromText(QStringLiteral("true")));
        QVERIFY(!tickFromText(QStringLiteral("False")));
        QVERIFY(tickFromText(QStringLiteral("-1")));
        QVERIFY(tickFromText(QStringLiteral("2.5")));
        QVERIFY(!tickFromText(QStringLiteral("0")));
        for (const char* bad : {"yes", "", "1x"}) {
            try {
                tickFromText(QString::fromLatin1(bad));
                QFAIL(bad);
            } catch (const core::Failure& failure) {
                QCOMPARE(failure.number(), core::failure_number::TypeMismatch);
            }
        }
    }

    void store_roundTripsAndKeepsBlanks() {
        platform::QSettingsStore(path(), kSection).write(kUser, QStringLiteral("  ann  "));
        platform::QSettingsStore(path(), kSection).write(kCarriers, QStringLiteral("a,b^c^"));
        QCOMPARE(descriptorsOn(path()), 0); // nothing left open
        platform::QSettingsStore again(path(), kSection);
        QCOMPARE(again.read(kUser, QString()), QStringLiteral("  ann  "));
        QCOMPARE(again.read(kCarriers, QString()), QStringLiteral("a,b^c^"));
        QCOMPARE(again.read(kPassword, QStringLiteral("fallback")), QStringLiteral("fallback"));
        QFile file(path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QCOMPARE(text, QByteArray("[Parlivo]\nCarriers=\"a,b^c^\"\nUser=\"  ann  \"\n"));
    }

    void store_isOwnerOnlyFromTheFirstWrite() {
        platform::QSettingsStore store(path(), kSection);
        store.write(kPassword, QStringLiteral("secret"));
        const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther |
                            QFile::WriteOther | QFile::ExeOwner;
        QVERIFY((QFile::permissions(path()) & others) == 0);
        QVERIFY(QFile::permissions(path()) & QFile::ReadOwner);
        store.write(kUser, QStringLiteral("ann"));
        QVERIFY((QFile::permissions(path()) & (QFile::ReadGroup | QFile::ReadOther)) == 0);
    }

    void store_tightensAFileOthersCouldRead() {
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Parlivo]\nUser=ann\n");
        file.close();
        QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        platform::QSettingsStore(path(), kSection).write(kPassword, QStringLiteral("x"));
        QVERIFY((QFile::permissions(path()) & QFile::ReadOther) == 0);
    }

    void store_underAnOpenUmask_makesPrivateFoldersAndFile() {
        const mode_t before = ::umask(0);
        const QString nested = dir.filePath("config/sub/Quorvane.ini");
        const bool written = platform::QSettingsStore(nested, kSection).write(kUser, "ann");
        ::umask(before);
        QVERIFY(written);
        for (const char* folder : {"config", "config/sub"})
            QCOMPARE(modeOf(dir.filePath(folder)), 0700u);
        QCOMPARE(modeOf(nested), 0600u);
    }

    void store_neverWritesThroughALinkOrIntoAnotherUsersFile() {
        const QString victim = dir.filePath("victim.ini");
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Parlivo]\nUser=victim\n");
        file.close();
        QVERIFY(QFile::link(victim, path()));
        platform::QSettingsStore linked(path(), kSection);
        QCOMPARE(linked.read(kUser, "none"), QStringLiteral("none"));
        QVERIFY(!linked.write(kPassword, "secret"));
        QVERIFY(linked.writeProblem().contains(path()));
        QVERIFY(!readFile(victim).contains("secret"));
        QFile::remove(path());
        if (::chown(QFile::encodeName(victim).constData(), 65534, 65534) == 0) { // as root
            platform::QSettingsStore others(victim, kSection);
            QVERIFY(!others.write(kPassword, "secret"));
            QVERIFY(others.writeProblem().contains("another user"));
            QVERIFY(!readFile(victim).contains("secret"));
        }
    }

    void store_saysWhyAWriteFailed() {
        QFile blocker(dir.filePath("not-a-folder"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString inside = blocker.fileName() + "/Quorvane.ini";
        platform::QSettingsStore store(inside, kSection);
        QVERIFY(!store.write(kUser, "ann"));
        QVERIFY(store.writeProblem().startsWith("The settings could not be saved to " + inside));
    }

    void damagedFile_readsAsEmptyWithoutCrashing_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("binary garbage")
            << QByteArray("\x00\xff\xfe[Parl\x01ivo]\nUser\x00=\xc3\x28", 20);
        QTest::newRow("serialised variant")
            << QByteArray("[Parlivo]\nUser=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x10)\n");
        // A text that Qt would decode and hand over as if it were stored plainly.
        QTest::newRow("serialised text") << QByteArray(
            "[Parlivo]\nUser=@Variant(\\0\\0\\0\\n\\0\\0\\0\\n\\0h\\0e\\0l\\0l\\0o)\n");
        QTest::newRow("serialised text in quotes") << QByteArray(
            "[Parlivo]\nUser=\"@Variant(\\0\\0\\0\\n\\0\\0\\0\\n\\0h\\0e\\0l\\0l\\0o)\"\n");
        // A byte array with a crafted length of almost 2 GB.
        QTest::newRow("variant asking for gigabytes")
            << QByteArray("[Parlivo]\nUser=\"@Variant(\\0\\0\\0\\f\\x7f\\xff\\xff\\0)\"\n");
        QTest::newRow("huge value") << "[Parlivo]\nUser=" + QByteArray(5 * 1024 * 1024, 'x') + "\n";
    }
    void damagedFile_readsAsEmptyWithoutCrashing() {
        QFETCH(QByteArray, content);
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        platform::QSettingsStore store(path(), kSection);
        QCOMPARE(store.read(kUser, QString()), QString());
        store.write(kPassword, QStringLiteral("still writable"));
        QCOMPARE(platform::QSettingsStore(path(), kSection).read(kPassword, QString()),
                 QStringLiteral("still writable"));
    }

    void handWrittenCommas_readAsOneText() {
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Parlivo]\nCarriers=a, b^\n");
        file.close();
        QCOMPARE(platform::QSettingsStore(path(), kSection).read(kCarriers, QString()),
                 QStringLiteral("a, b^"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
