#pragma once

#include "routes/email/mail/mail_submitter.h"

#include <QByteArray>
#include <QDateTime>
#include <optional>

namespace mail {

// The text with every line break (CR LF, lone CR or LF) written as CR LF.
QString withCrLfLineEnds(const QString& text);

// An ASCII mailbox as SMTP carries it: a dot-string local part of the characters RFC 5321
// allows (no space, quote, "<", ">", comma or control character), at most 64 long, "@", a
// domain of letters, digits and hyphens in dot-separated labels; at most 254 in all.
bool isLocalPart(QStringView text);
bool isDomain(QStringView text);
bool isMailbox(QStringView address);
inline constexpr qsizetype kLongestAddress = 254;

// Why a message cannot be submitted safely: a line break or NUL in a header value or an
// address would add header lines or SMTP commands. Nothing when the message is sound.
std::optional<QString> unsafeMessageReason(const MailMessage& message);

// A Subject field value: printable ASCII as it stands, anything else as RFC 2047
// encoded words of UTF-8, folded between words.
QByteArray encodeSubject(const QString& subject);

// The Message-ID that composeMessage gives the message, without angle brackets.
QByteArray messageIdOf(const MailMessage& message, const QByteArray& uniqueToken);

// The complete RFC 5322 message with CR LF line ends: header fields, then a
// multipart/alternative body with the typed text as text/plain and text/html.
// `uniqueToken` makes the Message-ID and the part boundary.
QByteArray composeMessage(const MailMessage& message, const QDateTime& date,
                          const QByteArray& uniqueToken);

} // namespace mail
