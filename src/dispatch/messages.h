#pragma once

#include <QString>

namespace dispatch {

inline const QString kSendingLimitsArticle =
    QStringLiteral("https://support.google.com/mail/answer/22839");
inline constexpr int kRecipientLimit = 100;
inline const QString kSmtpHost = QStringLiteral("smtp.gmail.com");
inline constexpr int kSmtpPort = 465;

// Asked before sending to more recipients than the provider tolerates.
QString recipientLimitQuestion(const QString& currentSummary, const QString& allowedSummary);
// Offered when the message did not reach the server or the login was refused.
QString loginQuestion();
// Shown when the server refused recipients.
QString tooManyRecipientsMessage(const QString& currentSummary, const QString& allowedSummary);
// Shown when the submission server could not be reached at all.
QString unreachableMessage(const QString& reason);
// Shown when TLS could not be set up or the server's certificate is not trusted.
QString untrustedMessage(const QString& reason);
// Shown when the server refused addresses for another reason than their number.
QString addressesRefusedMessage(const QStringList& addresses, const QString& serverReply);
// Why the lists cannot form e-mail addresses: the offending phone rows and carriers, the first
// few of each. Empty when every address is sound.
QString unusableAddressesMessage(const QStringList& phones, const QStringList& carriers);
// Why the user name cannot sign in.
QString unusableUserNameMessage(const QString& userAddress);
// The mail-account instructions behind "Help": six paragraphs joined by CR CR.
QString helpText();

} // namespace dispatch
