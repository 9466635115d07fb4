#include "routes/email/mailbox_news.h"

#include "core/error_report.h"
#include "model/knowledge.h"
#include "recipients/carrier_table.h"
#include "recipients/phone_rules.h"
#include "records/knowledge_file.h"
#include "records/pending_file.h"
#include "records/sent_log.h"
#include "records/status_file.h"
#include "routes/email/bounce_records.h"
#include "routes/email/email_texts.h"
#include "routes/email/gateway_learning.h"
#include "routes/email/mail/mailbox_reader.h"
#include "routes/email/replies.h"

#include <QCryptographicHash>
#include <QEventLoop>
#include <QHash>
#include <QSet>
#include <exception>
#include <functional>
#include <thread>

namespace email_route {

using model::PendingSend;
using recipients::gatewayOf;

namespace {
constexpr qint64 kPendingSeconds = model::kPendingDays * 24 * 3600;

// Runs `work` on a thread of its own while the window's event loop turns: the records of a
// large send take long enough to be seen as a frozen window. `work` touches nothing else
// meanwhile (input is held during a check).
void runAside(const std::function<void()>& work) {
    QEventLoop loop;
    std::exception_ptr failed;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failed = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    if (failed)
        std::rethrow_exception(failed);
}

QByteArray fingerprint(const QString& password) {
    return QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha256);
}

bool appended(const QString& logPath, const QString& record) {
    try {
        records::WriteSentLog(logPath, record);
        return true;
    } catch (const core::Failure&) {
        return false;
    }
}

// Saves the pending sends; a send that had to be left out for want of room is told in the log.
void save(const model::DataFiles& files, const QList<PendingSend>& sends, const QString& nowStamp) {
    QList<PendingSend> dropped;
    records::savePendingSends(files.pending, sends, &dropped);
    for (const PendingSend& send : std::as_const(dropped))
        if (!files.log.isEmpty())
            appended(files.log, records::notKeptRecord(nowStamp, send));
}

// The sends still awaiting their report; those whose days passed without a check are told
// in the log and leave.
QList<PendingSend> stillPending(const QList<PendingSend>& stored, const DeliveryCheck& check,
                                const QString& nowStamp) {
    QList<PendingSend> sends;
    for (PendingSend send : stored) {
        // Stamped ahead of now (the clock ran ahead): sent now, so that its days do pass.
        send.sentUtc = qMin(send.sentUtc, check.now.toUTC());
        const bool expired = send.sentUtc.secsTo(check.now.toUTC()) >= kPendingSeconds;
        if (!expired)
            sends << send;
        else if (!send.checked && !appended(check.files.log, notCheckedRecord(nowStamp, send)))
            sends << send; // told next time, when the log can be written
    }
    return sends;
}

// Bounces and replies since the day before the oldest send. Replies come from the gateways
// the sends used, or another domain of the same carrier.
mail::MailboxResult readMailbox(const DeliveryCheck& check, const QList<PendingSend>& sends) {
    QDate since = sends.first().sentUtc.toLocalTime().date();
    QStringList replyDomains;
    for (const PendingSend& send : sends) {
        since = qMin(since, send.sentUtc.toLocalTime().date());
        // A text by the modem has no domain; a row written as a whole address that is no
        // number (someone@gmail.com) cannot reply as a phone, and its domain may be vast.
        for (const QString& address : send.addresses)
            for (const QString& domain : address.contains(QLatin1Char('@')) &&
                                                 recipients::isNumber(recipients::phoneOf(address))
                                             ? recipients::sameCarrier(gatewayOf(address))
                                             : QStringList())
                if (!replyDomains.contains(domain, Qt::CaseInsensitive))
                    replyDomains << domain;
    }
    mail::MailboxResult found =
        check.mailbox.readBounces(check.user, check.password, since.addDays(-1), replyDomains);
    if (found.failure == mail::MailboxFailure::LoginRefused)
        check.memory.refusedPassword = fingerprint(check.password);
    return found;
}

// A carrier's report without a Message-ID is tied by what it quotes, when exactly one send
// matches the address and the subject and took it within the half hour after the quoted
// Date (written when the messages were composed, before connecting); otherwise it is left
// out. It teaches only when Gmail vouches that it came from that address's carrier; a bounce
// naming a Message-ID of ours teaches as it is.
void tieQuotedReports(QList<mail::BounceReport>& bounces, const QList<PendingSend>& sends) {
    for (mail::BounceReport& bounce : bounces) {
        if (!bounce.messageIds.isEmpty() || bounce.quotedTo.isEmpty())
            continue;
        QStringList matching;
        for (const PendingSend& send : sends) {
            const qint64 taken = bounce.quotedDate.secsTo(send.sentUtc);
            if (send.addresses.contains(bounce.quotedTo, Qt::CaseInsensitive) &&
                send.subject == bounce.quotedSubject && taken > -60 && taken < 1800)
                matching << send.messageId;
        }
        if (matching.size() == 1)
            bounce.messageIds = matching;
        bool fromCarrier = false;
        for (const QString& domain : recipients::sameCarrier(gatewayOf(bounce.quotedTo)))
            fromCarrier =
                fromCarrier || bounce.fromDomain.compare(domain, Qt::CaseInsensitive) == 0 ||
                bounce.fromDomain.endsWith(QLatin1Char('.') + domain, Qt::CaseInsensitive);
        bounce.verified = bounce.verified && fromCarrier;
    }
}

// What a check tells of the phones of a send, as their statuses keep it: a phone whose every
// address was refused, newly, and a reply Gmail vouches for.
QList<model::StatusEvent> statusNews(const PendingSend& before, const PendingSend& after,
                                     const QList<mail::PhoneReply>& told,
                                     const DeliveryCheck& check) {
    QHash<QString, bool> everyFailed;
    QSet<QString> newly;
    if (after.reported.size() > before.reported.size()) {
        // Looked up by hash: a large send's reports name tens of thousands of addresses.
        const QSet<QString> reported(after.reported.cbegin(), after.reported.cend());
        const QSet<QString> reportedBefore(before.reported.cbegin(), before.reported.cend());
        for (const QString& address : after.addresses) {
            const QString phone = records::statusKey(address, check.countryCode);
            const QString failed = address + QStringLiteral(" failed");
            const bool refused = reported.contains(failed);
            const auto known = everyFailed.constFind(phone);
            everyFailed.insert(phone, (known == everyFailed.cend() || *known) && refused);
            if (refused && !reportedBefore.contains(failed))
                newly.insert(phone);
        }
    }
    QList<model::StatusEvent> events;
    const QDateTime now = check.now.toUTC();
    const QString by = kBy;
    for (const QString& phone : std::as_const(newly))
        if (everyFailed.value(phone))
            events << model::StatusEvent{phone, model::StatusKind::NotDelivered, now, by,
                                         QStringLiteral("every gateway it went to refused it")};
    for (const mail::PhoneReply& reply : told)
        if (reply.verified)
            events << model::StatusEvent{records::statusKey(reply.from, check.countryCode),
                                         model::StatusKind::Replied,
                                         reply.date.isValid() ? reply.date.toUTC() : now, by,
                                         records::cleanForLog(reply.text, 160)};
    return events;
}

// One delivery record a send with news, built aside and appended; a send whose record could
// not be written keeps its news for the next time. What is logged goes to the phones' statuses.
void appendRecords(QList<PendingSend>& sends, const QList<mail::BounceReport>& bounces,
                   const mail::MailboxResult& found, const QList<qsizetype>& owners,
                   const model::Knowledge& known, const DeliveryCheck& check,
                   const QString& nowStamp) {
    const QList<PendingSend> before = sends;
    QStringList records(sends.size());
    QList<QList<mail::PhoneReply>> replies(sends.size());
    QList<QList<mail::PhoneReply>> told(sends.size());
    for (qsizetype r = 0; r < owners.size(); ++r)
        if (owners[r] >= 0)
            replies[owners[r]] << found.replies[r];
    // What each record tells the statuses is worked out aside too, and kept only for the
    // records the log took.
    const bool statusesKept = !check.files.status.isEmpty() || check.statuses;
    QList<QList<model::StatusEvent>> news(sends.size());
    runAside([&] {
        for (qsizetype i = 0; i < sends.size(); ++i) {
            records[i] = deliveryRecord(nowStamp, sends[i], bounces, found.complete,
                                        replyLines(sends[i], replies[i], &told[i]), known);
            if (statusesKept && !records[i].isEmpty())
                news[i] = statusNews(before[i], sends[i], told[i], check);
        }
    });
    QList<model::StatusEvent> events;
    for (qsizetype i = 0; i < sends.size(); ++i) {
        if (records[i].isEmpty())
            continue;
        if (appended(check.files.log, records[i]))
            events += news[i];
        else
            sends[i].reported = before[i].reported; // reported next time
    }
    // The file aside, the window's own statuses on its thread.
    if (!events.isEmpty())
        runAside([&] { records::noteStatuses(check.files.status, events, nullptr); });
    records::noteStatuses({}, events, check.statuses);
}

void learnFromCheck(const DeliveryCheck& check, model::Knowledge& knowledge,
                    const QList<PendingSend>& sends, const QList<mail::BounceReport>& bounces,
                    const mail::MailboxResult& found, const QList<qsizetype>& owners) {
    if (!check.knowledge && check.files.knowledge.isEmpty())
        return;
    const model::Knowledge was = knowledge;
    learn(knowledge, sends, bounces, found.replies, owners, found.complete, check.now.toUTC());
    if (knowledge != was)
        records::saveKnowledge(check.files.knowledge, knowledge);
}

} // namespace

