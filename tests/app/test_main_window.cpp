#include "app/list_views.h"
#include "app/main_window.h"
#include "core/settings.h"
#include "form_fixture.h"
#include "local_smtp_server.h"
#include "notice/companion_notice.h"
#include "platform/qsettings_store.h"
#include "recipients/carrier_table.h"
#include "routes/email/net/smtp_mail_submitter.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <sys/stat.h>

using core::settings::kCarriers;
using core::settings::kCarrierTicks;

namespace {
QWidget* nextTabStop(QWidget* widget) {
    QWidget* next = widget->nextInFocusChain();
    while (next != widget && (!(next->focusPolicy() & Qt::TabFocus) || next->isHidden()))
        next = next->nextInFocusChain();
    return next;
}

// One line per control as the user meets it: where it stands (in its frame), its caption
// or spoken name, its font, and flags: b bold, w painted white, t followed by the pointer,
// k keeping its clicks from the window.
QString describe(QWidget* w) {
    QString text = w->accessibleName();
    if (auto* b = qobject_cast<QPushButton*>(w))
        text = b->text();
    else if (auto* l = qobject_cast<QLabel*>(w))
        text = l->text();
    else if (auto* g = qobject_cast<QGroupBox*>(w))
        text = g->title();
    const QRect r = w->geometry();
    QString line =
        QStringLiteral("%1 \"%2\" %3,%4 %5x%6 %7pt")
            .arg(w->objectName().isEmpty() ? w->metaObject()->className() : w->objectName(), text,
                 QString::number(r.x()), QString::number(r.y()), QString::number(r.width()),
                 QString::number(r.height()), QString::number(w->font().pointSizeF()));
    line += ' ';
    const auto flag = [&](bool on, char letter) { line += on ? QString(letter) : ""; };
    flag(w->font().bold(), 'b');
    flag(w->autoFillBackground() && w->palette().color(QPalette::Window) == Qt::white, 'w');
    flag(w->hasMouseTracking(), 't');
    flag(w->testAttribute(Qt::WA_NoMousePropagation), 'k');
    if (auto* list = qobject_cast<QTreeWidget*>(w))
        line += QStringLiteral(" columns=%1 header=\"%2\" width=%3%4%5 tip=%6")
                    .arg(QString::number(list->columnCount()), list->headerItem()->text(0),
                         QString::number(list->columnWidth(0)),
                         list->uniformRowHeights() ? " uniform" : "",
                         list->viewport()->hasMouseTracking() ? " viewport-tracked" : "",
                         QString::number(list->toolTip().size()));
    if (auto* body = qobject_cast<QPlainTextEdit*>(w))
        line += body->tabChangesFocus() ? " tab-leaves" : " tab-types";
    return line;
}

QStringList controlsOf(QWidget& form) {
    QStringList lines;
    for (QWidget* w : form.findChildren<QWidget*>()) {
        const bool control = qobject_cast<QPushButton*>(w) || qobject_cast<QLabel*>(w) ||
                             qobject_cast<QGroupBox*>(w) || qobject_cast<QLineEdit*>(w) ||
                             qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QTreeWidget*>(w) ||
                             qobject_cast<QComboBox*>(w);
        if (control && w->isVisibleTo(&form) &&
            (w->parentWidget() == &form || qobject_cast<QGroupBox*>(w->parentWidget())))
            lines << describe(w);
    }
    return lines;
}

QStringList tabChain(QWidget* first) {
    QStringList chain;
    QWidget* w = first;
    do {
        chain << (w->objectName().isEmpty() ? describe(w) : w->objectName());
        w = nextTabStop(w);
    } while (w != first && chain.size() < 40);
    return chain;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
  private slots:
    void firstStart_showsDefaultsEmptyLoginAndTheNotice() {
        app::nameApplication();
        FormFixture f;
        app::Form1& form = f.open();
        QCOMPARE(QApplication::applicationName(), QStringLiteral("Parlivo"));
        QCOMPARE(QApplication::organizationName(), QStringLiteral("Quorvane"));
        // The window shows the icon in every size a desktop asks for.
        QCOMPARE(form.windowIcon().availableSizes(),
                 (QList<QSize>{{16, 16}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}}));
        QCOMPARE(form.Text3->text(), QString());
        QCOMPARE(form.Text2->text(), QString());
        QCOMPARE(form.ListView1->topLevelItemCount(), 0);
        QCOMPARE(rowsOf(form.ListView2), recipients::defaultCarriers());
        QCOMPARE(form.windowTitle(), QStringLiteral("Parlivo"));
        QCOMPARE(form.applicationTitle(), QStringLiteral("Parlivo"));
        QVERIFY(form.notice() && form.notice()->isVisible());
        QVERIFY(f.desktop.boxes.isEmpty());
        QCOMPARE(f.desktop.opened, QStringList());
    }

