#include "routes/email/mail/mime_message.h"

#include <QTest>

using mail::MailMessage;

namespace {
MailMessage sample() {
    MailMessage m;
    m.userAddress = "ann@gmail.com";
    m.password = "pw";
    m.recipients = {"1@a.example", "2@a.example"};
    m.toHeader = "1@a.example,2@a.example";
    m.subject = "Hello";
    m.body = "line one\nline two";
    return m;
}

QList<QByteArray> headerLines(const QByteArray& message) {
    return message.left(message.indexOf("\r\n\r\n")).split('\n');
}

// Decodes RFC 2047 B-encoded words and unfolds, as a mail reader would.
QString decodeSubject(QByteArray field) {
    field.replace("\r\n ", "");
    qsizetype at = 0;
    QByteArray utf8;
    while ((at = field.indexOf("=?UTF-8?B?", at)) >= 0) {
        const qsizetype end = field.indexOf("?=", at + 10);
        utf8 += QByteArray::fromBase64(field.mid(at + 10, end - at - 10));
        at = end + 2;
    }
    return QString::fromUtf8(utf8);
}
} // namespace

class TestMimeMessage : public QObject {
    Q_OBJECT
  private slots:
    void message_hasEveryHeaderAndBothParts() {
        const QByteArray text = mail::composeMessage(
            sample(), QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC), "tok");
        const QList<QByteArray> headers = headerLines(text);
        QVERIFY(headers.contains("From: ann@gmail.com\r"));
        QVERIFY(headers.contains("To: 1@a.example,2@a.example\r"));
        QVERIFY(headers.contains("Reply-To: ann@gmail.com\r"));
        QVERIFY(headers.contains("Organization: Organization\r"));
        QVERIFY(headers.contains("Subject: Hello\r"));
        QVERIFY(headers.contains("Message-ID: <tok@gmail.com>\r"));
        QVERIFY(headers.contains("MIME-Version: 1.0\r"));
        QVERIFY(text.contains("Content-Type: multipart/alternative"));
        QVERIFY(text.contains("Content-Type: text/plain; charset=UTF-8"));
        QVERIFY(text.contains("Content-Type: text/html; charset=UTF-8"));
        QCOMPARE(text.count(QByteArray("line one\r\nline two").toBase64()), 2);
        QVERIFY(!text.contains("\n\n") && !text.contains("\r\r"));
        for (const QByteArray& line : text.split('\n'))
            QVERIFY(line.size() <= 999);
    }

    void nonAsciiSubject_isEncodedAndDecodesBack() {
        MailMessage m = sample();
        m.subject = QString::fromUtf8("Grüße – ünïcödé 😀 ") + QString(60, QChar(0x00e9));
        const QByteArray text = mail::composeMessage(m, QDateTime::currentDateTime(), "t");
        const qsizetype start = text.indexOf("Subject: ") + 9;
        const QByteArray field = text.mid(start, text.indexOf("\r\nMIME-Version") - start);
        QVERIFY(!field.contains(char(0xc3)));
        for (const QByteArray& line : field.split('\n'))
            QVERIFY(line.trimmed().size() <= 76);
        QCOMPARE(decodeSubject(field), m.subject);
    }

    void longToField_isFoldedAfterCommasOnly() {
        MailMessage m = sample();
        QStringList many;
        for (int i = 0; i < 300; ++i)
            many << QStringLiteral("555000%1@vtext.com").arg(i, 4, 10, QLatin1Char('0'));
        m.toHeader = many.join(',');
        const QByteArray text = mail::composeMessage(m, QDateTime::currentDateTime(), "t");
        const qsizetype start = text.indexOf("To: ");
        QByteArray field = text.mid(start + 4, text.indexOf("\r\nReply-To") - start - 4);
        QVERIFY(field.contains("\r\n "));
        for (const QByteArray& line : field.split('\n'))
            QVERIFY(line.size() <= 998);
        field.replace("\r\n ", "");
        QCOMPARE(field, m.toHeader.toUtf8());

        // Lines are filled to exactly 998 characters and never one more.
        QStringList items;
        for (const int length : {500, 494, 500, 497, 500, 498})
            items << QString(length - 1, 'a');
        items << QString(10, 'b');
        m.toHeader = items.join(',');
        const QByteArray edge = mail::composeMessage(m, QDateTime::currentDateTime(), "t");
        const qsizetype to = edge.indexOf("To: ");
        QList<qsizetype> lengths;
        for (const QByteArray& line : edge.mid(to, edge.indexOf("\r\nReply-To") - to).split('\n'))
            lengths << line.size() - (line.endsWith('\r') ? 1 : 0);
        QCOMPARE(lengths, (QList<qsizetype>{998, 998, 501, 509}));
    }

    void lineBreaksInHeaders_areRefused_data() {
        QTest::addColumn<QString>("which");
        QTest::newRow("subject") << "subject";
        QTest::newRow("user") << "user";
        QTest::newRow("recipient") << "recipient";
        QTest::newRow("nul") << "nul";
    }
    void mailboxes_followTheSmtpGrammar() {
        for (const char* good : {"5555550100@vtext.com", "555-555-0199@msg.fi.google.com",
                                 "a.b+c_d~e@x-1.example", "x@localhost"})
            QVERIFY2(mail::isMailbox(QString::fromLatin1(good)), good);
        for (const char* bad :
             {"@vtext.com", "a@", "a b@x.com", "a@b@c.com", "a<b@x.com", ".a@x.com", "a..b@x.com",
              "a@-x.com", "a@x..com", "a@x_y.com", "a,b@x.com", "\"q\"@x.com", "a@x.com "})
            QVERIFY2(!mail::isMailbox(QString::fromLatin1(bad)), bad);
        QVERIFY(mail::isMailbox(QString(64, 'a') + "@x.com"));
        QVERIFY(!mail::isMailbox(QString(65, 'a') + "@x.com"));
        const QString longDomain = QString(63, 'b') + "." + QString(63, 'c') + "." +
                                   QString(63, 'd') + "." + QString(60, 'e');
        QVERIFY(mail::isMailbox("a@" + longDomain));   // 254 in all
        QVERIFY(!mail::isMailbox("ab@" + longDomain)); // 255
        QVERIFY(!mail::isMailbox(QString::fromUtf8("j\xc3\xb6@x.com")));
        // A refused recipient is named, cut at 300 characters.
        MailMessage m = sample();
        m.recipients = QStringList{"5555550100@vtext.com", QString(400, 'a') + " b@x.com"};
        QCOMPARE(mail::unsafeMessageReason(m),
                 std::optional<QString>("A recipient address is not valid: " + QString(300, 'a')));
    }

    void lineBreaksInHeaders_areRefused() {
        QFETCH(QString, which);
        MailMessage m = sample();
        if (which == "subject")
            m.subject = "Hi\r\nBcc: victim@example.com";
        else if (which == "user")
            m.userAddress = "ann\n@gmail.com";
        else if (which == "recipient")
            m.recipients[1] = "2@a.example>\r\nRCPT TO:<x@y";
        else
            m.subject = QStringLiteral("a") + QChar(0) + "b";
        const auto reason = mail::unsafeMessageReason(m);
        QVERIFY(reason.has_value());
        QVERIFY(reason->contains(QLatin1String("line break")));
        QVERIFY(!mail::unsafeMessageReason(sample()).has_value());
        auto spaced = sample();
        spaced.recipients << "a b@x.example";
        QVERIFY(mail::unsafeMessageReason(spaced)->contains(QLatin1String("a b@x.example")));
    }
};

QTEST_GUILESS_MAIN(TestMimeMessage)
#include "test_mime_message.moc"
