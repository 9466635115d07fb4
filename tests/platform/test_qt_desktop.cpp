// The Qt side of the desktop, its boxes answered from a timer as a person would.
#include "platform/cursor_file.h"
#include "platform/qt_desktop.h"
#include "test_files.h"

#include <QApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

namespace {
void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

// Runs `answer` on the modal dialog as soon as it is up. Should the dialog, or a box it
// opened, still be up after 3000 polls (a minute or more), it is closed so that the test fails
// instead of hanging.
template <typename Dialog> void whenShown(std::function<void(Dialog*)> answer) {
    auto* timer = new QTimer;
    auto ticks = std::make_shared<int>(0);
    auto answered = std::make_shared<bool>(false);
    QObject::connect(timer, &QTimer::timeout, [timer, answer, ticks, answered] {
        if (++*ticks > 3000) {
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (qobject_cast<Dialog*>(widget) && widget->isVisible())
                    widget->close();
            timer->stop();
            timer->deleteLater();
            return;
        }
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<Dialog*>(widget);
            if (!dialog || !dialog->isVisible())
                continue;
            if (!*answered) {
                *answered = true;
                answer(dialog);
            }
            return;
        }
        if (*answered) { // the dialog is gone: done
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(20);
}
} // namespace

class TestQtDesktop : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        // The desktop's own dialogs cannot be answered from here; Qt's can.
        QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    }