    void layout_followsTheTableInPixels() {
        FormFixture f;
        app::Form1& form = f.open();
        // As designed, and, with e-mail and the phone to set up, the route choice's row below
        // the buttons, the window grown by it alone: its final size from the start.
        QCOMPARE(form.size(), QSize(1064, 487));
        const QStringList controls{
            "ListView2 \"Select Carrier/s:\" 8,8 520x146 9pt btk columns=1 header=\"Select "
            "Carrier/s:\" width=466 uniform viewport-tracked tip=92",
            "PushButton6 \"Add Carrier\" 8,160 256x27 11.25pt btk",
            "PushButton7 \"Delete Carrier\" 272,160 256x27 11.25pt btk",
            "PushButton4 \"Clear List\" 8,194 256x27 11.25pt btk",
            "PushButton12 \"Load Default Carriers\" 272,194 256x27 11.25pt btk",
            "PushButton9 \"Select All Carriers\" 8,228 256x27 11.25pt btk",
            "PushButton10 \"Unselect All Carriers\" 272,228 256x27 11.25pt btk",
            "ListView1 \"Phone Number/s To Text\" 8,262 520x115 9pt btk columns=1 header=\"Phone "
            "Number/s To Text\" width=466 uniform viewport-tracked tip=92",
            "PushButton5 \"Add Number\" 8,384 256x27 11.25pt btk",
            "PushButton3 \"Load Number/s From File\" 272,384 256x27 11.25pt btk",
            "PushButton11 \"Clear List\" 8,418 256x27 11.25pt btk",
            "PushButton13 \"Load Sample/Example Numbers\" 272,418 256x27 11.25pt btk",
            "QGroupBox \"Gmail Login\" 536,4 520x86 9pt bwt",
            "QLabel \"Username:\" 16,23 88x18 9pt bwk",
            "Text3 \"Username\" 96,20 406x23 9pt btk",
            "QLabel \"Password:\" 16,55 81x18 9pt bwk",
            "Text2 \"Password\" 96,52 406x23 9pt btk",
            "QGroupBox \"Subject\" 536,96 520x54 9pt bwt",
            "Text4 \"Subject\" 16,20 488x23 9pt btk",
            "QGroupBox \"Body\" 536,155 520x220 9pt bwt",
            "Text5 \"Body\" 16,20 488x170 9pt bk tab-leaves",
            "lblLabels5 \"1000 Characters Left\" 16,196 168x15 9pt bwk",
            "lblTexts \"1 text at a gateway\" 200,196 304x15 9pt bwk",
            "PushButton1 \"Send Message\" 536,384 520x27 11.25pt btk",
            "PushButton8 \"Help\" 536,418 256x27 11.25pt btk",
            "PushButton2 \"View Log\" 800,418 256x27 11.25pt btk",
            "lblRoute \"Send by:\" 536,452 88x27 9pt bwk",
            "cboRoute \"Send by\" 624,452 432x27 9pt b"};
        QCOMPARE(controlsOf(form), controls);
        QCOMPARE(unreachableControls(&form), QStringList());
        QCOMPARE(
            tabChain(form.Text3).join(' '),
            QStringLiteral(
                "Text3 Text2 Text4 Text5 PushButton1 PushButton8 PushButton2 cboRoute ListView2 "
                "PushButton6 PushButton7 PushButton4 PushButton12 PushButton9 PushButton10 "
                "ListView1 PushButton5 PushButton3 PushButton11 PushButton13"));
        QVERIFY(form.font().bold());
        QCOMPARE(form.Text2->echoMode(), QLineEdit::Password);
        QCOMPARE(form.ListView1->toolTip(),
                 QStringLiteral("Double-click item to remove it. Move | line to right and out of "
                                "window to reveal full names."));
        for (int number = 1; number <= 13; ++number)
            QCOMPARE(form.pushButton(number)->accessibleName(), form.pushButton(number)->text());
        QCOMPARE(form.focusWidget(), form.Text3); // the user name box comes first
    }

