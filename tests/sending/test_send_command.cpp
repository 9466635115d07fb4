#include "app/list_views.h"
#include "core/error_report.h"
#include "core/pointer.h"
#include "form_fixture.h"
#include "model/route.h"
#include "records/data_files.h"
#include "records/kept_file.h"
#include "records/pending_file.h"
#include "records/sent_log.h"
#include "routes/email/bounce_records.h"
#include "routes/email/email_route.h"
#include "routes/email/email_texts.h"
#include "routes/email/gmail_login.h"
#include "routes/email/replies.h"
#include "sending/send_command.h"
#include "sending/send_texts.h"
#include "test_files.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using mail::MailFailure;
using platform::Answer;

namespace {
QStringList numbered(int count) {
    QStringList rows;
    for (int i = 0; i < count; ++i)
        rows << QString::number(i);
    return rows;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A route of the tests' own that sends nothing: each phone a batch of its own, whose fate the
// script says ('T' taken, 'R' refused and the send ends, 'X' refused while it goes on, 'U'
// its answer never came); past the script, taken. It speaks in words of its own, needs no
// login and allows `allowance` phones a day.
class TestRoute final : public model::Route {
  public:
    TestRoute(QString script, qsizetype allowance, QStringList& explained)
        : explained(explained), script_(std::move(script)), allowance_(allowance) {}
    QString id() const override { return "test"; }
    model::RouteWords words() const override {
        return {"pigeon", "pigeons", "note never came back", "the loft's daily quota", "by pigeon"};
    }
    bool hasWhatItNeeds() const override { return true; }
    bool makeReady() override { return true; }
    model::SendPlan plan(const model::OutgoingText& text) override {
        model::SendPlan plan;
        for (const QString& phone : text.phones)
            plan.targets << model::PhoneTarget{phone, {}};
        return plan;
    }
    QList<model::Targets> batches(const model::Targets& targets) const override {
        QList<model::Targets> batches;
        for (const model::PhoneTarget& target : targets)
            batches << model::Targets{target};
        return batches;
    }
    model::RouteResult sendEach(const model::TextToSend&, const QList<model::Targets>& batches,
                                const model::RouteSteps& steps) override {
        model::RouteResult result;
        for (int i = 0; i < batches.size(); ++i) {
            if (i > 0 && !steps.goOn()) {
                result.stopped = true;
                break;
            }
            steps.sending(i);
            const QChar fate = i < script_.size() ? script_[i] : QChar('T');
            if (fate == 'X') {
                steps.refused(i, "the pigeon would not fly");
                continue;
            }
            if (fate == 'R')
                result.failure = core::Failure(1, "The route refused " + batches[i][0].phone);
            result.nextMayHaveGone = fate == 'U';
            if (fate != 'T')
                break;
            steps.taken(i, QStringLiteral("ref-%1").arg(i), {});
            ++result.taken;
        }
        return result;
    }
    qsizetype dailyAllowance() const override { return allowance_; }
    qsizetype partsOf(const model::TextToSend&) const override { return 1; }
    QString allowanceQuestion(qsizetype recent, qsizetype needed, qsizetype,
                              qsizetype fits) const override {
        return QStringLiteral("The loft flew %1 today; %2 fit of %3.")
            .arg(recent)
            .arg(fits)
            .arg(needed);
    }
    bool explain(const model::OutgoingText&, const core::Failure& failure, int) override {
        explained << failure.description();
        return true;
    }
    QStringList& explained;

  private:
    QString script_;
    qsizetype allowance_;
};

class TestOption final : public model::RouteOption {
  public:
    explicit TestOption(QString script, qsizetype allowance = 0)
        : script_(std::move(script)), allowance_(allowance) {}
    QString id() const override { return "test"; }
    QString label() override { return "Carrier pigeons"; }
    std::unique_ptr<model::Route> open(const model::CommandContext&,
                                       const QList<model::PendingSend>&,
                                       const model::Knowledge&) override {
        return std::make_unique<TestRoute>(script_, allowance_, explained);
    }
    QStringList explained; // what the route's boxes said of failures

  private:
    QString script_;
    qsizetype allowance_;
};

class ScriptedProgress final : public model::SendProgress {
  public:
    void show(const model::Progress& p) override {
        shown << QStringLiteral("%1/%2").arg(p.batchesDone).arg(p.batches);
    }
    bool stopAsked() override { return shown.size() > stopAfter; }
    void close() override { shown << "closed"; }
    QStringList shown;
    qsizetype stopAfter = 99;
};
} // namespace

class TestSendCommand : public QObject {
    Q_OBJECT
    std::unique_ptr<FormFixture> f;
    app::Form1* form = nullptr;

