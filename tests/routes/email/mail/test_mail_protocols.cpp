// The pure parts of the mail protocols: SMTP replies, dot-stuffing, the failure
// classification, and IMAP responses with literals.
#include "routes/email/mail/imap_protocol.h"
#include "routes/email/mail/smtp_protocol.h"

#include <QTest>

using mail::LinkProblem;
using mail::MailFailure;
using mail::SmtpExchange;

class TestMailProtocols : public QObject {
    Q_OBJECT
  private slots:
    void smtpReplies_comeWholeAndInOrder() {
        QByteArray in = "250-smtp.gmail.com\r\n250-PIPELINING\r\n250 AUTH LOGIN PLAIN\r\n354 Go";
        mail::SmtpReplyReader replies;
        const auto ehlo = replies.take(in);
        QVERIFY(ehlo.has_value());
        QCOMPARE(ehlo->code, 250);
        QCOMPARE(ehlo->lines.size(), 3);
        const auto offered = mail::capabilitiesOf(*ehlo);
        QVERIFY(offered.pipelining && offered.authPlain && offered.authLogin);
        // The older "AUTH=" form, and a greeting line that is no capability.
        const auto older = mail::capabilitiesOf({250, {"PIPELINING STARTTLS", "AUTH=LOGIN"}});
        QVERIFY(older.authLogin && !older.authPlain && !older.pipelining && !older.startTls);
        QVERIFY(!replies.take(in).has_value()); // "354 Go" has not ended yet
        in += "\r\nnonsense\r\n";
        QCOMPARE(replies.take(in)->code, 354);
        QCOMPARE(replies.take(in)->code, 0);
        QVERIFY(in.isEmpty());
        QCOMPARE((mail::SmtpReply{550, {"5.1.1 bad\x01"}}).text(),
                 QStringLiteral("550 5.1.1 bad?"));
    }

    void smtpReplies_inAnyPiecesAndBounded_data() {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<int>("code"); // of the first reply; 0: no SMTP
        QTest::addColumn<int>("lines");
        QByteArray manyLines;
        for (int i = 0; i < 100; ++i)
            manyLines += "250-line\r\n";
        QTest::newRow("ehlo") << QByteArray("250-a\r\n250-PIPELINING\r\n250 8BITMIME\r\n") << 250
                              << 3;
        QTest::newRow("99 continuations and an end") << manyLines.left(99 * 10) + "250 end\r\n"
                                                     << 250 << 100;
        QTest::newRow("endless continuations") << manyLines + manyLines << 0 << 1;
        QTest::newRow("longest line") << "220 " + QByteArray(4090, 'x') + "\r\n" << 220 << 1;
        QTest::newRow("endless line") << "220 " + QByteArray(9000, 'x') << 0 << 1;
        QTest::newRow("no code") << QByteArray("HTTP/1.1 400\r\n") << 0 << 1;
        QTest::newRow("code alone") << QByteArray("250\r\n") << 250 << 1;
        QTest::newRow("two digits and a letter") << QByteArray("25x ok\r\n") << 0 << 1;
        QTest::newRow("empty line first") << QByteArray("\n220 ready\r\n") << 0 << 1;
    }

