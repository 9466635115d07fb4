#pragma once

#include "routes/email/mail/bounce_report.h"

#include <QByteArray>
#include <optional>

namespace mail {

// Reads a bounce: an RFC 3464 delivery status notification (in a multipart/report, its
// parts nested, encoded or not), or a carrier's plain-text bounce that names the refused
// "RCPT TO:" address. The returned message's own Message-ID (in In-Reply-To, References,
// X-Original-Message-ID or the returned headers) ties it to a send; nothing is guessed. A
// carrier's report with no Message-ID that quotes the original's To, Subject and Date gives
// them instead (BounceReport::quotedTo...), the quoted To failed.
// Bounded: at most 64 nested parts and 500 recipients are read.
BounceReport readBounce(const QByteArray& mail);

// Reads a phone's reply: a mail whose sender's local part is a phone number (digits, with a
// leading "+" at most) and that is no bounce. Its text is the first text/plain part (an MMS
// centre sends it as an attachment), converted from its charset. Nothing when it is no reply.
std::optional<PhoneReply> readReply(const QByteArray& mail);

} // namespace mail