    QString logPath() const { return f->programFolder() + "/sentmessages.log"; }
    void fill(const QStringList& phones, const QStringList& carriers, const QList<bool>& ticks) {
        form->ListView1->clear();
        form->ListView2->clear();
        app::appendRows(form->ListView1, phones);
        for (qsizetype i = 0; i < carriers.size(); ++i)
            app::appendCarrier(form->ListView2, carriers[i], ticks.value(i, true));
    }
  private slots:
    void init() {
        f = std::make_unique<FormFixture>();
        form = &f->open();
        form->Text3->setText(" ann ");
        form->Text2->setText(" secret ");
        form->Text4->setText("Subject line");
        form->Text5->setPlainText("first\nsecond");
    }

    void expansion_isPhoneMajorWithTickedCarriersInOrder() {
        const auto e = email_route::planRecipients({"P1", "P2", "x@y.z"}, {"D1", "D3"}).targets;
        QCOMPARE(model::addressesOf(e), QStringList({"P1@D1", "P1@D3", "P2@D1", "P2@D3", "x@y.z"}));
        QCOMPARE(model::phonesOf(e), QStringList({"P1", "P2", "x@y.z"}));
        QCOMPARE(email_route::planRecipients({"P1", "x@y.z"}, {}).targets,
                 (model::Targets{{"x@y.z", {}}}));
        const auto twice =
            email_route::planRecipients({"P", "P", "555-555-0100", "5555550100"}, {"e"});
        QCOMPARE(model::addressesOf(twice.targets), QStringList({"P@e", "555-555-0100@e"}));
        QCOMPARE(twice.repeatedRows, 2);
    }

    void send_submitsLogsAndSaysDone() {
        fill({"P1", "P2"}, {"D1", "D2", "D3"}, {true, false, true});
        int styleAtDone = -1;
        f->desktop.whileBoxShown = [&](const ScriptedDesktop::Box&) {
            styleAtDone = form->pointer().style();
        };
        form->PushButton1_Click();
        QCOMPARE(f->mail.sent.size(), 1);
        const mail::MailMessage& m = f->mail.sent[0];
        QCOMPARE(m.userAddress, QStringLiteral("ann@gmail.com"));
        QCOMPARE(m.password, QStringLiteral("secret"));
        QCOMPARE(m.recipients, QStringList({"P1@D1", "P1@D3", "P2@D1", "P2@D3"}));
        QCOMPARE(m.toHeader, QStringLiteral("P1@D1,P1@D3,P2@D1,P2@D3"));
        QCOMPARE(m.subject, QStringLiteral("Subject line"));
        QCOMPARE(m.body, QStringLiteral("first\nsecond"));
        QCOMPARE(f->desktop.boxTexts(), QStringList({"Done."}));
        QCOMPARE(styleAtDone, int(core::kDefaultPointer));
        const QString stamp = QLocale::system().toString(f->clock.time, QLocale::ShortFormat);
        QCOMPARE(readAll(logPath()), (stamp + "\r\nTo: P1,P2\r\nSubject:Subject line\r\nBody:first"
                                              "\r\nsecond\r\n\r\n\r\n")
                                         .toLocal8Bit());
        form->PushButton1_Click(); // the same message again, a second record
        QCOMPARE(readAll(logPath()).count("To: P1,P2\r\n"), 2);
        QCOMPARE(form->ListView1->topLevelItemCount(), 2); // the window is unchanged
    }

    void userAddress_getsTheDomainOnlyWithoutAnAt() {
        fill({"P"}, {"D"}, {});
        form->Text3->setText(" ann@example.org ");
        form->PushButton1_Click();
        QCOMPARE(f->mail.sent[0].userAddress, QStringLiteral("ann@example.org"));
        QCOMPARE(email_route::userAddress(" ann "), QStringLiteral("ann@gmail.com"));
    }