    void smtpReplies_inAnyPiecesAndBounded() {
        QFETCH(QByteArray, stream);
        QFETCH(int, code);
        QFETCH(int, lines);
        for (const qsizetype piece : {qsizetype(1), qsizetype(7), stream.size()}) {
            mail::SmtpReplyReader replies;
            QByteArray in;
            std::optional<mail::SmtpReply> reply;
            for (qsizetype at = 0; at < stream.size() && !reply; at += piece) {
                in += stream.mid(at, piece);
                reply = replies.take(in);
                QVERIFY(replies.waitingLines() < mail::kMostReplyLines);
                QVERIFY(in.size() <= mail::kLongestReplyLine + piece + 100 * 10);
            }
            QVERIFY2(reply.has_value(), qPrintable(QString::number(piece)));
            QCOMPARE(reply->code, code);
            QCOMPARE(reply->lines.size(), lines);
        }
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
        // Gmail's replies, and the steps that tell recipients and the message apart.
        const struct {
            const char* name;
            const char* step;
            const char* reply;
            MailFailure kind;
        } refusals[] = {
            {"credentials", "AUTH", "535 5.7.8 Username and Password not accepted",
             MailFailure::LoginRefused},
            {"app password only", "AUTH", "534 5.7.9 Application-specific password required",
             MailFailure::AppPasswordRequired},
            {"browser first", "AUTH", "534 5.7.14 Please log in with your web browser",
             MailFailure::WebLoginRequired},
            {"login required", "MAIL", "530 5.7.0 Authentication Required",
             MailFailure::LoginRefused},
            {"logins throttled", "AUTH", "454 4.7.0 Too many login attempts",
             MailFailure::TooManyLogins},
            {"454 elsewhere", "MAIL", "454 4.7.0 Try later", MailFailure::TryLater},
            {"quota at MAIL", "MAIL", "550 5.4.5 Daily user sending limit exceeded",
             MailFailure::DailyLimit},
            {"quota after data", "the message", "550 5.4.5 Daily sending quota exceeded",
             MailFailure::DailyLimit},
            {"421 greeting", "CONNECT", "421 4.7.0 Try again later", MailFailure::TryLater},
            {"421 at RCPT", "RCPT", "421 4.7.0 Temporary System Problem", MailFailure::TryLater},
            {"450 at RCPT", "RCPT", "450 4.2.1 receiving mail too quickly", MailFailure::TryLater},
            {"too many", "RCPT", "452 4.5.3 too many", MailFailure::TooManyRecipients},
            {"452 4.5.3 at MAIL", "MAIL", "452 4.5.3 too many", MailFailure::TryLater},
            {"452 other", "RCPT", "452 4.2.2 full", MailFailure::TryLater},
            {"no such user", "RCPT", "550 5.1.1 does not exist", MailFailure::AddressRefused},
            {"RCPT, no status", "RCPT", "553 bad", MailFailure::AddressRefused},
            {"content", "the message", "554 5.7.0 Message rejected", MailFailure::ContentRefused},
            {"5.7 at DATA", "DATA", "554 5.7.0 no", MailFailure::Refused},
            {"sender", "MAIL", "553 not yours", MailFailure::Refused},
            {"status-like text", "MAIL", "550 5.4.5x no", MailFailure::Refused},
            {"other after data", "the message", "552 5.3.4 too big", MailFailure::Refused},
        };
        for (const auto& r : refusals)
            QTest::newRow(r.name) << none << true << r.step << r.reply << int(r.kind);
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
        mail::ImapResponseReader reader;
        QByteArray in = "* 3 FETCH (UID 7 BODY[]<0> {5}\r\nab";
        QVERIFY(!reader.take(in).has_value());
        in += "c\r\n)\r";
        QVERIFY(!reader.take(in).has_value());
        in += "\na1 OK done\r\n";
        const auto fetch = reader.take(in);
        QVERIFY(fetch.has_value() && !reader.broken());
        QCOMPARE(fetch->literals, QByteArrayList{"abc\r\n"});
        QCOMPARE(fetch->line, QByteArray("* 3 FETCH (UID 7 BODY[]<0> {5})"));
        const auto done = reader.take(in);
        QVERIFY(done->isTagged("a1") && done->status() == "OK");
        QVERIFY(in.isEmpty());
        QCOMPARE(reader.bytesTaken(), qsizetype(52));
        in = "* 4 FETCH (BODY[] {0}\r\n)\r\n"; // an empty literal is a literal too
        const auto empty = reader.take(in);
        QVERIFY(empty.has_value());
        QCOMPARE(empty->line, QByteArray("* 4 FETCH (BODY[] {0})"));
        QCOMPARE(empty->literals, QByteArrayList{""});
    }

    void imapResponses_endAtTheirBounds_data() {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<bool>("broken");
        const QByteArray body(mail::kLongestLiteral, 'b');
        QByteArray chained = "* 1 FETCH (";
        for (int i = 0; i < 20; ++i)
            chained += "X {" + QByteArray::number(body.size()) + "}\r\n" + body + " ";
        QTest::newRow("largest body") << "* 1 FETCH (BODY[] {65536}\r\n" + body + ")\r\n" << false;
        QTest::newRow("body over 64 KiB") << QByteArray("* 1 FETCH (BODY[] {65537}\r\n") << true;
        QTest::newRow("longest line")
            << "* SEARCH " + QByteArray(mail::kLongestImapLine - 9, '1') + "\r\n"
            << false;
        QTest::newRow("line one byte longer")
            << "* SEARCH " + QByteArray(mail::kLongestImapLine - 8, '1') + "\r\n"
            << true;
        QTest::newRow("endless line") << "* SEARCH " + QByteArray(300 * 1024, '1') << true;
        QTest::newRow("chained literals") << chained << true;
        QTest::newRow("announced, never sent")
            << QByteArray("* 1 FETCH (BODY[] {99999999}\r\n") << true;
    }