    void offline_warnsBeforeAnyWindowIsVisible() {
        FormFixture f;
        f.onlineCheck.pingCommand = QStringLiteral("/bin/echo Destination Host Unreachable");
        bool anyWindowVisible = true;
        f.desktop.whileBoxShown = [&](const ScriptedDesktop::Box&) {
            anyWindowVisible = f.form->isVisible() || f.form->notice() != nullptr;
        };
        f.open();
        QCOMPARE(f.desktop.boxTexts(),
                 QStringList({"You must be online to use this software accurately."}));
        QCOMPARE(f.desktop.boxes[0].title, QStringLiteral("Parlivo"));
        QCOMPARE(f.desktop.boxes[0].icon, platform::Icon::None);
        QVERIFY(!anyWindowVisible);
        QCOMPARE(f.form->ListView2->topLevelItemCount(), 7); // start-up went on
    }

    void failingStep_isReportedWithItsLineAndStartUpGoesOn() {
        FormFixture f;
        writeFile(f.programFolder() + "/HAND-M.CUR", "not a cursor");
        f.settings.values[kCarriers] = "a^b^";
        f.settings.values[kCarrierTicks] = "True^maybe^";
        app::Form1& form = f.open();
        QCOMPARE(f.desktop.boxes.size(), 3);
        QVERIFY(f.desktop.boxes[1].text.contains(
            QLatin1String("in Velmora2017/04/05.Form2.Form_Load at line 108")));
        QCOMPARE(f.desktop.boxes[0].text,
                 QStringLiteral("Invalid picture\r\nin Velmora2017/04/05.Form1.Form_Load at line "
                                "110\r\rPlease email screenshot of this message to "
                                "support@quorvane.com"));
        QVERIFY(f.desktop.boxes[2].text.startsWith(QLatin1String(
            "Type mismatch\r\nin Velmora2017/04/05.Form1.Form_Load at line 178\r\r")));
        QCOMPARE(rowsOf(form.ListView2), QStringList({"[x] a", "b"}));
        QVERIFY(form.notice()->isVisible());

        // More stored carriers than a 16-bit count holds: reported, and none restored.
        FormFixture huge;
        huge.settings.values[kCarriers] = QString("a^").repeated(40000);
        app::Form1& hugeForm = huge.open();
        QCOMPARE(huge.desktop.boxTexts(),
                 QStringList{"Overflow\r\nin Velmora2017/04/05.Form1.Form_Load at line 170\r\r"
                             "Please email screenshot of this message to support@quorvane.com"});
        QCOMPARE(hugeForm.ListView2->topLevelItemCount(), 0);
    }

    void restore_data() {
        QTest::addColumn<QString>("carriers");
        QTest::addColumn<QString>("ticks");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("three rows") << "a^b^c^"
                                    << "True^False^True^" << QStringList({"[x] a", "b", "[x] c"});
        QTest::newRow("caret inside a row") << "a^b^c^"
                                            << "True^True^" << QStringList({"a", "b", "c"});
        QTest::newRow("ticks missing") << "a^b^"
                                       << "" << QStringList({"a", "b"});
        QTest::newRow("empty row keeps later ticks")
            << "a^^c^"
            << "False^True^True^" << QStringList({"a", "[x] c"});
        QTest::newRow("numbers as ticks") << "a^b^c^"
                                          << "1^0^-1^" << QStringList({"[x] a", "b", "[x] c"});
        QTest::newRow("no caret at all") << "vtext.com"
                                         << "" << QStringList({"vtext.com"});
        QTest::newRow("blanks kept") << " x.y ^"
                                     << "True^" << QStringList({"[x]  x.y "});
    }
    void restore() {
        QFETCH(QString, carriers);
        QFETCH(QString, ticks);
        QFETCH(QStringList, rows);
        FormFixture f;
        f.settings.values[kCarriers] = carriers;
        f.settings.values[kCarrierTicks] = ticks;
        QCOMPARE(rowsOf(f.open().ListView2), rows);
        QVERIFY(f.desktop.boxes.isEmpty());
    }

