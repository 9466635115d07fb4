#include "sending/send_failure.h"

#include "core/error_report.h"
#include "core/pointer.h"
#include "core/procedure.h"
#include "core/shared.h"
#include "mail/mail_submitter.h"
#include "platform/desktop.h"
#include "records/sent_log.h"
#include "sending/allowance.h"
#include "sending/gateway_route.h"
#include "sending/send_flow.h"
#include "sending/send_texts.h"

namespace sending {

using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace {

// The recipients submitted in the last 24 hours, as the ledger counts them, and when the
// oldest of those sends leaves the window.
QString dailyLimitText(const Ledger& ledger, const model::Route& route,
                       const QString& serverReply) {
    const RecentSubmissions recent = ledger.recent(route);
    return dailyLimitMessage(serverReply, recent.recipients,
                             recent.windowFreesUtc.isValid()
                                 ? records::logStamp(recent.windowFreesUtc.toLocalTime())
                                 : QString());
}

} // namespace

core::Failure sendFailureOf(const mail::SubmitResult& result, const Ledger& ledger,
                            const model::Route& route) {
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
        return core::Failure(kMailRefused, dailyLimitText(ledger, route, result.serverReply));
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
    return reportAtSubmitLine(c, failure, line);
}

} // namespace sending
