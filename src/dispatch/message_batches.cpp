#include "dispatch/message_batches.h"

#include "core/error_report.h"
#include "core/pointer.h"
#include "core/procedure.h"
#include "dispatch/delivery_check.h"
#include "dispatch/delivery_records.h"
#include "dispatch/kept_sends.h"
#include "dispatch/login.h"
#include "dispatch/messages.h"
#include "dispatch/recipient_expansion.h"
#include "dispatch/send_failure.h"
#include "dispatch/sent_log.h"
#include "mail/mail_submitter.h"
#include "mail/mime_message.h"
#include "platform/clock.h"
#include "platform/desktop.h"

#include <optional>

namespace dispatch {

using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace {

void tell(const DispatchContext& c, const QString& text) {
    c.desktop.messageBox(text, Buttons::Ok, Icon::None, c.applicationTitle);
}

QString keptAsideMessage(const QString& keptAs) {
    return QStringLiteral("Parlivo could not read all of its list of texts kept to send later. "
                          "The list was kept as it was, as %1.")
        .arg(keptAs);
}

QList<KeptSend> loadKept(const DispatchContext& c) {
    QString keptAs;
    QList<KeptSend> kept = loadKeptSends(c.keptPath, &keptAs);
    if (!keptAs.isEmpty())
        tell(c, keptAsideMessage(keptAs));
    return kept;
}

} // namespace

qsizetype recipientsThatFit(const DispatchContext& c, qsizetype needed, qsizetype* recent) {
    *recent = 0;
    if (c.dailyAllowance <= 0)
        return needed;
    *recent = recentSubmissions(loadPendingSends(c.pendingPath), c.clock.now().toUTC()).recipients;
    return qBound<qsizetype>(0, c.dailyAllowance - *recent, needed);
}

void sendInMessages(const DispatchContext& c, const mail::MailMessage& common,
                    const QStringList& now, const QStringList& later, const QDateTime& keptUtc,
                    qsizetype replacing) {
    QList<KeptSend> kept = loadKept(c);
    const KeptSend whole{keptUtc, common.subject, common.body, now + later, 0};
    qsizetype mine = replacing;
    if (replacing >= 0 && replacing < kept.size()) {
        kept[replacing] = whole;
    } else {
        mine = kept.size();
        kept << whole;
    }
    if (!saveKeptSends(c.keptPath, kept)) {
        c.pointer.setStyle(core::kDefaultPointer);
        tell(c, QStringLiteral("Parlivo could not write its list of recipients still to go (%1), "
                               "so nothing was sent: a send cut short would not know what is "
                               "left. Free some disk space and send again.")
                    .arg(c.keptPath));
        return;
    }

    const QList<QStringList> groups = messageGroups(now, kRecipientLimit);
    KeptSend& rest = kept[mine];
    qsizetype done = 0;
    QStringList sentAddresses;
    int partlyTaken = -1; // a message the server took for only some of its recipients
    qsizetype partlyTakenFor = 0;
    std::optional<core::Failure> logFailure;
    QString pendingAside;
    mail::BatchSteps steps;
    steps.sending = [&](int index) {
        rest.uncertain = groups[index].size();
        saveKeptSends(c.keptPath, kept);
    };
    steps.accepted = [&](int index, const QString& messageId, const QStringList& refused) {
        // The log first, then the pending sends, then the kept list: a crash between them
        // leaves this message named uncertain, never lost.
        QStringList sent = groups[index];
        for (const QString& address : refused)
            sent.removeOne(address);
        const QDateTime when = c.clock.now();
        try {
            WriteSentLog(c.logPath, sentLogRecord(when, phonesOf(sent).join(QLatin1Char(',')),
                                                  common.subject, common.body));
        } catch (const core::Failure& failure) {
            if (!logFailure) // the send stops after the message in flight
                logFailure = failure;
        }
        if (!c.pendingPath.isEmpty()) {
            const QString aside = rememberSend(
                c.pendingPath,
                {messageId, when.toUTC(), logStamp(when), common.subject, sent, {}, false},
                c.logPath);
            if (!aside.isEmpty())
                pendingAside = aside;
        }
        rest.addresses = refused + rest.addresses.mid(groups[index].size());
        rest.uncertain = 0;
        saveKeptSends(c.keptPath, kept);
        sentAddresses += sent;
        done += groups[index].size();
        if (!refused.isEmpty()) {
            partlyTaken = index;
            partlyTakenFor = sent.size();
        }
        if (c.progress)
            c.progress->show(index + 1, int(groups.size()), done, now.size());
    };
    steps.goOn = [&] { return !logFailure && !(c.progress && c.progress->stopAsked()); };

    mail::BatchResult result;
    if (!groups.isEmpty()) {
        if (c.progress)
            c.progress->show(0, int(groups.size()), 0, now.size());
        result = c.mail.submitEach(common, groups, steps);
        if (c.progress)
            c.progress->close();
    }
    if (!result.nextMayHaveGone)
        rest.uncertain = 0;
    const bool nothingWent =
        !groups.isEmpty() && result.messageIds.isEmpty() && !result.nextMayHaveGone;
    const KeptSend left = nothingWent ? KeptSend{} : rest;
    if (nothingWent && replacing < 0)
        kept.removeAt(mine); // as a send of one message: nothing went, nothing is kept
    else if (rest.addresses.isEmpty())
        kept.removeAt(mine);
    saveKeptSends(c.keptPath, kept);
    c.pointer.setStyle(core::kDefaultPointer);
    if (!pendingAside.isEmpty())
        tell(c, pendingKeptAsideMessage(pendingAside));
    if (nothingWent && !result.stop.succeeded())
        throw sendFailureOf(c, result.stop);

    SendOutcome outcome;
    outcome.messages = int(groups.size());
    outcome.messagesSent = int(result.messageIds.size());
    outcome.sentPhones = phonesOf(sentAddresses);
    outcome.uncertainPhones = phonesOf(left.addresses.mid(0, left.uncertain));
    outcome.unsentPhones = phonesOf(left.addresses.mid(left.uncertain));
    outcome.logged = !logFailure;
    QString reason;
    if (partlyTaken >= 0) {
        reason = partlyTakenMessage(partlyTaken + 1, partlyTakenFor, groups[partlyTaken].size(),
                                    result.stop.serverReply);
    } else if (!result.stop.succeeded())
        reason = sendFailureOf(c, result.stop).description();
    else if (logFailure)
        reason = QStringLiteral("The log could not be written, so the send stopped after the "
                                "message in flight: %1")
                     .arg(logFailure->description());
    else if (result.stopped)
        reason = QStringLiteral("The send was stopped as you asked, after the message in flight.");
    if (reason.isEmpty() && later.isEmpty())
        tell(c, QStringLiteral("Done."));
    else
        tell(c, sendOutcomeMessage(outcome, reason));
}

bool offerKeptSend(const DispatchContext& c, const OutgoingText& text, core::Procedure& p) {
    // Without a login that can sign in, the send's own checks speak first.
    if (c.keptPath.isEmpty() || !mail::isMailbox(userAddress(text.login.userName)) ||
        text.login.password.isEmpty())
        return false;
    QList<KeptSend> kept = loadKept(c);
    if (kept.isEmpty())
        return false;
    const KeptSend& first = kept.first();
    qsizetype recent = 0;
    const qsizetype fits = recipientsThatFit(c, first.addresses.size(), &recent);
    if (fits == 0)
        return false;
    const Answer answer = c.desktop.messageBox(
        keptSendQuestion(phonesOf(first.addresses).size(), logStamp(first.keptUtc.toLocalTime()),
                         first.subject, first.uncertain, fits, first.addresses.size()),
        Buttons::YesNoCancel, Icon::None, c.applicationTitle);
    if (answer == Answer::No)
        return false;
    if (answer != Answer::Yes) {
        kept.removeFirst();
        saveKeptSends(c.keptPath, kept);
        return false;
    }
    mail::MailMessage common;
    common.userAddress = userAddress(text.login.userName);
    common.password = passwordToSend(text.login.password);
    common.subject = first.subject;
    common.body = first.body;
    c.pointer.setStyle(core::kBusyPointer);
    p.step(kSubmitLine, [&] {
        sendInMessages(c, common, first.addresses.mid(0, fits), first.addresses.mid(fits),
                       first.keptUtc, 0);
    });
    return true;
}

void offerKeptSendAtStart(const DispatchContext& c, const OutgoingText& text) {
    core::Procedure p(c.desktop, core::qualifiedName("Form1", "PushButton1_Click"),
                      [&c, &text](const core::Failure& failure, int line) {
                          return explainSendFailure(c, text, failure, line);
                      });
    offerKeptSend(c, text, p);
}

} // namespace dispatch