    void unusableAddresses_areNamedBeforeConnecting() {
        fill({"5555550100> NOTIFY=SUCCESS", "5555550101", "1,2@x.example", "(555)5550102", "a b",
              "\xe9"},
             {"ok.example", "bad carrier " + QString(78, 'x') + ".example", "skip me"},
             {true, true, false});
        form->PushButton1_Click();
        QVERIFY(f->mail.sent.isEmpty());
        const QString opening = "Message not sent: these entries cannot form e-mail addresses.";
        const QString advice = "A phone number may hold letters, digits, dots and hyphens (no "
                               "blanks, commas, brackets or quotes); a carrier is a domain name "
                               "such as vtext.com. Correct or remove them, then send again.";
        QCOMPARE(
            f->desktop.boxTexts(),
            QStringList{paragraphs({opening,
                                    "Phone numbers: \"5555550100> NOTIFY=SUCCESS\", "
                                    "\"1,2@x.example\", \"(555)5550102\" and 2 more",
                                    // a long entry is cut at 80 characters
                                    "Carriers: \"bad carrier " + QString(68, 'x') + '"', advice})});
        // An address may be 254 characters long, not one more.
        const QString labels = QString(63, 'a') + '.' + QString(63, 'b') + '.' + QString(63, 'c');
        const QString longest = labels + '.' + QString(51, 'd'); // 10 + 1 + 243 = 254
        const QString tooLong = labels + '.' + QString(52, 'd');
        f->desktop.boxes.clear();
        fill({"5555550100"}, {longest, tooLong}, {true, true});
        form->PushButton1_Click();
        QVERIFY(f->mail.sent.isEmpty());
        QCOMPARE(
            f->desktop.boxTexts(),
            QStringList{paragraphs({opening, "Carriers: \"" + tooLong.left(80) + '"', advice})});
        f->desktop.boxes.clear();
        fill({"5555550100"}, {longest}, {true});
        form->PushButton1_Click();
        QCOMPARE(f->mail.sent.size(), 1);
        QCOMPARE(f->mail.sent[0].recipients, QStringList{"5555550100@" + longest});
        f->mail.sent.clear();

        form->Text3->setText("ann smith");
        fill({"5555550100"}, {"ok.example"}, {});
        form->PushButton1_Click();
        QVERIFY(f->mail.sent.isEmpty());
        QVERIFY(f->desktop.boxes.last().text.startsWith(
            "Message not sent: the user name \"ann smith@gmail.com\""));
    }

    void noPhones_saysSoWithoutAQuestion() {
        fill({}, {"D"}, {});
        form->PushButton1_Click();
        QCOMPARE(f->desktop.boxTexts(), QStringList({"No phone numbers."}));
        QVERIFY(f->mail.sent.isEmpty());
    }

    void exactly100_needNoQuestion() {
        QStringList phones, carriers;
        for (int i = 0; i < 10; ++i) {
            phones << QString::number(i);
            carriers << QStringLiteral("c%1.example").arg(i);
        }
        fill(phones, carriers, {});
        form->PushButton1_Click();
        QCOMPARE(f->mail.sent.size(), 1);
        QCOMPARE(f->mail.sent[0].recipients.size(), 100);
        QCOMPARE(f->desktop.boxTexts(), QStringList({"Done."}));
    }

    void over100_asksAndGoesOnOnlyOnYes() {
        fill(numbered(34), {"a.example", "b.example", "c.example"}, {});
        f->desktop.answers = {Answer::No};
        form->PushButton1_Click();
        QVERIFY(f->mail.sent.isEmpty());
        QCOMPARE(f->desktop.boxes.size(), 1);
        QCOMPARE(f->desktop.boxes[0].buttons, platform::Buttons::YesNo);
        QCOMPARE(f->desktop.boxes[0].text,
                 QStringLiteral(
                     "Your message has too many recipients (34 phones at 3 carriers). \r\n\r\nFor "
                     "more information regarding Google's sending limits, review article "
                     "https://support.google.com/mail/answer/22839.\r\n\r\nProceeding without "
                     "decreasing number of phones to 33 phones at 3 carriers (max. 100 "
                     "recipients) may disable Your Google account.\r\n\r\nProceed anyway?"));
        QVERIFY(!QFile::exists(logPath()));
        f->desktop.answers = {Answer::Yes};
        form->PushButton1_Click();
        // Yes: two messages, each phone's three addresses in one of them.
        QCOMPARE(f->mail.sent.size(), 2);
        QCOMPARE(f->mail.sent[0].recipients.size(), 99);
        QCOMPARE(f->mail.sent[1].recipients,
                 QStringList({"33@a.example", "33@b.example", "33@c.example"}));
    }

    void submissionEndedByALimit_isReportedAtItsLineAndLogsNothing() {
        fill({"P1"}, {"D1"}, {});
        f->mail.result = {MailFailure::General,
                          "The exchange took longer than 180 s. (after the message)"};
        form->PushButton1_Click();
        QCOMPARE(f->desktop.boxTexts(),
                 QStringList{"The exchange took longer than 180 s. (after the message)\r\nin "
                             "Velmora2017/04/05.Form1.PushButton1_Click at line 182\r\rPlease "
                             "email screenshot of this message to support@quorvane.com"});
        QVERIFY(!QFile::exists(logPath()));
        QCOMPARE(form->pointer().style(), int(core::kDefaultPointer));
    }