    void fileDialog_returnsTheChosenPathsOrNoneOnCancel() {
        platform::QtDesktop desktop;
        QTemporaryDir dir;
        for (const char* name : {"a.txt", "b.txt"}) {
            QFile file(dir.filePath(QLatin1String(name)));
            file.open(QIODevice::WriteOnly);
        }
        QString title;
        bool multiple = false;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            title = dialog->windowTitle();
            multiple = dialog->fileMode() == QFileDialog::ExistingFiles;
            dialog->setDirectory(dir.path());
            // Typed as a person would: the dialog reads the names from its line edit, not
            // from its file list, which fills in the background.
            auto* names = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            names->setText(QStringLiteral("\"a.txt\" \"b.txt\""));
            static_cast<QDialog*>(dialog)->accept();
        });
        const QStringList chosen =
            desktop.openFileNames("Load List(s) - Hold Ctrl to select multiple list files",
                                  "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|");
        QCOMPARE(title, QStringLiteral("Load List(s) - Hold Ctrl to select multiple list files"));
        QVERIFY(multiple);
        QCOMPARE(chosen, QStringList({dir.filePath("a.txt"), dir.filePath("b.txt")}));
        whenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
        QCOMPARE(desktop.openFileNames("t", "Text Files (*.txt)|*.txt|"), QStringList());
    }

    void messageBox_showsLineBreaksAndReturnsThePressedButton() {
        platform::QtDesktop desktop;
        QString shown;
        QString title;
        whenShown<QMessageBox>([&](QMessageBox* box) {
            shown = box->text();
            title = box->windowTitle();
            box->button(QMessageBox::Yes)->click();
        });
        const auto answer = desktop.messageBox("one\r\ntwo\rthree", platform::Buttons::YesNo,
                                               platform::Icon::None, "Parlivo");
        QCOMPARE(answer, platform::Answer::Yes);
        QCOMPARE(shown, QStringLiteral("one\ntwo\nthree"));
        QCOMPARE(title, QStringLiteral("Parlivo"));
        whenShown<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::No)->click(); });
        QCOMPARE(desktop.messageBox("?", platform::Buttons::YesNo, platform::Icon::Warning, "t"),
                 platform::Answer::No);
    }

    // Ending the program ends the application's event loop with status 0.
    void endProgram_endsTheEventLoop() {
        platform::QtDesktop desktop;
        QTimer::singleShot(0, [&] { desktop.endProgram(); });
        QTimer guard; // should it not end; gone with this test
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
        guard.start(5000);
        QCOMPARE(QCoreApplication::exec(), 0);
    }

    void inputBox_returnsTheTextOrEmptyOnCancel() {
        platform::QtDesktop desktop;
        whenShown<QInputDialog>([](QInputDialog* dialog) {
            dialog->setTextValue("555 0100");
            dialog->accept();
        });
        QCOMPARE(desktop.inputBox("Enter phone number to add: ", "Parlivo"),
                 QStringLiteral("555 0100"));
        whenShown<QInputDialog>([](QInputDialog* dialog) {
            dialog->setTextValue("typed then cancelled");
            dialog->reject();
        });
        QCOMPARE(desktop.inputBox("Enter a carrier:", "Parlivo"), QString());
    }

    void fileFilter_andDocumentTargets() {
        QCOMPARE(platform::qtFileFilter("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"),
                 QStringLiteral("Text Files (*.txt);;All Files (*)"));
        QCOMPARE(platform::documentUrl("\"http://www.quorvane.com/mirelant/\""),
                 QUrl("http://www.quorvane.com/mirelant/"));
        QCOMPARE(platform::documentUrl("\"/opt/p/Pictures/less-secure-apps1.jpg\""),
                 QUrl::fromLocalFile("/opt/p/Pictures/less-secure-apps1.jpg"));
        QCOMPARE(platform::documentUrl("/tmp/a b.log"), QUrl::fromLocalFile("/tmp/a b.log"));
    }

    // Cursor files as made, changed and broken: the hot spot read, or no cursor at all.
    void cursorFile_readsOnlyWhatIsACursor_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QPoint>("hotSpot"); // (-1, -1): no cursor
        const QByteArray hand = sourceFile("resources/HAND-M.CUR");
        const auto with = [&](int at, quint16 value) {
            QByteArray changed = hand;
            changed[at] = char(value & 0xff);
            changed[at + 1] = char(value >> 8);
            return changed;
        };
        const QPoint none(-1, -1);
        QTest::newRow("as made") << hand << QPoint(9, 1);
        QTest::newRow("padded to 1 MiB")
            << hand + QByteArray(1024 * 1024 - hand.size(), '\0') << QPoint(9, 1);
        QTest::newRow("one byte over 1 MiB")
            << hand + QByteArray(1024 * 1024 - hand.size() + 1, '\0') << none;
        QTest::newRow("reserved word set") << with(0, 1) << none;
        QTest::newRow("an icon") << with(2, 1) << none;
        QTest::newRow("no image") << with(4, 0) << none;
        QTest::newRow("hot spot past the image") << with(12, 300) << QPoint(9, 31);
        QTest::newRow("hot spot far left and down") << with(10, 200) << QPoint(31, 1);
        QTest::newRow("too short") << hand.left(21) << none;
    }
    void cursorFile_readsOnlyWhatIsACursor() {
        QFETCH(QByteArray, bytes);
        QFETCH(QPoint, hotSpot);
        QTemporaryDir dir;
        const QString path = dir.filePath("HAND-M.CUR");
        writeBytes(path, bytes);
        const auto cursor = platform::loadCursorFile(path);
        QCOMPARE(cursor ? cursor->hotSpot() : QPoint(-1, -1), hotSpot);
    }

    // The cursor is read once while its file stays as it was; a change of size or time, or
    // another file, is read anew.
    void cursorFile_isReadAgainWhenItChanged() {
        const QByteArray hand = sourceFile("resources/HAND-M.CUR");
        QTemporaryDir dir;
        const QString path = dir.filePath("HAND-M.CUR");
        writeBytes(path, hand);
        const QDateTime when = QFileInfo(path).lastModified();
        QCOMPARE(platform::loadCursorFile(path)->hotSpot(), QPoint(9, 1));
        // Another size at the same time, the same size later, another file of both.
        const auto hotSpotAfter = [&](const QString& file, char x, const QDateTime& time) {
            QByteArray bytes = hand + QByteArray(16, '\0');
            bytes[10] = x;
            writeBytes(file, bytes);
            QFile touched(file);
            touched.open(QIODevice::ReadWrite);
            touched.setFileTime(time, QFileDevice::FileModificationTime);
            touched.close();
            return platform::loadCursorFile(file)->hotSpot();
        };
        QCOMPARE(hotSpotAfter(path, 3, when), QPoint(3, 1));
        QCOMPARE(hotSpotAfter(path, 4, when.addSecs(60)), QPoint(4, 1));
        QCOMPARE(hotSpotAfter(dir.filePath("OTHER.CUR"), 5, when.addSecs(60)), QPoint(5, 1));
    }

    void cursorFile_givesImageAndHotSpot() {
        const QString source = QString::fromLocal8Bit(qgetenv("PARLIVO_SOURCE_DIR"));
        const auto hand = platform::loadCursorFile(source + "/resources/HAND-M.CUR");
        QVERIFY(hand.has_value());
        QCOMPARE(hand->hotSpot(), QPoint(9, 1));
        QCOMPARE(hand->pixmap().size(), QSize(32, 32));
        QVERIFY(!platform::loadCursorFile(source + "/resources/x/o.cjs").has_value());
        QVERIFY(!platform::loadCursorFile(source + "/no/such/file.cur").has_value());
    }
};

QTEST_MAIN(TestQtDesktop)
#include "test_qt_desktop.moc"
