#include "form_fixture.h"
#include "notice/companion_notice.h"
#include "notice/home_page.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTreeWidget>

class TestNotice : public QObject {
    Q_OBJECT
  private slots:
    void notice_showsItsTextsAndOpensTheCompanionPage() {
        FormFixture f;
        f.open();
        notice::Form2* notice = f.form->notice();
        QVERIFY(notice->isVisible());
        QCOMPARE(notice->windowTitle(), QStringLiteral("Parlivo"));
        QCOMPARE(notice->size(), QSize(536, 77));
        QCOMPARE(notice->Label1->text(),
                 QStringLiteral("Gmail is not an efficient way to send text messages. There is "
                                "new Quorvane software that allows for sending bulk text "
                                "messages at http://www.quorvane.com/mirelant/"));
        QCOMPARE(notice->PushButton1->text(),
                 QStringLiteral("Open http://www.quorvane.com/mirelant/ In Your Browser"));
        QCOMPARE(notice->PushButton1->font().pointSizeF(), 11.25);
        QCOMPARE(notice->font().pointSizeF(), 9.0);
        QVERIFY(notice->font().bold());
        QCOMPARE(notice->Label1->geometry(), QRect(8, 6, 526, 55));
        QCOMPARE(notice->PushButton1->geometry(), QRect(8, 42, 520, 27));
        QVERIFY(!notice->isModal());
        // Over the main window, it moves just below it, centred.
        const QRect window = notice->frameGeometry();
        notice->keepClearOf(window);
        QCOMPARE(notice->frameGeometry().top(), window.bottom() + 8);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(notice->frameGeometry().left(), screen.center().x() - window.width() / 2);
        const QRect below = notice->frameGeometry();
        notice->keepClearOf(window.translated(0, 1000)); // far away: it stays
        QCOMPARE(notice->frameGeometry(), below);
        notice->PushButton1->click();
        notice->PushButton1->click();
        QCOMPARE(f.desktop.opened, QStringList({"\"http://www.quorvane.com/mirelant/\"",
                                                "\"http://www.quorvane.com/mirelant/\""}));
        QVERIFY(f.desktop.boxes.isEmpty());
    }

    void notice_pointerRules() {
        FormFixture f;
        f.open();
        notice::Form2* notice = f.form->notice();
        moveOver(notice->PushButton1);
        QCOMPARE(notice->pointer().style(), int(core::kHandPointer));
        moveOver(notice->Label1); // the label changes nothing
        QCOMPARE(notice->pointer().style(), int(core::kHandPointer));
        moveOver(notice);
        QCOMPARE(notice->pointer().style(), int(core::kDefaultPointer));
        notice->pointer().setStyle(core::kBusyPointer);
        moveOver(notice->PushButton1);
        moveOver(notice);
        QCOMPARE(notice->pointer().style(), int(core::kBusyPointer));
    }

    void closingTheNotice_storesTheCarriersOnceAndEnds() {
        FormFixture f;
        f.open();
        f.form->PushButton9_Click(); // tick every carrier since the start
        f.settings.writes.clear();
        f.form->notice()->close();
        QCOMPARE(f.settings.writes.size(), 2);
        QVERIFY(f.settings.values["Carriers PushButtoned"].startsWith(QLatin1String("True^True^")));
        QCOMPARE(f.desktop.programEnds, 1);
        f.form->close(); // the main window going with it stores nothing more
        QCOMPARE(f.settings.writes.size(), 2);
        QCOMPARE(f.desktop.programEnds, 1);
    }

    void homePage_opensOnlyWhenTheNumberIs7() {
        for (int n = 1; n <= 100; ++n) {
            ScriptedDesktop desktop;
            FixedClock clock;
            ScriptedRandom random;
            random.next = (n - 1 + 0.5) / 100.0;
            notice::HomePageShow(desktop, clock, random);
            QCOMPARE(random.seeds, QList<quint32>({9 * 3600 + 26 * 60 + 53}));
            QCOMPARE(desktop.viewers.size(), n == 7 ? 1 : 0);
            if (n == 7)
                QCOMPARE(desktop.viewers[0], QStringLiteral("http://www.quorvane.com/"));
        }
    }

    void homePage_browserThatCannotStartIsReportedAt116() {
        FormFixture f;
        f.random.next = 0.065; // draws 7
        f.desktop.viewerStarts = false;
        f.open();
        QCOMPARE(f.desktop.boxes.size(), 1);
        QVERIFY(f.desktop.boxes[0].text.contains(QLatin1String("Form1.Form_Load at line 116")));
        QCOMPARE(f.form->ListView2->topLevelItemCount(), 7);
    }
};

QTEST_MAIN(TestNotice)
#include "test_notice.moc"
