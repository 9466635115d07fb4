#include "recipients/phone_rules.h"
#include "recipients/summary.h"

#include <QTest>

using recipients::rowsFromFileText;

class TestPhoneRules : public QObject {
    Q_OBJECT
  private slots:
    void cleaning_removesHyphensAndBlanksOnly() {
        QCOMPARE(recipients::cleanPhoneNumber("555 555-0100"), QStringLiteral("5555550100"));
        QCOMPARE(recipients::cleanPhoneNumber("(555) 5550100"), QStringLiteral("(555)5550100"));
        QCOMPARE(recipients::cleanPhoneNumber("+1.555\t0100"), QStringLiteral("+1.555\t0100"));
        QCOMPARE(recipients::cleanPhoneNumber(" - -"), QString());
    }

    void lineRules_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("CR LF") << QByteArray("111\r\n222\r\n333\r\n")
                               << QStringList({"111", "222", "333"});
        QTest::newRow("LF only") << QByteArray("111\n222\n333\n")
                                 << QStringList({"111", "222", "333"});
        QTest::newRow("lone CR") << QByteArray("111\r222\r") << QStringList({"111", "222"});
        QTest::newRow("no final line end")
            << QByteArray("111\r\n222") << QStringList({"111", "222"});
        QTest::newRow("empty line")
            << QByteArray("111\r\n\r\n333\n\n \r\n444") << QStringList({"111", "333", "444"});
        QTest::newRow("mixed") << QByteArray("1\n2\r\n3\r4") << QStringList({"1", "2", "3", "4"});
        QTest::newRow("empty file") << QByteArray() << QStringList();
        QTest::newRow("only CR LF") << QByteArray("\r\n") << QStringList();
        QTest::newRow("verbatim") << QByteArray(" 555-555-0199 \r\n")
                                  << QStringList({" 555-555-0199 "});
        QTest::newRow("blanks of every kind")
            << QByteArray("\t\v\f \n\xc2\xa0 \n\x01\n \xc3\xa9\n\xff")
            << QStringList({"\x01", QString::fromUtf8(" \xc3\xa9"), QString(QChar(0xfffd))});
    }
    void lineRules() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, rows);
        QCOMPARE(rowsFromFileText(bytes), rows);
    }

    void reader_stopsPastItsRoomAcrossPieces() {
        recipients::PhoneFileReader reader(2);
        reader.feed("1"); // one line over three pieces
        reader.feed("1");
        reader.feed("1\r");
        reader.feed("\n222\r\n");
        QVERIFY(!reader.overflowed());
        reader.feed("333\r444\r");
        QVERIFY(reader.overflowed());
        QCOMPARE(reader.rows(), QStringList({"111", "222"}));
    }

    void invalidText_isReplacedNotFatal() {
        const QStringList rows = rowsFromFileText(QByteArray("55\xff\xfe"
                                                             "5\r\n\xc3\xa9t\xc3\r\n",
                                                             12));
        QCOMPARE(rows.size(), 2);
        QVERIFY(rows[0].startsWith(QLatin1String("55")) && rows[0].endsWith(QLatin1Char('5')));
        QVERIFY(rows[1].startsWith(QString::fromUtf8("\xc3\xa9t")));
    }

    void summary_usesIntegerDivisionAndFixedWords() {
        using recipients::recipientSummaryText;
        QCOMPARE(recipientSummaryText(5, 0, 2), QStringLiteral("5 phones at 2 carriers"));
        QCOMPARE(recipientSummaryText(1, 100, 3),
                 QStringLiteral("33 phones at 3 carriers (max. 100 recipients)"));
        QCOMPARE(recipientSummaryText(1, 100, 6).left(2), QStringLiteral("16"));
        QCOMPARE(recipientSummaryText(1, 100, 7).left(2), QStringLiteral("14"));
        QCOMPARE(recipientSummaryText(1, 100, 101).left(2), QStringLiteral("0 "));
        QCOMPARE(recipientSummaryText(1, 100, 1),
                 QStringLiteral("100 phones at 1 carriers (max. 100 recipients)"));
        QCOMPARE(recipientSummaryText(1, 100, 0),
                 QStringLiteral("1 phones at 0 carriers (max. 100 recipients)"));
        QCOMPARE(recipientSummaryText(0, 0, 0), QStringLiteral("0 phones at 0 carriers"));
        QCOMPARE(recipientSummaryText(1, 0, 1), QStringLiteral("1 phones at 1 carriers"));
        QCOMPARE(recipients::charactersLeftText(1), QStringLiteral("999 Characters Left"));
        QCOMPARE(recipients::charactersLeftText(1001), QStringLiteral("-1 Characters Left"));
    }
};

QTEST_GUILESS_MAIN(TestPhoneRules)
#include "test_phone_rules.moc"
