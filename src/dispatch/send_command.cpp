#include "dispatch/send_command.h"

#include "core/error_report.h"
#include "core/pointer.h"
#include "core/procedure.h"
#include "dispatch/delivery_check.h"
#include "dispatch/login.h"
#include "dispatch/message_batches.h"
#include "dispatch/messages.h"
#include "dispatch/phone_knowledge.h"
#include "dispatch/recipient_expansion.h"
#include "dispatch/send_failure.h"
#include "dispatch/sent_log.h"
#include "mail/mail_submitter.h"
#include "mail/mime_message.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "recipients/summary.h"

#include <algorithm>

namespace dispatch {

using core::Procedure;
using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace {

QString addressProblem(const QString& userName, const QStringList& phones,
                       const QStringList& domains) {
    const QString user = userAddress(userName);
    if (!mail::isMailbox(user))
        return unusableUserNameMessage(user);
    QStringList badPhones;
    qsizetype longestPhone = 0;
    for (const QString& phone : phones) {
        const bool full = isFullAddress(phone);
        if (!(full ? mail::isMailbox(phone) : mail::isLocalPart(phone)) &&
            !badPhones.contains(phone))
            badPhones << phone;
        if (!full)
            longestPhone = qMax(longestPhone, phone.size());
    }
    QStringList badDomains;
    for (const QString& domain : domains)
        if ((!mail::isDomain(domain) || longestPhone + 1 + domain.size() > mail::kLongestAddress) &&
            !badDomains.contains(domain))
            badDomains << domain;
    return unusableAddressesMessage(badPhones, badDomains);
}

} // namespace

QStringList sendMessage(const DispatchContext& c, const OutgoingText& text) {
    Procedure p(c.desktop, core::qualifiedName("Form1", "PushButton1_Click"),
                [&c, &text](const core::Failure& failure, int line) {
                    return explainSendFailure(c, text, failure, line);
                });
    if (offerKeptSend(c, text, p))
        return {};
    const Knowledge known = loadKnowledge(c.knowledgePath);
    bool goAhead = false;
    p.step(100, [&] { goAhead = false; });
    if (p.opensBlock(102, [&] {
            core::toInteger(text.phones.size());
            return recipientCount(text.phones, text.carriers, known) > kRecipientLimit;
        })) {
        if (p.opensBlock(104, [&] {
                return c.desktop.messageBox(recipientLimitQuestion(recipientSummary(text),
                                                                   allowedRecipientSummary(text)),
                                            Buttons::YesNo, Icon::None,
                                            c.applicationTitle) == Answer::Yes;
            }))
            p.step(106, [&] { goAhead = true; });
    } else {
        p.step(108, [&] { goAhead = true; });
    }
    if (p.skipsAhead(110, [&] { return !goAhead; }))
        return {};
    // A ticked gateway that refused everything of late is named before anything goes to it.
    QStringList unticked;
    for (const QString& closed : closedGateways(known, recipients::tickedDomains(text.carriers)))
        if (c.desktop.messageBox(closedGatewayQuestion(closed), Buttons::YesNo, Icon::None,
                                 c.applicationTitle) == Answer::Yes)
            unticked << closed;

    Expansion expansion;
    bool expanded = false;
    QStringList phones;
    QStringList domains;
    if (p.opensBlock(112, [&] { return !text.phones.isEmpty(); })) {
        p.step(118, [&] {
            // Rows are counted in 16 bits: longer lists are an Overflow, not a send.
            core::toInteger(text.phones.size());
            core::toInteger(text.carriers.size());
            phones = text.phones;
            domains = recipients::tickedDomains(text.carriers);
            for (const QString& domain : std::as_const(unticked))
                domains.removeAll(domain);
            expansion = expandRecipients(phones, domains, &known);
            expanded = true;
        });
    } else {
        p.step(138, [&] {
            c.desktop.messageBox(QStringLiteral("No phone numbers."), Buttons::Ok, Icon::None,
                                 c.applicationTitle);
        });
        return unticked;
    }
    if (p.ended())
        return unticked;
    // Rows that are full addresses need no carrier.
    if (expanded && domains.isEmpty() &&
        !std::all_of(phones.cbegin(), phones.cend(), isFullAddress)) {
        c.desktop.messageBox(QStringLiteral("No carriers ticked."), Buttons::Ok, Icon::None,
                             c.applicationTitle);
        return unticked;
    }
    // Every address is checked before connecting: what cannot be an address is named, and
    // nothing goes out.
    if (const QString problem = addressProblem(text.login.userName, phones, domains);
        !problem.isEmpty()) {
        c.desktop.messageBox(problem, Buttons::Ok, Icon::None, c.applicationTitle);
        return unticked;
    }
    if (!expansion.leftOut.isEmpty()) {
        c.desktop.messageBox(leftOutMessage(expansion.leftOut), Buttons::Ok, Icon::None,
                             c.applicationTitle);
        if (expansion.recipients.isEmpty())
            return unticked;
    }
    // Gmail's daily allowance is looked at before connecting: what does not fit now may be
    // kept for later.
    QStringList now =
        expansion.recipients.isEmpty() ? QStringList() : expansion.recipients.split(u',');
    QStringList later;
    qsizetype recent = 0;
    if (const qsizetype fits = recipientsThatFit(c, now.size(), &recent); fits < now.size()) {
        if (c.desktop.messageBox(allowanceQuestion(recent, now.size(), c.dailyAllowance, fits),
                                 Buttons::YesNo, Icon::None, c.applicationTitle) != Answer::Yes)
            return unticked;
        later = now.mid(fits);
        now.resize(fits);
    }
    p.step(140, [&] { c.pointer.setStyle(core::kBusyPointer); });

    mail::MailMessage message;
    p.step(158, [&] { message.userAddress = userAddress(text.login.userName); });
    p.step(160, [&] { message.password = passwordToSend(text.login.password); });
    p.step(168, [&] {
        message.toHeader = expansion.recipients;
        message.recipients = expansion.recipients.isEmpty()
                                 ? QStringList()
                                 : expansion.recipients.split(QLatin1Char(','));
    });
    p.step(172, [&] { message.subject = text.subject; });
    p.step(174, [&] { message.body = text.body; });
    if (now.size() > kRecipientLimit || !later.isEmpty()) {
        // More than one message, or a part kept for later.
        p.step(kSubmitLine, [&] { sendInMessages(c, message, now, later, c.clock.now().toUTC()); });
        return unticked;
    }
    QString messageId;
    p.step(kSubmitLine, [&] {
        const mail::SubmitResult result = c.mail.submit(message);
        throwIfFailed(c, result);
        messageId = result.messageId;
    });

    QString record;
    QString keptAs;
    p.step(184, [&] {
        const QDateTime when = c.clock.now();
        record = sentLogRecord(when, expansion.phones, text.subject, text.body);
        if (!messageId.isEmpty() && !c.pendingPath.isEmpty())
            keptAs = rememberSend(c.pendingPath,
                                  {messageId,
                                   when.toUTC(),
                                   logStamp(when),
                                   text.subject,
                                   message.recipients,
                                   {},
                                   false},
                                  c.logPath);
    });
    if (!keptAs.isEmpty())
        c.desktop.messageBox(pendingKeptAsideMessage(keptAs), Buttons::Ok, Icon::None,
                             c.applicationTitle);
    p.step(186, [&] { WriteSentLog(c.logPath, record); });
    p.step(188, [&] { c.pointer.setStyle(core::kDefaultPointer); });
    p.step(190, [&] {
        c.desktop.messageBox(QStringLiteral("Done."), Buttons::Ok, Icon::None, c.applicationTitle);
    });
    return unticked;
}

} // namespace dispatch