    void noTickedCarrier_isToldPlainlyAndNothingGoesOut() {
        fill({"P1"}, {"D1"}, {false});
        form->PushButton1_Click();
        QCOMPARE(f->desktop.boxTexts(), QStringList({"No carriers ticked."}));
        QCOMPARE(f->desktop.boxes[0].buttons, platform::Buttons::Ok);
        QCOMPARE(f->desktop.boxes[0].icon, platform::Icon::None);
        QVERIFY(f->mail.sent.isEmpty());
        QVERIFY(!QFile::exists(logPath()));
        QCOMPARE(form->pointer().style(), int(core::kDefaultPointer));
        // A row that is a full address needs no carrier and goes there alone.
        const QString full = "5551234567@msg.fi.google.com";
        fill({full}, {"D1"}, {false});
        form->PushButton1_Click();
        QCOMPARE(f->mail.sent.last().recipients, QStringList{full});
        fill({"P1", full, "P2"}, {"D1", "D2"}, {});
        form->PushButton1_Click();
        QCOMPARE(f->mail.sent.last().recipients,
                 QStringList({"P1@D1", "P1@D2", full, "P2@D1", "P2@D2"}));
        QCOMPARE(readAll(logPath()).count("To: P1," + full.toLatin1() + ",P2\r\n"), 1);
    }

    void refusedLogin_offersThePicturesOnYes() {
        fill({"P1"}, {"D1"}, {});
        f->mail.result = {MailFailure::LoginRefused, "535 authentication failed"};
        f->desktop.answers = {Answer::No, Answer::Yes};
        form->PushButton1_Click();
        QCOMPARE(f->desktop.boxTexts(), QStringList({email_route::loginQuestion()}));
        QCOMPARE(f->desktop.boxes[0].buttons, platform::Buttons::YesNo);
        QVERIFY(f->desktop.opened.isEmpty());
        form->PushButton1_Click();
        const QString pictures = f->programFolder() + "/Pictures/";
        QCOMPARE(f->desktop.opened, QStringList({'"' + pictures + "less-secure-apps1.jpg\"",
                                                 '"' + pictures + "less-secure-apps2.jpg\""}));
        QCOMPARE(f->desktop.boxes.size(), 2);
        QVERIFY(!QFile::exists(logPath()));
        QCOMPARE(form->pointer().style(), int(core::kDefaultPointer));
        QCOMPARE(email_route::loginQuestion(),
                 QStringLiteral(
                     "Message could not be sent to the SMTP server.\r\n\r\nGmail did not accept "
                     "the user name and password.\r\n\r\nGmail accepts only an app password "
                     "from programs like this one. To make one: turn on 2-Step Verification in "
                     "your Google Account, then create an app password in its security settings "
                     "(search for \"App passwords\"), and type its 16 letters here as the "
                     "password.\r\n\r\nWould you like to see pictures of where the app "
                     "password page is and what an app password looks like?"));
    }

    void refusedRecipients_explainTheLimit() {
        fill(numbered(40), {"a.example", "b.example", "c.example"}, {});
        f->desktop.answers = {Answer::Yes};
        f->mail.result = {MailFailure::TooManyRecipients,
                          "452 4.5.3 Your message has too many recipients"};
        form->PushButton1_Click();
        QCOMPARE(f->desktop.boxes.size(), 2);
        QCOMPARE(f->desktop.boxes[1].text,
                 QStringLiteral("Message could not be sent to the SMTP server.\r\n\r\nYour message "
                                "has too many recipients. (40 phones at 3 carriers). \r\n\r\nFor "
                                "more information regarding Google's sending limits, review "
                                "article https://support.google.com/mail/answer/22839.\r\n\r\n"
                                "Please decrease number of phones to 33 phones at 3 carriers "
                                "(max. 100 recipients) to not disable Your Google account."));
        QCOMPARE(f->desktop.boxes[1].buttons, platform::Buttons::Ok);
        QVERIFY(!QFile::exists(logPath()));
    }

