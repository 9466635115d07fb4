// How a send's targets are cut where the allowance or a refusal says, as the kept rest
// depends on it: read back from a file's addresses, each phone keeps its own part.
#include "model/send_plan.h"

#include <QTest>

class TestSendPlan : public QObject {
    Q_OBJECT
  private slots:
    void targets_cutAndReadBack_data() {
        QTest::addColumn<QStringList>("addresses"); // as a file keeps them
        QTest::addColumn<int>("cut");
        QTest::addColumn<QStringList>("phones"); // the targets read back
        QTest::addColumn<QStringList>("first");
        QTest::addColumn<QStringList>("after");
        const QStringList two{"5550000001@a.x", "5550000001@b.x", "5550000002@a.x"};
        QTest::newRow("a phone straddling the cut")
            << two << 1 << QStringList{"5550000001", "5550000002"} << two.mid(0, 1) << two.mid(1);
        QTest::newRow("at a phone's end")
            << two << 2 << QStringList{"5550000001", "5550000002"} << two.mid(0, 2) << two.mid(2);
        QTest::newRow("numbers, whole addresses and a name")
            << QStringList{"+15550000001", "john@a.com", "john@b.com", "5550000002@a.x"} << 3
            << QStringList{"+15550000001", "john@a.com", "john@b.com", "5550000002"}
            << QStringList{"+15550000001", "john@a.com", "john@b.com"}
            << QStringList{"5550000002@a.x"};
        QTest::newRow("nothing fits")
            << two << 0 << QStringList{"5550000001", "5550000002"} << QStringList() << two;
    }
    void targets_cutAndReadBack() {
        QFETCH(QStringList, addresses);
        QFETCH(int, cut);
        QFETCH(QStringList, phones);
        QFETCH(QStringList, first);
        QFETCH(QStringList, after);
        const model::Targets targets = model::targetsOf(addresses);
        QCOMPARE(model::phonesOf(targets), phones);
        QCOMPARE(model::addressesOf(targets), addresses);
        QCOMPARE(model::addressesOf(model::firstRecipients(targets, cut)), first);
        QCOMPARE(model::addressesOf(model::afterRecipients(targets, cut)), after);
        // A refusal takes the refused out of what was taken and keeps only them in the rest.
        QCOMPARE(model::addressesOf(model::without(targets, after)), first);
        QCOMPARE(model::addressesOf(model::onlyAt(targets, after)), after);
    }
};

QTEST_GUILESS_MAIN(TestSendPlan)
#include "test_send_plan.moc"
