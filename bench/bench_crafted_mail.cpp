// "View Log" against a mailbox that anyone could fill: fifty crafted bounces of each kind in a
// private Dovecot (plain texts naming 1,400 addresses, reports naming 7,400 Message-IDs,
// nested multipart bombs, reports of 800 recipients), and sends of 2,000 and 35,000 addresses
// whose fifty reports each name 500 of them. Each prints the longest pause of the event loop
// (target 50 ms) and the check's time (target 8 s), beside a check of fifty ordinary Gmail
// bounces in the same run. Then 5,000 replies against a Workspace account's four days of sends.
#include "bench_util.h"
#include "local_dovecot.h"
#include "local_smtp_server.h"
#include "records/pending_file.h"
#include "records/sent_log.h"
#include "routes/email/mailbox_news.h"
#include "routes/email/net/imap_bounce_reader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

namespace {
const QByteArray kSendId = "crafted.1@gmail.com";

QByteArray address(int i) {
    return "555" + QByteArray::number(i).rightJustified(7, '0') + "@vtext.com";
}

QByteArray head(const QByteArray& type) {
    return "From: Mail Delivery Subsystem <mailer-daemon@googlemail.com>\r\nTo: ann@gmail.com\r\n"
           "Subject: Undeliverable: Meeting moved\r\nIn-Reply-To: <" +
           kSendId + ">\r\nMIME-Version: 1.0\r\nContent-Type: " + type + "\r\n\r\n";
}

QByteArray report(int from, int count) {
    QByteArray groups;
    for (int i = from; i < from + count; ++i)
        groups += "\r\nFinal-Recipient: rfc822; " + address(i) +
                  "\r\nAction: failed\r\n"
                  "Status: 5.1.1\r\n";
    return head("multipart/report; report-type=delivery-status; boundary=\"b\"") +
           "--b\r\nContent-Type: text/plain\r\n\r\nNot delivered.\r\n--b\r\nContent-Type: "
           "message/delivery-status\r\n\r\nReporting-MTA: dns; googlemail.com\r\n" +
           groups + "--b--\r\n";
}

QByteArray plainAddresses(int) {
    QByteArray text;
    for (int i = 0; i < 1400; ++i)
        text += address(i) + " 550 5.1.1 user unknown\r\n";
    return head("text/plain") + text;
}

QByteArray manyIds(int) {
    QByteArray ids = "References:";
    for (int i = 0; i < 7400; ++i)
        ids += " <" + QByteArray::number(i) + "@x>\r\n";
    return ids + head("text/plain") + "Undeliverable.\r\n";
}

QByteArray bomb(int) {
    QByteArray open;
    QByteArray close;
    for (int depth = 0; depth < 40; ++depth) {
        const QByteArray boundary = "d" + QByteArray::number(depth);
        open += "--" + boundary + "\r\nContent-Type: multipart/mixed; boundary=\"d" +
                QByteArray::number(depth + 1) + "\"\r\n\r\n";
        for (int part = 0; part < 20; ++part)
            close +=
                "--" + boundary + "\r\nContent-Type: text/plain\r\n\r\n" + address(part) + "\r\n";
        close += "--" + boundary + "--\r\n";
    }
    return head("multipart/mixed; boundary=\"d0\"") + open + close;
}

QByteArray ordinary(int i) {
    return report(i, 1);
}

// "View Log" of the pending sends in `folder` against `dovecot`, with the phones' statuses kept
// as the window keeps them: the longest pause of the event loop and the check's time, in
// milliseconds.
std::pair<double, double> timedCheck(const LocalDovecot& dovecot,
                                     const TestCertificates& certificates,
                                     const QTemporaryDir& folder, const QDateTime& now) {
    mail::ImapBounceReader reader(dovecot.clientOptions(certificates.path("ca.pem")));
    email_route::DeliveryCheckMemory memory;
    model::PhoneStatuses statuses; // the window's, as each phone row shows them
    QElapsedTimer took;
    const double gap = longestGapMs([&] {
        took.start();
        email_route::bringLogUpToDate({reader,
                                       memory,
                                       {folder.filePath("sentmessages.log"),
                                        folder.filePath("pending.tsv"),
                                        {},
                                        {},
                                        folder.filePath("phone-status.tsv")},
                                       "ann@gmail.com",
                                       "abcdefghijklmnop",
                                       now,
                                       "email",
                                       nullptr,
                                       &statuses});
    });
    return {gap, double(took.nsecsElapsed()) / 1e6};
}

// One check of "View Log" of a send of `addresses` against `mails`: the longest pause and the
// time the check took, in milliseconds.
std::pair<double, double> check(const TestCertificates& certificates,
                                const QList<QByteArray>& mails, int addresses) {
    LocalDovecot dovecot(certificates, mails);
    if (!dovecot.started())
        return {-1, -1};
    QTemporaryDir folder;
    const QDateTime now = QDateTime::currentDateTime();
    QStringList sent;
    for (int i = 0; i < addresses; ++i)
        sent << QString::fromLatin1(address(i));
    records::rememberSend(folder.filePath("pending.tsv"), {QString::fromLatin1(kSendId),
                                                           now.addSecs(-3600).toUTC(),
                                                           records::logStamp(now),
                                                           "Meeting moved",
                                                           sent,
                                                           {},
                                                           false});
    return timedCheck(dovecot, certificates, folder, now);
}

// A Workspace account's four days (2,000 recipients a day in messages of 100) and 5,000
// replies, half from phones it texted and half from numbers it never did: the longest pause
// and the check's time.
std::pair<double, double> checkReplies(const TestCertificates& certificates) {
    const QDateTime now = QDateTime::currentDateTime();
    QList<QByteArray> mails;
    for (int i = 0; i < 5000; ++i)
        mails << "From: " + address(i % 2 ? 900000 + i : i * 8000 / 5000) +
                     "\r\nTo: ann@gmail.com\r\nDate: " +
                     now.addSecs(-60).toString(Qt::RFC2822Date).toLatin1() + "\r\nMessage-ID: <" +
                     QByteArray::number(i) + "@vtext.com>\r\n\r\nYes\r\n";
    LocalDovecot dovecot(certificates, mails);
    if (!dovecot.started())
        return {-1, -1};
    QTemporaryDir folder;
    for (int message = 0; message < 80; ++message) {
        QStringList sent;
        for (int i = message * 100; i < message * 100 + 100; ++i)
            sent << QString::fromLatin1(address(i));
        records::rememberSend(folder.filePath("pending.tsv"),
                              {QString("w%1@gmail.com").arg(message),
                               now.addSecs(-3600 - message * 4000).toUTC(),
                               "then",
                               "Hi",
                               sent,
                               {},
                               false});
    }
    return timedCheck(dovecot, certificates, folder, now);
}

QList<QByteArray> fifty(const std::function<QByteArray(int)>& make) {
    QList<QByteArray> mails;
    for (int i = 0; i < 50; ++i)
        mails << make(i);
    return mails;
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    TestCertificates certificates;
    if (!certificates.ok()) {
        std::printf("test certificates not available: benchmark skipped\n");
        return 0;
    }
    const auto [baseGap, baseMs] = check(certificates, fifty(ordinary), 50);
    if (baseGap < 0) {
        std::printf("Dovecot not available: benchmark skipped\n");
        return 0;
    }
    std::printf("%-44s %10s %10s\n", "mailbox", "pause ms", "check ms");
    std::printf("%-44s %10.1f %10.1f  (baseline)\n", "fifty ordinary Gmail bounces", baseGap,
                baseMs);
    const struct {
        const char* what;
        std::function<QByteArray(int)> make;
        int addresses;
    } cases[] = {
        {"fifty plain texts of 1,400 addresses", plainAddresses, 1400},
        {"fifty reports naming 7,400 Message-IDs", manyIds, 50},
        {"fifty nested multipart bombs", bomb, 50},
        {"fifty reports of 800 recipients", [](int) { return report(0, 800); }, 800},
        {"a send of 2,000 addresses, fifty big reports", [](int i) { return report(i * 30, 500); },
         2000},
        {"a send of 35,000 addresses, fifty big reports",
         [](int i) { return report(i * 500, 500); }, 35000},
    };
    for (const auto& c : cases) {
        const auto [gap, ms] = check(certificates, fifty(c.make), c.addresses);
        std::printf("%-44s %10.1f %10.1f  (targets: pause 50, check 8000) %s\n", c.what, gap, ms,
                    verdict(gap >= 0 && gap <= 50 && ms <= 8000));
    }
    const auto [gap, ms] = checkReplies(certificates);
    std::printf("%-44s %10.1f %10.1f  (targets: pause 50, check 8000) %s\n",
                "5,000 replies, a Workspace account's 4 days", gap, ms,
                verdict(gap >= 0 && gap <= 50 && ms <= 8000));
    return benchExitCode();
}