    void failureKinds_eachSayWhatHappenedAndEndTheSend_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("ports"); // tried, as the mail layer says
        QTest::addColumn<QStringList>("refused");
        QTest::addColumn<QString>("box");
        const QStringList four{"a@x", "b@x", "c@x", "d@x"};
        const QString again = "Please check your Internet connection, then send again.";
        const QString check = "Nothing was sent. Check the phone numbers and carriers, then send "
                              "again.";
        QTest::newRow("unreachable")
            << int(MailFailure::Unreachable) << "" << four
            << paragraphs({"Message could not be sent: smtp.gmail.com could not be reached on "
                           "port 465.",
                           "Reason: Connection refused", again});
        QTest::newRow("unreachable on both ports")
            << int(MailFailure::Unreachable) << "465 or 587" << four
            << paragraphs({"Message could not be sent: smtp.gmail.com could not be reached on "
                           "port 465 or 587.",
                           "Reason: Connection refused", again});
        QTest::newRow("untrusted")
            << int(MailFailure::Untrusted) << "" << four
            << paragraphs({"Message could not be sent: the identity of smtp.gmail.com could not "
                           "be verified, so neither your password nor your message was sent.",
                           "Reason: Connection refused",
                           "Networks that intercept secure connections (some public or company "
                           "networks) cause this; try another network."});
        QTest::newRow("addresses refused")
            << int(MailFailure::AddressRefused) << "" << four
            << paragraphs({"Message could not be sent: the server refused these addresses: a@x, "
                           "b@x, c@x and 1 more.",
                           "Server reply: 553 5.1.3 bad", check});
        QTest::newRow("one address refused")
            << int(MailFailure::AddressRefused) << "" << QStringList{"a@x"}
            << paragraphs({"Message could not be sent: the server refused the address a@x.",
                           "Server reply: 553 5.1.3 bad", check});
    }
    void failureKinds_eachSayWhatHappenedAndEndTheSend() {
        QFETCH(int, kind);
        QFETCH(QString, ports);
        QFETCH(QStringList, refused);
        QFETCH(QString, box);
        fill({"P1"}, {"D1"}, {});
        f->mail.result = {MailFailure(kind), "Connection refused", refused, "553 5.1.3 bad"};
        f->mail.result.triedPorts = ports;
        form->PushButton1_Click();
        QCOMPARE(f->desktop.boxes.size(), 1);
        const auto& shown = f->desktop.boxes[0];
        QCOMPARE(shown.text, box);
        QCOMPARE(shown.icon, platform::Icon::None);
        QCOMPARE(shown.title, QStringLiteral("Parlivo"));
        QVERIFY(!QFile::exists(logPath()));
        QCOMPARE(form->pointer().style(), int(core::kDefaultPointer));
    }

    void unwritableLog_isReportedAndTheSendStillSaysDone() {
        fill({"P1"}, {"D1"}, {});
        QDir().mkpath(logPath()); // a folder where the log should be
        form->PushButton1_Click();
        QCOMPARE(f->desktop.boxes.size(), 2);
        QVERIFY(f->desktop.boxes[0].text.contains(QLatin1String("at line 186")));
        QCOMPARE(f->desktop.boxes[1].text, QStringLiteral("Done."));
    }

    // A full disk (a file-size limit standing in for it): the rest that cannot be written
    // sends nothing; a log record that cannot be written leaves the log as it was, and the
    // message taken is still remembered, the rest kept.
    // A kept text whose first addresses may have gone already, offered again and refused
    // before anything goes: it stays kept with its mark, and the next offer still warns.
    void keptTextRefusedAgain_keepsItsMayHaveGoneMark() {
        const QString keptPath = f->dataFolder() + "/kept-sends.tsv";
        const model::KeptSend kept{f->clock.time.toUTC(),
                                   "Hi",
                                   "there",
                                   QStringList{"5550000001@a.example", "5550000002@a.example"},
                                   1,
                                   "email"};
        QVERIFY(records::saveKeptSends(keptPath, {kept}));
        f->mail.result = {MailFailure::Unreachable, "no route"};
        f->desktop.answers = {Answer::Yes};
        form->PushButton1_Click();
        QCOMPARE(records::loadKeptSends(keptPath, nullptr), QList<model::KeptSend>{kept});
        QVERIFY(f->desktop.boxTexts().first().contains("may have gone out already"));
        QVERIFY(f->desktop.boxTexts().last().contains("could not be reached"));
    }

    // 500 recipients stamped four weeks ahead (sent while the clock ran ahead) hold the
    // allowance as if sent now: for 24 hours, not four weeks.
    void sendsStampedAhead_holdTheAllowanceADayAtMost() {
        const QString pending = f->dataFolder() + "/delivery-pending.tsv";
        QStringList addresses;
        for (int i = 0; i < 500; ++i)
            addresses << QStringLiteral("555%1@a.example").arg(i, 7, 10, QLatin1Char('0'));
        QVERIFY(records::savePendingSends(
            pending,
            {{"ahead@x", f->clock.time.toUTC().addDays(28), "stamp", "Hi", addresses, {}, true}}));
        fill({"5551230000"}, {"a.example"}, {true});
        form->PushButton1_Click(); // No to the question: nothing goes
        QCOMPARE(f->desktop.boxTexts(), QStringList{email_route::allowanceQuestion(
                                            500, 1, email_route::kGmailDailyRecipients, 0)});
        f->clock.time = f->clock.time.addSecs(24 * 3600 + 1);
        form->PushButton1_Click();
        QCOMPARE(f->desktop.boxTexts().last(), QStringLiteral("Done."));
        QCOMPARE(f->mail.sent.size(), 1);
    }

