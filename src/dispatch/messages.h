#pragma once

#include <QString>

namespace dispatch {

inline const QString kSendingLimitsArticle =
    QStringLiteral("https://support.google.com/mail/answer/22839");
inline constexpr int kRecipientLimit = 100;

// Asked before sending to more recipients than the provider tolerates.
QString recipientLimitQuestion(const QString& currentSummary, const QString& allowedSummary);
// Offered when the message did not reach the server or the login was refused.
QString loginQuestion();
// Shown when the server refused recipients.
QString tooManyRecipientsMessage(const QString& currentSummary, const QString& allowedSummary);
// The mail-account instructions behind "Help": six paragraphs joined by CR CR.
QString helpText();

} // namespace dispatch
