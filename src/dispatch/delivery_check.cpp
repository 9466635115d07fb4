#include "dispatch/delivery_check.h"

#include "core/error_report.h"
#include "dispatch/phone_knowledge.h"
#include "dispatch/sent_log.h"
#include "mail/mailbox_reader.h"
#include "recipients/carrier_table.h"
#include "recipients/phone_rules.h"

#include <QCryptographicHash>
#include <QEventLoop>
#include <exception>
#include <functional>
#include <thread>

namespace dispatch {

using recipients::gatewayOf;
using recipients::phoneOf;

namespace {
constexpr qint64 kPendingSeconds = kPendingDays * 24 * 3600;

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
        WriteSentLog(logPath, record);
        return true;
    } catch (const core::Failure&) {
        return false;
    }
}
} // namespace

// Saves the pending sends; a send that had to be left out for want of room is told in the log.
void save(const QString& pendingPath, const QString& logPath, const QList<PendingSend>& sends,
          const QString& nowStamp) {
    QList<PendingSend> dropped;
    savePendingSends(pendingPath, sends, &dropped);
    for (const PendingSend& send : std::as_const(dropped))
        if (!logPath.isEmpty())
            appended(logPath, notKeptRecord(nowStamp, send));
}

QString rememberSend(const QString& pendingPath, const PendingSend& send, const QString& logPath) {
    QString keptAs;
    QList<PendingSend> sends = loadPendingSends(pendingPath, &keptAs);
    sends << send;
    save(pendingPath, logPath, sends, send.stamp);
    return keptAs;
}

QString bringLogUpToDate(mail::MailboxReader& mailbox, DeliveryCheckMemory& memory,
                         const QString& pendingPath, const QString& logPath, const QString& user,
                         const QString& password, const QDateTime& now,
                         const QString& knowledgePath) {
    QString keptAs;
    const QList<PendingSend> stored = loadPendingSends(pendingPath, &keptAs);
    const QString nowStamp = logStamp(now);
    if (!keptAs.isEmpty()) // what could be read goes on in a new file
        save(pendingPath, logPath, stored, nowStamp);
    if (stored.isEmpty())
        return keptAs;
    QList<PendingSend> sends;
    for (const PendingSend& send : stored) {
        const bool expired = send.sentUtc.secsTo(now.toUTC()) >= kPendingSeconds;
        if (!expired)
            sends << send;
        else if (!send.checked && !appended(logPath, notCheckedRecord(nowStamp, send)))
            sends << send; // told next time, when the log can be written
    }
    const auto keep = [&] {
        if (sends != stored)
            save(pendingPath, logPath, sends, nowStamp);
        return keptAs;
    };
    if (sends.isEmpty() || user.isEmpty() || password.isEmpty() ||
        fingerprint(password) == memory.refusedPassword)
        return keep();

    QDate since = sends.first().sentUtc.toLocalTime().date();
    for (const PendingSend& send : std::as_const(sends))
        since = qMin(since, send.sentUtc.toLocalTime().date());
    // Replies come from the gateways the sends used, or another domain of the same carrier.
    QStringList replyDomains;
    for (const PendingSend& send : std::as_const(sends))
        for (const QString& address : send.addresses)
            for (const QString& domain : recipients::sameCarrier(gatewayOf(address)))
                if (!replyDomains.contains(domain, Qt::CaseInsensitive))
                    replyDomains << domain;
    const mail::MailboxResult found =
        mailbox.readBounces(user, password, since.addDays(-1), replyDomains);
    if (found.failure == mail::MailboxFailure::LoginRefused)
        memory.refusedPassword = fingerprint(password);
    if (found.failure != mail::MailboxFailure::None)
        return keep();

    // A carrier's report without a Message-ID is tied by what it quotes, when exactly one
    // send matches the address, the subject and the minute; otherwise it is left out.
    QList<mail::BounceReport> bounces = found.reports;
    for (mail::BounceReport& bounce : bounces) {
        if (!bounce.messageIds.isEmpty() || bounce.quotedTo.isEmpty())
            continue;
        QStringList matching;
        for (const PendingSend& send : std::as_const(sends))
            if (send.addresses.contains(bounce.quotedTo, Qt::CaseInsensitive) &&
                send.subject == bounce.quotedSubject &&
                qAbs(send.sentUtc.secsTo(bounce.quotedDate)) < 60)
                matching << send.messageId;
        if (matching.size() == 1)
            bounce.messageIds = matching;
    }
    QList<QStringList> before;
    for (const PendingSend& send : std::as_const(sends))
        before << send.reported;
    QStringList records(sends.size());
    QList<QList<mail::PhoneReply>> replies(sends.size());
    const QList<qsizetype> owners = replyOwners(sends, found.replies);
    for (qsizetype r = 0; r < owners.size(); ++r)
        if (owners[r] >= 0)
            replies[owners[r]] << found.replies[r];
    runAside([&] {
        for (qsizetype i = 0; i < sends.size(); ++i)
            records[i] = deliveryRecord(nowStamp, sends[i], bounces, found.complete,
                                        replyLines(sends[i], replies[i]));
    });
    for (qsizetype i = 0; i < sends.size(); ++i)
        if (!records[i].isEmpty() && !appended(logPath, records[i]))
            sends[i].reported = before[i]; // reported next time
    if (!knowledgePath.isEmpty()) {
        Knowledge knowledge = loadKnowledge(knowledgePath);
        const Knowledge was = knowledge;
        learn(knowledge, sends, bounces, found.replies, owners, found.complete, now.toUTC());
        if (knowledge != was)
            saveKnowledge(knowledgePath, knowledge);
    }
    for (qsizetype i = 0; i < sends.size(); ++i) {
        PendingSend& send = sends[i];
        // Checked only when every match was read; the rest waits for the next time.
        send.checked = send.checked || found.complete;
    }
    return keep();
}

} // namespace dispatch