    void fullDisk_losesNeitherTheLogNorTheRest() {
        const QByteArray log(8000, 'x');
        QFile file(logPath());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(log) == log.size());
        file.close();
        const QString keptPath = f->dataFolder() + "/kept-sends.tsv";
        const model::KeptSend earlier{f->clock.time.toUTC(), "s", "b", {"1@a.example"}, 0, "email"};
        QVERIFY(records::saveKeptSends(keptPath, {earlier}));
        fill(numbered(34), {"a.example", "b.example", "c.example"}, {});
        const auto sendWithin = [&](rlim_t bytes) {
            const auto ignored = std::signal(SIGXFSZ, SIG_IGN);
            rlimit was{};
            getrlimit(RLIMIT_FSIZE, &was);
            rlimit limit = was;
            limit.rlim_cur = bytes;
            setrlimit(RLIMIT_FSIZE, &limit);
            f->desktop.answers = {Answer::No, Answer::Yes}; // keep the earlier text; Yes to 102
            form->PushButton1_Click();
            setrlimit(RLIMIT_FSIZE, &was);
            std::signal(SIGXFSZ, ignored);
        };
        sendWithin(200); // no room for the rest
        QVERIFY(f->mail.sent.isEmpty());
        QVERIFY(f->desktop.boxTexts().last().startsWith("Parlivo could not write its list of "
                                                        "recipients still to go"));
        QCOMPARE(records::loadKeptSends(keptPath, nullptr), QList<model::KeptSend>{earlier});
        sendWithin(8020); // room for the rest, not for a log record
        QCOMPARE(f->mail.sent.size(), 1);
        QCOMPARE(f->desktop.boxTexts().last(),
                 paragraphs({"Sent to 33 phones in 1 of 2 messages; they wait for their delivery "
                             "report, but the log could not name them.",
                             "Not sent to 1 phone: 33. Parlivo keeps them and offers them again "
                             "on \"Send Message\".",
                             "Why:\r\nThe log could not be written, so the send stopped after the "
                             "message in flight: " +
                                 f->desktop.boxTexts().last().section(": ", -1)}));
        QCOMPARE(readAll(logPath()), log);
        QCOMPARE(records::loadPendingSends(f->dataFolder() + "/delivery-pending.tsv")
                     .value(0)
                     .addresses.size(),
                 99);
        QCOMPARE(records::loadKeptSends(keptPath, nullptr).value(1).addresses,
                 QStringList({"33@a.example", "33@b.example", "33@c.example"}));
    }

    void log_isPrivateAndNeverAFifoLinkOrOthersFile() {
        fill({"P1"}, {"D1"}, {});
        const mode_t before = ::umask(0);
        const QString fresh = f->dataFolder() + "/new/deeper/sentmessages.log";
        records::WriteSentLog(fresh, "r");
        QCOMPARE(descriptorsOn(fresh), 0);
        ::umask(before);
        QCOMPARE(QFile::permissions(fresh) & 0x0077, QFile::Permissions());
        QCOMPARE(QFile::permissions(f->dataFolder() + "/new") & 0x0077, QFile::Permissions());
        QFile::setPermissions(fresh, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        records::WriteSentLog(fresh, "r");
        QCOMPARE(QFile::permissions(fresh) & QFile::ReadOther, QFile::Permissions());

        QVERIFY(::mkfifo(QFile::encodeName(logPath()).constData(), 0600) == 0);
        form->PushButton1_Click(); // would block for ever on the FIFO
        QCOMPARE(f->desktop.boxes.size(), 2);
        QVERIFY(f->desktop.boxes[0].text.contains(QLatin1String("at line 186")));
        QFile::remove(logPath());

        QVERIFY(QFile::link(fresh, logPath()));
        QVERIFY_THROWS_EXCEPTION(core::Failure, records::WriteSentLog(logPath(), "x"));
        QCOMPARE(readAll(fresh), QByteArray("r\r\nr\r\n"));
        if (::chown(QFile::encodeName(fresh).constData(), 65534, 65534) == 0) // as root
            QVERIFY_THROWS_EXCEPTION(core::Failure, records::WriteSentLog(fresh, "x"));
    }

    void logPath_fallsBackToTheDataFolder() {
        const QString program = f->programFolder();
        QCOMPARE(records::sentLogPath(program, f->dataFolder()), program + "/sentmessages.log");
        const QString missing = f->folder.path() + "/not-a-folder/sub";
        QCOMPARE(records::sentLogPath(missing, f->dataFolder()),
                 f->dataFolder() + "/sentmessages.log");
        if (geteuid() != 0) { // permission bits do not bind the superuser
            QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
            QCOMPARE(records::sentLogPath(program, f->dataFolder()),
                     f->dataFolder() + "/sentmessages.log");
            QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        records::WriteSentLog(f->dataFolder() + "/new/sentmessages.log", "r");
        QCOMPARE(readAll(f->dataFolder() + "/new/sentmessages.log"), QByteArray("r\r\n"));
    }

    void viewLog_opensTheFileOrSaysNothingIsStored() {
        form->PushButton2_Click();
        QCOMPARE(f->desktop.boxTexts(), QStringList({"No message sent has been stored."}));
        QVERIFY(f->desktop.viewers.isEmpty());
        fill({"P1"}, {"D1"}, {});
        form->PushButton1_Click();
        f->desktop.boxes.clear();
        form->PushButton2_Click();
        QCOMPARE(f->desktop.viewers, QStringList({logPath()}));
        f->desktop.viewerStarts = false;
        form->PushButton2_Click();
        QVERIFY(f->desktop.boxes[0].text.contains(
            QLatin1String("Form1.PushButton2_Click at line 104")));
    }

    // The send's flow with a route of its own: what each phone's fate leaves in the log, the
    // pending sends, the kept rest and the box, in the route's own words; then the next "Send
    // Message", with no login typed, offers what was kept.
    void testRoute_throughTheSendFlow_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("stopAfter");
        QTest::addColumn<int>("taken");
        QTest::addColumn<int>("uncertain");
        QTest::addColumn<QString>("why");
        QTest::newRow("refused") << "TTR" << 99 << 2 << 0
                                 << "Not sent to 2 phones: john@a.com, john@b.com. Parlivo keeps "
                                    "them and offers them again on \"Send Message\".\r\n\r\n";
        QTest::newRow("uncertain") << "TTU" << 99 << 2 << 1
                                   << "The next pigeon may have been sent: its note never came "
                                      "back. It went to 1 phone: john@a.com.";
        QTest::newRow("stopped") << "" << 1 << 1 << 0
                                 << "The send was stopped as you asked, after the pigeon in "
                                    "flight.";
        QTest::newRow("every one refused on the way")
            << "XXXX" << 99 << 0 << 0
            << "Nothing was sent.\r\n\r\nNot sent to 4 phones: 5550000001, 5550000002, "
               "john@a.com and 1 more. Parlivo keeps them and offers them again on \"Send "
               "Message\".\r\n\r\nWhy:\r\n5550000001: the pigeon would not fly\r\n";
        QTest::newRow("every one") << "" << 99 << 4 << 0 << "Done.";
    }
    void testRoute_throughTheSendFlow() {
        QFETCH(QString, script);
        QFETCH(int, stopAfter);
        QFETCH(int, taken);
        QFETCH(int, uncertain);
        QFETCH(QString, why);
        ScriptedDesktop desktop;
        FixedClock clock;
        core::WindowPointer pointer(nullptr);
        QTemporaryDir folder;
        TestOption route(script);
        ScriptedProgress progress;
        progress.stopAfter = stopAfter;
        model::CommandContext c{desktop,
                                clock,
                                "Parlivo",
                                pointer,
                                folder.path(),
                                {folder.filePath("log"), folder.filePath("pending"),
                                 folder.filePath("kept"), folder.filePath("known")},
                                &progress};
        // Full-address rows go, are logged and are offered again as typed, each its own.
        const QStringList phones{"5550000001", "5550000002", "john@a.com", "john@b.com"};
        sending::sendMessage(c, {phones, {}, "Hi", "there"}, route);
        QByteArray log;
        for (int i = 0; i < taken; ++i)
            log += (records::sentLogRecord(clock.time, phones[i], "Hi", "there") + "\r\n")
                       .toLocal8Bit();
        QCOMPARE(readAll(c.files.log), log);
        const auto pending = records::loadPendingSends(c.files.pending);
        QCOMPARE(pending.size(), taken);
        for (int i = 0; i < taken; ++i)
            QCOMPARE(pending[i], (model::PendingSend{QStringLiteral("ref-%1").arg(i),
                                                     clock.time.toUTC(),
                                                     records::logStamp(clock.time),
                                                     "Hi",
                                                     {phones[i]},
                                                     {},
                                                     false,
                                                     1,
                                                     "test"}));
        QString keptAs;
        const auto kept = records::loadKeptSends(c.files.kept, &keptAs);
        QCOMPARE(kept.size(), taken < 4 ? 1 : 0);
        if (taken < 4)
            QCOMPARE(kept[0], (model::KeptSend{clock.time.toUTC(), "Hi", "there", phones.mid(taken),
                                               uncertain, "test"}));
        if (taken < 4) // the phones the offer names
            QCOMPARE(model::phonesOf(model::targetsOf(kept[0].addresses)), phones.mid(taken));
        QCOMPARE(desktop.boxes.size(), 1);
        QVERIFY2(desktop.boxes[0].text.contains(why), qPrintable(desktop.boxes[0].text));
        QCOMPARE(desktop.boxes[0].text.startsWith(QStringLiteral("Sent to %1 phone").arg(taken)),
                 taken > 0 && taken < 4);
        QCOMPARE(progress.shown.last(), QStringLiteral("closed"));
        QCOMPARE(route.explained, QStringList());
        if (taken == 4)
            return;
        desktop.answers = {Answer::No}; // the offer, with no login typed; the text stays kept
        sending::sendMessage(c, {{}, {}, "Hi", "there"}, route);
        QCOMPARE(desktop.boxes[1].text.section("\r\n", 0, 0),
                 QStringLiteral("A text kept on %1 for %2 has not gone out yet (subject: \"Hi\").")
                     .arg(records::logStamp(clock.time), sending::phonesText(4 - taken)));
        QCOMPARE(desktop.boxes[1].text.contains("1 of its recipients were in a pigeon whose note "
                                                "never came back"),
                 uncertain > 0);
    }

    // A route's allowance in its own words: the kept text's offer and what the allowance kept,
    // and a text kept for another route left for it.
    void testRoute_speaksForItselfOfItsAllowance() {
        const QString keptPath = f->dataFolder() + "/kept-sends.tsv";
        const QDateTime now = f->clock.time.toUTC();
        const model::KeptSend byMail{now, "Mail", "x", {"5550000009@a.example"}, 0, "email"};
        const model::KeptSend byTest{now, "Hi", "there", {"1", "2", "3", "4"}, 0, "test"};
        QVERIFY(records::saveKeptSends(keptPath, {byMail, byTest}));
        QVERIFY(records::savePendingSends(f->dataFolder() + "/delivery-pending.tsv",
                                          {{"r", now, "s", "Hi", {"9"}, {}, false, 1, "test"}}));
        TestOption route("", 3);
        model::CommandContext c{
            f->desktop,      f->clock, "Parlivo",
            form->pointer(), "",       records::dataFiles(f->programFolder(), f->dataFolder())};
        f->desktop.answers = {Answer::Yes};
        sending::sendMessage(c, {{"5"}, {}, "New", "one"}, route);
        const QStringList boxes = f->desktop.boxTexts();
        QCOMPARE(boxes.size(), 2);
        QVERIFY2(boxes[0].contains("The loft's daily quota leaves room for 2 of its 4 recipients "
                                   "now; the rest stays kept."),
                 qPrintable(boxes[0]));
        QCOMPARE(boxes[1], "Sent to 2 phones in 2 of 2 pigeons; the log names them.\r\n\r\nKept "
                           "for later to stay within the loft's daily quota: 2 phones: 3, 4. "
                           "Parlivo keeps them and offers them again on \"Send Message\" when "
                           "the loft's daily quota leaves room.");
        auto kept = records::loadKeptSends(keptPath, nullptr);
        QCOMPARE(kept,
                 (QList<model::KeptSend>{byMail, {now, "Hi", "there", {"3", "4"}, 0, "test"}}));
        // Nothing fits today: the route's own question, and on No nothing goes.
        f->desktop.boxes.clear();
        sending::sendMessage(c, {{"5"}, {}, "New", "one"}, route);
        QCOMPARE(f->desktop.boxTexts(), QStringList{"The loft flew 3 today; 0 fit of 1."});
    }

    void help_isSixParagraphsJoinedByCarriageReturns() {
        form->PushButton8_Click();
        const QString text = f->desktop.boxes.value(0).text;
        QCOMPARE(text.count(QLatin1Char('\r')), 10);
        QCOMPARE(text.count(QLatin1Char('\n')), 0);
        QVERIFY(text.startsWith(QLatin1String("IMAP must be enabled on your Gmail account to use "
                                              "this software. \r\rTo do this")));
        QVERIFY(text.endsWith(QLatin1String("domain logins such as someone@yourcompany.com")));
        QCOMPARE(f->desktop.boxes[0].title, QStringLiteral("Parlivo"));
    }
};

QTEST_MAIN(TestSendCommand)
#include "test_send_command.moc"