QString bringLogUpToDate(const DeliveryCheck& check) {
    QString keptAs;
    QList<PendingSend> all;
    runAside([&] { all = records::loadPendingSends(check.files.pending, &keptAs); });
    const QString nowStamp = records::logStamp(check.now);
    if (!keptAs.isEmpty()) // what could be read goes on in a new file
        save(check.files, all, nowStamp);
    QList<PendingSend> stored;
    QList<PendingSend> others; // another route's, past their days or not
    for (const PendingSend& send : all)
        (check.route.isEmpty() || send.route == check.route ? stored : others) << send;
    const qsizetype othersBefore = others.size();
    others.removeIf([&](const PendingSend& send) {
        return qMin(send.sentUtc, check.now.toUTC()).secsTo(check.now.toUTC()) >= kPendingSeconds;
    });
    QList<PendingSend> sends = stillPending(stored, check, nowStamp);
    const auto keep = [&] {
        // Written aside: the file of a large send holds megabytes.
        if (sends != stored || others.size() != othersBefore)
            runAside([&] { save(check.files, others + sends, nowStamp); });
        return keptAs;
    };
    if (sends.isEmpty() || check.user.isEmpty() || check.password.isEmpty() ||
        fingerprint(check.password) == check.memory.refusedPassword)
        return keep();
    const mail::MailboxResult found = readMailbox(check, sends);
    if (found.failure != mail::MailboxFailure::None)
        return keep();
    QList<mail::BounceReport> bounces = found.reports;
    tieQuotedReports(bounces, sends);
    QList<qsizetype> owners;
    runAside([&] { owners = replyOwners(sends, found.replies); });
    model::Knowledge read;
    model::Knowledge& knowledge =
        check.knowledge ? *check.knowledge : (read = records::loadKnowledge(check.files.knowledge));
    appendRecords(sends, bounces, found, owners, knowledge, check, nowStamp);
    learnFromCheck(check, knowledge, sends, bounces, found, owners);
    // Checked only when every match was read; the rest waits for the next time.
    for (PendingSend& send : sends)
        send.checked = send.checked || found.complete;
    return keep();
}

} // namespace email_route
