// The Qt side of the desktop, its boxes answered from a timer as a person would.
#include "platform/cursor_file.h"
#include "platform/qt_desktop.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
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
