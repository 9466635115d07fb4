// The pure parts of the mail protocols: SMTP replies, dot-stuffing, the failure
// classification, and IMAP responses with literals.
#include "mail/imap_protocol.h"
#include "mail/smtp_protocol.h"

#include <QTest>

using mail::LinkProblem;
using mail::MailFailure;
using mail::SmtpExchange;

class TestMailProtocols : public QObject {
    Q_OBJECT
  private slots:
    void smtpReplies_comeWholeAndInOrder() {
        QByteArray in = "250-smtp.gmail.com\r\n250-PIPELINING\r\n250 AUTH LOGIN PLAIN\r\n354 Go";
        const auto ehlo = mail::takeReply(in);
        QVERIFY(ehlo.has_value());
        QCOMPARE(ehlo->code, 250);
        QCOMPARE(ehlo->lines.size(), 3);
        const auto offered = mail::capabilitiesOf(*ehlo);
        QVERIFY(offered.pipelining && offered.authPlain && offered.authLogin);
        QVERIFY(!mail::takeReply(in).has_value()); // "354 Go" has not ended yet
        in += "\r\nnonsense\r\n";
        QCOMPARE(mail::takeReply(in)->code, 354);
        QCOMPARE(mail::takeReply(in)->code, 0);
        QVERIFY(in.isEmpty());
        QCOMPARE((mail::SmtpReply{550, {"5.1.1 bad\x01"}}).text(),
                 QStringLiteral("550 5.1.1 bad?"));
    }

    void dotStuffing_doublesLeadingDotsAndEndsWithADot() {
        QCOMPARE(mail::dotStuffed(".a\r\nb.\r\n..c\r\n"), QByteArray("..a\r\nb.\r\n...c\r\n.\r\n"));
        QCOMPARE(mail::dotStuffed("no end"), QByteArray("no end\r\n.\r\n"));
    }

    void classification_firstRefusalDecides_data() {
        QTest::addColumn<int>("network");
        QTest::addColumn<bool>("greeted");
        QTest::addColumn<QString>("refused");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("kind");
        const int none = int(LinkProblem::None);
        QTest::newRow("login") << none << true << "AUTH"
                               << "535 5.7.8 bad" << int(MailFailure::LoginRefused);
        QTest::newRow("sender") << none << true << "MAIL"
                                << "553 not yours" << int(MailFailure::LoginRefused);
        QTest::newRow("too many") << none << true << "RCPT"
                                  << "452 4.5.3 too many" << int(MailFailure::TooManyRecipients);
        QTest::newRow("452 other") << none << true << "RCPT"
                                   << "452 4.2.2 full" << int(MailFailure::AddressRefused);
        QTest::newRow("data") << none << true << "DATA"
                              << "554 no" << int(MailFailure::General);
        QTest::newRow("refusal beats a lost link") << int(LinkProblem::Closed) << true << "RCPT"
                                                   << "550 no" << int(MailFailure::AddressRefused);
        QTest::newRow("closed before greeting") << int(LinkProblem::Closed) << false << ""
                                                << "" << int(MailFailure::Unreachable);
        QTest::newRow("closed after greeting") << int(LinkProblem::Closed) << true << ""
                                               << "" << int(MailFailure::General);
        QTest::newRow("stalled after greeting") << int(LinkProblem::Stalled) << true << ""
                                                << "" << int(MailFailure::General);
        QTest::newRow("deadline") << int(LinkProblem::Deadline) << true << ""
                                  << "" << int(MailFailure::General);
        QTest::newRow("untrusted") << int(LinkProblem::Untrusted) << false << ""
                                   << "" << int(MailFailure::Untrusted);
        QTest::newRow("unreachable") << int(LinkProblem::Unreachable) << false << ""
                                     << "" << int(MailFailure::Unreachable);
    }
    void classification_firstRefusalDecides() {
        QFETCH(int, network);
        QFETCH(bool, greeted);
        QFETCH(QString, refused);
        QFETCH(QString, reply);
        QFETCH(int, kind);
        SmtpExchange e;
        e.network = LinkProblem(network);
        e.greeted = greeted;
        e.refusedCommand = refused;
        e.refusal = reply;
        QCOMPARE(int(mail::classifyExchange(e).failure), kind);
        e.accepted = true;
        QVERIFY(mail::classifyExchange(e).succeeded());
    }

    void imapResponses_carryTheirLiteralsWhole() {
        bool broken = false;
        QByteArray in = "* 3 FETCH (UID 7 BODY[]<0> {5}\r\nab";
        QVERIFY(!mail::takeImapResponse(in, broken).has_value());
        in += "c\r\n)\r\na1 OK done\r\n";
        const auto fetch = mail::takeImapResponse(in, broken);
        QVERIFY(fetch.has_value() && !broken);
        QCOMPARE(fetch->literals, QByteArrayList{"abc\r\n"});
        QCOMPARE(fetch->line, QByteArray("* 3 FETCH (UID 7 BODY[]<0> {5})"));
        const auto done = mail::takeImapResponse(in, broken);
        QVERIFY(done->isTagged("a1") && done->status() == "OK");
        QByteArray huge = "* 1 FETCH (BODY[] {99999999}\r\n";
        QVERIFY(!mail::takeImapResponse(huge, broken).has_value());
        QVERIFY(broken);
    }

    void imapListsAndSearches() {
        QCOMPARE(mail::listedMailbox(
                     {"* LIST (\\All \\HasNoChildren) \"/\" \"[Gmail]/All Mail\"", {}}, "\\All"),
                 std::optional<QByteArray>("[Gmail]/All Mail"));
        QCOMPARE(mail::listedMailbox({"* LIST (\\HasNoChildren \\All) \".\" Archive", {}}, "\\all"),
                 std::optional<QByteArray>("Archive"));
        QVERIFY(!mail::listedMailbox({"* LIST (\\Sent) \"/\" \"Sent\"", {}}, "\\All"));
        QCOMPARE(mail::listedMailbox({"* LIST (\\All) \"/\" \"My \\\"All\\\" Mail\"", {}}, "\\All"),
                 std::optional<QByteArray>("My \"All\" Mail"));
        QCOMPARE(mail::searchResults({"* SEARCH 2 84 x 0", {}}), QList<quint32>({2, 84}));
        QCOMPARE(mail::imapQuoted("a\"b\\c"), QByteArray("\"a\\\"b\\\\c\""));
        QCOMPARE(mail::imapDate(QDate(2026, 12, 7)), QByteArray("7-Dec-2026"));
    }
};

QTEST_GUILESS_MAIN(TestMailProtocols)
#include "test_mail_protocols.moc"
