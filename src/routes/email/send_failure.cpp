#include "routes/email/send_failure.h"

#include "core/error_report.h"
#include "core/pointer.h"
#include "core/procedure.h"
#include "core/shared.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "records/sent_log.h"
#include "routes/email/email_texts.h"
#include "routes/email/mail/mail_submitter.h"
#include "sending/allowance.h"
#include "sending/send_flow.h"

namespace email_route {

using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace {

// The recipients submitted by e-mail in the last 24 hours, and when the oldest of those sends
// leaves the window.
QString dailyLimitText(const QList<model::PendingSend>& sent, const platform::Clock& clock,
                       const QString& serverReply) {
    const sending::RecentSubmissions recent =
        sending::recentSubmissions(sent, clock.now().toUTC(), kRouteId);
    return dailyLimitMessage(serverReply, recent.recipients,
                             recent.windowFreesUtc.isValid()
                                 ? records::logStamp(recent.windowFreesUtc.toLocalTime())
                                 : QString());
}

} // namespace

core::Failure sendFailureOf(const mail::SubmitResult& result, const QList<model::PendingSend>& sent,
                            const platform::Clock& clock) {
    using mail::MailFailure;
    switch (result.failure) {
    case MailFailure::None:
        break;
    case MailFailure::Unreachable:
        return core::Failure(kServerUnreachable,
                             unreachableMessage(result.description, result.triedPorts.isEmpty()
                                                                        ? QString::number(kSmtpPort)
                                                                        : result.triedPorts));
    case MailFailure::Untrusted:
        return core::Failure(kServerUntrusted, untrustedMessage(result.description));
    case MailFailure::LoginRefused:
        return core::Failure(kMailNotDelivered, loginQuestion(LoginRefusal::Credentials));
    case MailFailure::AppPasswordRequired:
        return core::Failure(kMailNotDelivered, loginQuestion(LoginRefusal::AppPasswordOnly));
    case MailFailure::WebLoginRequired:
        return core::Failure(kMailNotDelivered, loginQuestion(LoginRefusal::BrowserSignInFirst));
    case MailFailure::TooManyLogins:
        return core::Failure(kMailRefused, tooManyLoginsMessage(result.serverReply));
    case MailFailure::DailyLimit:
        return core::Failure(kMailRefused, dailyLimitText(sent, clock, result.serverReply));
    case MailFailure::TryLater:
        return core::Failure(kMailRefused, tryLaterMessage(result.serverReply));
    case MailFailure::TooManyRecipients:
        return core::Failure(kRecipientsRefused, result.description);
    case MailFailure::AddressRefused:
        return core::Failure(kAddressesRefused,
                             addressesRefusedMessage(result.refusedAddresses, result.serverReply,
                                                     result.deferredAddresses));
    case MailFailure::ContentRefused:
        return core::Failure(kMailRefused, contentRefusedMessage(result.serverReply));
    case MailFailure::Refused:
        return core::Failure(kMailRefused, refusedMessage(result.refusedStep, result.serverReply));
    case MailFailure::General:
        break;
    }
    return core::Failure(kMailFailed, result.description);
}

bool explainSendFailure(const model::CommandContext& c, const model::OutgoingText& text,
                        const core::Failure& failure, int line) {
    if (failure.number() == kMailNotDelivered) {
        c.pointer.setStyle(core::kDefaultPointer);
        const Answer answer = c.desktop.messageBox(failure.description(), Buttons::YesNo,
                                                   Icon::None, c.applicationTitle);
        if (answer == Answer::Yes) {
            core::OpenDocument(
                c.desktop, core::programFile(c.programFolder, "Pictures/less-secure-apps1.jpg"));
            core::OpenDocument(
                c.desktop, core::programFile(c.programFolder, "Pictures/less-secure-apps2.jpg"));
        }
        return true;
    }
    if (failure.number() == kRecipientsRefused) {
        c.pointer.setStyle(core::kDefaultPointer);
        c.desktop.messageBox(
            tooManyRecipientsMessage(recipientSummary(text), allowedRecipientSummary(text)),
            Buttons::Ok, Icon::None, c.applicationTitle);
        return true;
    }
    if (failure.number() == kServerUnreachable || failure.number() == kServerUntrusted ||
        failure.number() == kAddressesRefused || failure.number() == kMailRefused) {
        c.pointer.setStyle(core::kDefaultPointer);
        c.desktop.messageBox(failure.description(), Buttons::Ok, Icon::None, c.applicationTitle);
        return true;
    }
    return sending::reportAtSubmitLine(c, failure, line);
}

} // namespace email_route