    void close_storesTheListOnceAndEndsTheProgram() {
        FormFixture f;
        f.settings.values[kCarriers] = "a^b^c^";
        f.settings.values[kCarrierTicks] = "True^False^True^";
        app::Form1& form = f.open();
        f.settings.writes.clear();
        f.desktop.eventPasses = 0;
        form.close();
        QCOMPARE(f.settings.writes,
                 QStringList({"Carriers=a^b^c^", "Carriers PushButtoned=True^False^True^"}));
        QCOMPARE(f.desktop.eventPasses, 2);
        QCOMPARE(f.desktop.programEnds, 1);
        form.close(); // a second close request stores nothing more
        QCOMPARE(f.settings.writes.size(), 2);
    }

    void failedSettingsWrites_areToldOncePerRun() {
        FormFixture f;
        app::Form1& form = f.open();
        f.settings.problem = "The settings could not be saved to /x/Quorvane.ini: disk full.";
        form.Text3->setText("a");
        form.Text2->setText("b");
        form.close();
        QCOMPARE(f.settings.writes.size(), 4); // every write was still tried
        QCOMPARE(f.desktop.boxes.size(), 1);
        QVERIFY(f.desktop.boxes[0].text.startsWith(f.settings.problem));
    }

    void emptiedList_isStoredEmptyAndTheDefaultsReturn() {
        FormFixture f;
        app::Form1& form = f.open();
        form.ListView2->clear();
        form.close();
        QCOMPARE(f.settings.values[kCarriers], QString());
        QCOMPARE(f.settings.values[kCarrierTicks], QString());
        FormFixture next;
        next.settings.values = f.settings.values;
        QCOMPARE(rowsOf(next.open().ListView2), recipients::defaultCarriers());
    }

    void loginBoxes_storeEveryChangeAndSelectAllOnFocus() {
        FormFixture f;
        f.settings.values[core::settings::kUser] = "stored";
        app::Form1& form = f.open();
        QCOMPARE(form.Text3->text(), QStringLiteral("stored"));
        f.settings.writes.clear();
        form.Text3->clear();
        QTest::keyClicks(form.Text3, "ab");
        QCOMPARE(f.settings.writes, QStringList({"User=", "User=a", "User=ab"}));
        QTest::keyClicks(form.Text2, "pw");
        QCOMPARE(f.settings.values[core::settings::kPassword], QStringLiteral("pw"));
        QCOMPARE(form.Text2->displayText(), QStringLiteral("**"));
        form.Text4->setFocus();
        form.Text2->setCursorPosition(0);
        QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
        QApplication::sendEvent(form.Text2, &focusIn);
        QCOMPARE(form.Text2->selectedText(), QStringLiteral("pw"));
        form.Text3->setCursorPosition(0);
        QApplication::sendEvent(form.Text3, &focusIn);
        QCOMPARE(form.Text3->selectedText(), QStringLiteral("ab"));
        QApplication::sendEvent(form.pushButton(1), &focusIn); // other controls as usual
    }

    void pointer_handOverButtonsArrowOverSurfacesBusyStays() {
        FormFixture f;
        app::Form1& form = f.open();
        moveOver(form.pushButton(7));
        QCOMPARE(form.pointer().style(), int(core::kHandPointer));
        moveOver(form.Text4); // no pointer procedure of its own: the hand stays
        QCOMPARE(form.pointer().style(), int(core::kHandPointer));
        moveOver(form.lblLabels[0]);
        QCOMPARE(form.pointer().style(), int(core::kHandPointer));
        moveOver(form.Frame1);
        QCOMPARE(form.pointer().style(), int(core::kDefaultPointer));
        moveOver(form.pushButton(13));
        moveOver(form.ListView1->viewport());
        QCOMPARE(form.pointer().style(), int(core::kDefaultPointer));
        moveOver(form.pushButton(1));
        moveOver(&form);
        QCOMPARE(form.pointer().style(), int(core::kDefaultPointer));
        form.pointer().setStyle(core::kBusyPointer);
        moveOver(form.pushButton(1));
        moveOver(form.Text3);
        QCOMPARE(form.pointer().style(), int(core::kBusyPointer));
        QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
    }

