#include "core/error_report.h"
#include "core/procedure.h"
#include "scripted_desktop.h"

#include <QTest>

using core::Failure;
using core::Procedure;

class TestErrorReport : public QObject {
    Q_OBJECT
  private slots:
    void reportText_isByteExact() {
        const QString text = core::errorReportText(QStringLiteral("Type mismatch"),
                                                   core::qualifiedName("Form1", "Form_Load"), 178);
        QCOMPARE(text, QStringLiteral("Type mismatch\r\nin Velmora2017/04/05.Form1.Form_Load at "
                                      "line 178\r\rPlease email screenshot of this message to "
                                      "support@quorvane.com"));
        QVERIFY(!text.endsWith(QLatin1Char('\n')) && !text.endsWith(QLatin1Char('\r')));
    }

    void report_isWarningBoxWithItsOwnTitle() {
        ScriptedDesktop desktop;
        core::showErrorReport(desktop, core::qualifiedName("Form2", "PushButton1_Click"), 100,
                              QStringLiteral("Overflow"));
        QCOMPARE(desktop.boxes.size(), 1);
        QCOMPARE(desktop.boxes[0].title, QStringLiteral("Application Error"));
        QCOMPARE(desktop.boxes[0].icon, platform::Icon::Warning);
        QCOMPARE(desktop.boxes[0].buttons, platform::Buttons::Ok);
        QVERIFY(desktop.boxes[0].text.contains(
            QLatin1String("in Velmora2017/04/05.Form2.PushButton1_Click at line 100")));
    }

    void twoFailures_giveTwoReportsAndTheProcedureRunsToItsEnd() {
        ScriptedDesktop desktop;
        Procedure p(desktop, core::qualifiedName("Form1", "Form_Load"));
        QStringList ran;
        p.step(100, [&] { ran << "100"; });
        p.step(102, [&] { throw Failure(core::failure_number::TypeMismatch); });
        p.step(104, [&] { ran << "104"; });
        p.step(106, [&] { throw std::runtime_error("broken"); });
        p.step(108, [&] { ran << "108"; });
        QCOMPARE(ran, QStringList({"100", "104", "108"}));
        QCOMPARE(desktop.boxes.size(), 2);
        QVERIFY(desktop.boxes[0].text.startsWith(QLatin1String("Type mismatch\r\n")));
        QVERIFY(desktop.boxes[0].text.contains(QLatin1String("at line 102\r\r")));
        QVERIFY(desktop.boxes[1].text.startsWith(QLatin1String("broken\r\n")));
        QVERIFY(desktop.boxes[1].text.contains(QLatin1String("at line 106\r\r")));
    }

    void failedTest_entersItsBlockButDoesNotSkipAhead() {
        ScriptedDesktop desktop;
        Procedure p(desktop, core::qualifiedName("Form1", "PushButton1_Click"));
        const auto failing = []() -> bool { throw Failure(core::failure_number::Overflow); };
        QVERIFY(p.opensBlock(102, failing));
        QVERIFY(!p.skipsAhead(110, failing));
        QVERIFY(p.opensBlock(112, [] { return true; }));
        QVERIFY(!p.opensBlock(112, [] { return false; }));
        QVERIFY(p.skipsAhead(110, [] { return true; }));
        QCOMPARE(desktop.boxes.size(), 2);
    }

    void loopFailure_goesOnWithTheSamePass() {
        ScriptedDesktop desktop;
        Procedure p(desktop, core::qualifiedName("Form1", "PushButton9_Click"));
        QStringList ran;
        for (int i = 1; i <= 3; ++i) {
            p.step(102, [&] {
                if (i == 2)
                    throw Failure(core::failure_number::InvalidCall);
                ran << QString::number(i);
            });
            p.step(104, [&] { ran << QStringLiteral("next%1").arg(i); });
        }
        QCOMPARE(ran, QStringList({"1", "next1", "next2", "3", "next3"}));
    }

    void interceptor_endsTheProcedureWithoutReport() {
        ScriptedDesktop desktop;
        QList<int> seen;
        Procedure p(desktop, core::qualifiedName("Form1", "PushButton1_Click"),
                    [&](const Failure& failure, int line) {
                        seen << line;
                        return failure.number() == 42;
                    });
        bool later = false;
        p.step(180, [] { throw Failure(core::failure_number::Overflow); });
        p.step(182, [] { throw Failure(42, QStringLiteral("refused")); });
        p.step(184, [&] { later = true; });
        QCOMPARE(seen, QList<int>({180, 182}));
        QVERIFY(p.ended());
        QVERIFY(!later);
        QCOMPARE(desktop.boxes.size(), 1); // only the Overflow at 180 was reported
    }

    void toInteger_overflowsPast16Bits() {
        QCOMPARE(core::toInteger(32767), qint16(32767));
        try {
            core::toInteger(32768);
            QFAIL("no failure");
        } catch (const Failure& failure) {
            QCOMPARE(failure.number(), core::failure_number::Overflow);
            QCOMPARE(failure.description(), QStringLiteral("Overflow"));
        }
    }
};

QTEST_GUILESS_MAIN(TestErrorReport)
#include "test_error_report.moc"
