#pragma once

#include "model/send_plan.h"

#include <QString>
#include <QStringList>

namespace email_route {

// How the files and the settings name this route.
inline const QString kRouteId = QStringLiteral("email");
// How a text went, as a phone's status says it.
inline const QString kBy = QStringLiteral("by e-mail");
// The most recipients Gmail takes in one message, and in 24 hours.
inline constexpr int kRecipientLimit = 100;
inline constexpr qsizetype kGmailDailyRecipients = 500;
inline constexpr qsizetype kWorkspaceDailyRecipients = 2000;

// "<n> phones at <m> carriers" of the text's lists, and the same for the most recipients one
// message takes (the recipient-limit question and the too-many-recipients box).
QString recipientSummary(const model::OutgoingText& text);
QString allowedRecipientSummary(const model::OutgoingText& text);

inline const QString kSendingLimitsArticle =
    QStringLiteral("https://support.google.com/mail/answer/22839");
inline const QString kSmtpHost = QStringLiteral("smtp.gmail.com");
inline constexpr int kSmtpPort = 465;

// Asked before sending to more recipients than the provider tolerates.
QString recipientLimitQuestion(const QString& currentSummary, const QString& allowedSummary);
// Why Gmail refused a login, as the login question opens.
enum class LoginRefusal {
    Credentials,        // the user name or password is wrong, or a login is required
    AppPasswordOnly,    // the account takes only an app password
    BrowserSignInFirst, // the account must sign in once in a browser first
};
// Offered when the login was refused: how to make and type an app password, and whether to
// see the two pictures of it.
QString loginQuestion(LoginRefusal why = LoginRefusal::Credentials);
// Gmail's daily sending limit: the reply, the recipients Parlivo submitted in the last 24
// hours, Gmail's published limits, and when the oldest of those sends leaves the window
// (`windowFrees` empty when there were none).
QString dailyLimitMessage(const QString& serverReply, qsizetype recentRecipients,
                          const QString& windowFrees);
// A temporary refusal: nothing was sent, try again in a few minutes.
QString tryLaterMessage(const QString& serverReply);
// Too many login attempts: wait; the password need not change.
QString tooManyLoginsMessage(const QString& serverReply);
// The message itself was refused for its content.
QString contentRefusedMessage(const QString& serverReply);
// Any other refusal, quoted as the server gave it.
QString refusedMessage(const QString& step, const QString& serverReply);
// Shown when the server refused recipients.
QString tooManyRecipientsMessage(const QString& currentSummary, const QString& allowedSummary);
// Shown when the submission server could not be reached at all; `ports` as tried ("465" or
// "465 or 587").
QString unreachableMessage(const QString& reason, const QString& ports = QStringLiteral("465"));
// Shown when TLS could not be set up or the server's certificate is not trusted.
QString untrustedMessage(const QString& reason);
// Shown when the server refused addresses for another reason than their number.
// `deferred`: the addresses refused only for now, named apart.
QString addressesRefusedMessage(const QStringList& addresses, const QString& serverReply,
                                const QStringList& deferred = {});
// Why the lists cannot form e-mail addresses: the offending phone rows and carriers, the first
// few of each. Empty when every address is sound.
QString unusableAddressesMessage(const QStringList& phones, const QStringList& carriers);
// Why the user name cannot sign in.
QString unusableUserNameMessage(const QString& userAddress);
// Asked before connecting when a send would take the account past its daily allowance:
// `fits` of the `needed` recipients can go now.
QString allowanceQuestion(qsizetype recent, qsizetype needed, qsizetype allowance, qsizetype fits);
// Asked before a send when a ticked gateway refused everything of late.
QString closedGatewayQuestion(const QString& domain);
// Told before a send when phones are left out: every ticked gateway refused them for good.
QString leftOutMessage(const QStringList& phones);
// The reason a send ended after the server took message `number` for some of its recipients.
QString partlyTakenMessage(int number, qsizetype taken, qsizetype recipients,
                           const QString& serverReply);
// The mail-account instructions behind "Help": six paragraphs joined by CR CR.
QString helpText();

} // namespace email_route