    void handCursor_comesFromTheCursorFile() {
        FormFixture f;
        QFile::copy(QString::fromLocal8Bit(qgetenv("PARLIVO_SOURCE_DIR")) + "/resources/HAND-M.CUR",
                    f.programFolder() + "/HAND-M.CUR");
        app::Form1& form = f.open();
        QVERIFY(form.pointer().hasHandCursor());
        moveOver(form.pushButton(1));
        QCOMPARE(form.cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(form.cursor().hotSpot(), QPoint(9, 1));
        QVERIFY(f.desktop.boxes.isEmpty());
    }

    // Beside the characters left: the texts a gateway makes of the subject and body.
    void textCount_asPhonesCountIt_data() {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("label");
        const QString one = "1 text at a gateway";
        QTest::newRow("empty") << ""
                               << "" << one;
        QTest::newRow("160 plain") << "" << QString(160, 'a') << one;
        QTest::newRow("161 plain") << "" << QString(161, 'a') << "2 texts at a gateway";
        QTest::newRow("306 plain, 307") << "" << QString(306, 'a') + "\n"
                                        << "3 texts at a gateway";
        QTest::newRow("80 extension characters") << "" << QString(80, '[') << one;
        QTest::newRow("one more, a euro") << "" << QString(80, '{') + "\u20ac"
                                          << "2 texts at a gateway";
        QTest::newRow("subject, line break, body: 161")
            << QString(80, 'a') << QString(80, 'b') << "2 texts at a gateway";
        QTest::newRow("accents of the GSM alphabet") << "\u00c9t\u00e9"
                                                     << "\u00e0 \u00d1" << one;
        QTest::newRow("one emoji: 68 + 2 units") << "" << QString(68, 'a') + "\U0001F600"
                                                 << "1 text at a gateway (not GSM: 70 a text)";
        QTest::newRow("71 units") << "\u00ea" << QString(69, 'a')
                                  << "2 texts at a gateway (not GSM: 70 a text)";
    }
    void textCount_asPhonesCountIt() {
        QFETCH(QString, subject);
        QFETCH(QString, body);
        QFETCH(QString, label);
        FormFixture f;
        app::Form1& form = f.open();
        form.Text5->setPlainText(body);
        form.Text4->setText(subject);
        QCOMPARE(form.lblTexts->text(), label);
        QCOMPARE(form.lblLabels[5]->text(),
                 QString::number(1000 - body.size()) + " Characters Left");
    }

    void body_neverHoldsMoreThan1000UnitsAndCountsThem() {
        FormFixture f;
        app::Form1& form = f.open();
        form.Text5->setPlainText(QStringLiteral("x"));
        QCOMPARE(form.lblLabels[5]->text(), QStringLiteral("999 Characters Left"));
        form.Text5->setPlainText(QString(998, QLatin1Char('a')));
        form.Text5->moveCursor(QTextCursor::End);
        form.Text5->insertPlainText(QString::fromUtf8("\xF0\x9F\x98\x80")); // one emoji, 2 units
        QCOMPARE(form.lblLabels[5]->text(), QStringLiteral("0 Characters Left"));
        form.Text5->insertPlainText(QStringLiteral("more pasted text"));
        QCOMPARE(form.Text5->toPlainText().size(), 1000);
        QVERIFY(form.Text5->toPlainText().endsWith(QString::fromUtf8("\xF0\x9F\x98\x80")));
        form.Text5->setPlainText(QString(999, QLatin1Char('a')));
        form.Text5->moveCursor(QTextCursor::End);
        form.Text5->insertPlainText(QString::fromUtf8("\xF0\x9F\x98\x80"));
        QCOMPARE(form.Text5->toPlainText(), QString(999, QLatin1Char('a'))); // no half emoji
        form.Text5->clear();
    }

    void skin_appliesOnlyARegularFile() {
        FormFixture f;
        QDir().mkpath(f.programFolder() + "/x/o.cjs"); // a folder, not a skin
        app::Form1& plain = f.open();
        QCOMPARE(plain.styleSheet(), QString());
        QCOMPARE(plain.Frame5->palette().color(QPalette::Window), QColor(Qt::white));

        FormFixture skinned;
        QDir().mkpath(skinned.programFolder() + "/x");
        writeFile(skinned.programFolder() + "/x/o.cjs", "QPushButton { color: #123456; }");
        app::Form1& form = skinned.open();
        QCOMPARE(form.styleSheet(), QStringLiteral("QPushButton { color: #123456; }"));
        form.Text2->setText("abc");
        QCOMPARE(form.Text2->displayText(), QStringLiteral("***"));
        // The window, its frames and its labels take the button face, filled.
        QVERIFY(!plain.autoFillBackground());
        const QColor face = form.palette().color(QPalette::Button);
        QVERIFY(form.autoFillBackground());
        QCOMPARE(form.palette().color(QPalette::Window), face);
        for (QWidget* w : form.findChildren<QWidget*>())
            if (qobject_cast<QGroupBox*>(w) || qobject_cast<QLabel*>(w)) {
                QVERIFY(w->autoFillBackground());
                QCOMPARE(w->palette().color(QPalette::Window), face);
            }
    }

    // Start-up as the user finds it: the network down (its limit measured), files left by an
    // earlier run with modes others could read, a damaged settings file; then a send through
    // the local server; every file the program wrote is the user's alone afterwards.
    void startUpAndFiles_asTheUserFindsThem_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("damaged");
        QTest::newRow("0640") << 0640 << false;
        QTest::newRow("0660, damaged settings") << 0660 << true;
        QTest::newRow("0666") << 0666 << false;
    }
    void startUpAndFiles_asTheUserFindsThem() {
        QFETCH(int, mode);
        QFETCH(bool, damaged);
        TestCertificates certificates;
        LocalSmtpServer smtp(certificates);
        QVERIFY(smtp.port() > 0);
        mail::SmtpMailSubmitter submitter(smtp.clientOptions(certificates.path("ca.pem")));
        FormFixture f;
        const QString ini = f.folder.filePath("config/Quorvane.ini");
        const QString log = f.programFolder() + "/sentmessages.log";
        const QString pending = f.dataFolder() + "/delivery-pending.tsv";
        QDir().mkpath(f.folder.filePath("config"));
        writeFile(ini, damaged ? QByteArray("\xff\0[Parlivo\n=\x01garbage\n", 20)
                               : QByteArray("[Parlivo]\nUser=ann\n"));
        writeFile(log, "an earlier record\r\n");
        writeFile(pending, "");
        for (const QString& file : {ini, log, pending})
            QCOMPARE(::chmod(QFile::encodeName(file).constData(), mode_t(mode)), 0);
        platform::QSettingsStore store(ini, "Parlivo");
        f.settingsStore = &store;
        f.submitter = &submitter;
        f.onlineCheck = {"/bin/sleep 30", "127.0.0.1", 1, 1000}; // no answer, port refused
        app::Form1& form = f.open(); // the check's limit ends it: the window comes up
        QCOMPARE(f.desktop.boxTexts(),
                 QStringList{"You must be online to use this software accurately."});
        QCOMPARE(form.Text3->text(), damaged ? QString() : QStringLiteral("ann"));
        QCOMPARE(rowsOf(form.ListView2), recipients::defaultCarriers());
        form.Text3->setText("ann");
        form.Text2->setText("secret");
        app::appendRows(form.ListView1, {"5555550100"});
        app::appendCarrier(form.ListView2, "a.example", true);
        form.PushButton1_Click();
        QCOMPARE(f.desktop.boxTexts().last(), QStringLiteral("Done."));
        form.close();
        for (const QString& file : {ini, log, pending}) {
            struct stat info {};
            QCOMPARE(stat(QFile::encodeName(file).constData(), &info), 0);
            QCOMPARE(info.st_mode & 0777, 0600u);
        }
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