    void imapResponses_endAtTheirBounds() {
        QFETCH(QByteArray, stream);
        QFETCH(bool, broken);
        mail::ImapResponseReader reader;
        QByteArray in;
        std::optional<mail::ImapResponse> response;
        for (qsizetype at = 0; at < stream.size() && !response && !reader.broken(); at += 4096) {
            in += stream.mid(at, 4096);
            response = reader.take(in);
            QVERIFY(reader.waitingBytes() <= mail::kLongestResponse);
        }
        QCOMPARE(reader.broken(), broken);
        QCOMPARE(response.has_value(), !broken);
    }

    // The message of a FETCH response is its BODY[] item, wherever it stands and however it
    // is sent; other items, literals among them, are not the message.
    void imapFetchItemsByName_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArrayList>("literals");
        QTest::addColumn<QByteArray>("body"); // "-" for none
        QTest::newRow("body only") << QByteArray("* 1 FETCH (UID 7 BODY[]<0> {3})")
                                   << QByteArrayList{"abc"} << QByteArray("abc");
        QTest::newRow("labels first, as a literal")
            << QByteArray("* 1 FETCH (X-GM-LABELS ({6}) UID 7 BODY[] {3})")
            << QByteArrayList{"\\Inbox", "abc"} << QByteArray("abc");
        QTest::newRow("body as a quoted string")
            << QByteArray("* 1 FETCH (BODY[] \"a \\\"b\\\" {1}\" UID 7)") << QByteArrayList{}
            << QByteArray("a \"b\" {1}");
        QTest::newRow("NIL") << QByteArray("* 1 FETCH (UID 7 BODY[] NIL)") << QByteArrayList{}
                             << QByteArray("-");
        QTest::newRow("flags only") << QByteArray("* 1 FETCH (FLAGS (\\Seen) UID 7)")
                                    << QByteArrayList{} << QByteArray("-");
        QTest::newRow("empty literal")
            << QByteArray("* 1 FETCH (BODY[] {0})") << QByteArrayList{""} << QByteArray("");
        QTest::newRow("literal announced but missing")
            << QByteArray("* 1 FETCH (UID 7 BODY[] {3})") << QByteArrayList{} << QByteArray("-");
        QTest::newRow("header fields are not the body")
            << QByteArray("* 1 FETCH (BODY[HEADER.FIELDS (FROM)] {4} BODY[] {3})")
            << QByteArrayList{"From", "abc"} << QByteArray("abc");
    }
    void imapFetchItemsByName() {
        QFETCH(QByteArray, line);
        QFETCH(QByteArrayList, literals);
        QFETCH(QByteArray, body);
        const auto found = mail::fetchedBody({line, literals});
        QCOMPARE(found.value_or("-"), body);
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
        QCOMPARE(mail::listedMailbox(
                     {"* LIST (\\HasNoChildren \\All) \"/\" {16}", {"[Gmail]/All Mail"}}, "\\All"),
                 std::optional<QByteArray>("[Gmail]/All Mail"));
        QCOMPARE(mail::listedMailbox({"* LIST (\\All) \"\\\\\" \"All Mail\"", {}}, "\\All"),
                 std::optional<QByteArray>("All Mail")); // a backslash as delimiter
        QCOMPARE(mail::listedMailbox({"* LIST (\\All) \"\\\"\" \"All Mail\"", {}}, "\\All"),
                 std::optional<QByteArray>("All Mail")); // a quote as delimiter
        QCOMPARE(mail::listedMailbox({"* LIST (\\All) \"/\" \"\"", {}}, "\\All"),
                 std::optional<QByteArray>("")); // an empty name is empty
        QVERIFY(!mail::listedMailbox({"* LIST (\\All) \"/\" All Mail", {}}, "\\All"));
        // A name that could not be sent back as one command is not taken.
        QVERIFY(!mail::listedMailbox({"* LIST (\\All) \"/\" {12}", {"All\r\nA2 FETCH"}}, "\\All"));
        QVERIFY(!mail::listedMailbox({QByteArray("* LIST (\\All) \"/\" \"A") + '\0' + "B\"", {}},
                                     "\\All"));
        QCOMPARE(mail::searchResults({"* SEARCH 2 84 x 0", {}}), QList<quint32>({2, 84}));
        QCOMPARE(mail::imapQuoted("a\"b\\c"), QByteArray("\"a\\\"b\\\\c\""));
        QCOMPARE(mail::imapDate(QDate(2026, 12, 7)), QByteArray("7-Dec-2026"));
    }
};

QTEST_GUILESS_MAIN(TestMailProtocols)
#include "test_mail_protocols.moc"
