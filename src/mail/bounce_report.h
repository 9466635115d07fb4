#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace mail {

// What a bounce says of one recipient.
struct RecipientStatus {
    QString address;        // the recipient as the send addressed it
    bool failed = false;    // "failed"; otherwise the delivery is only delayed
    QString status;         // e.g. "5.1.1"
    QString diagnostic;     // the remote server's words, as the bounce quotes them
    QString willRetryUntil; // for delays, as the bounce writes it
    bool operator==(const RecipientStatus&) const = default;
};

// One bounce: the Message-IDs it names for the message it returns, and what it says of
// each recipient. A mail that is no bounce has no recipients.
struct BounceReport {
    QStringList messageIds; // without angle brackets
    QList<RecipientStatus> recipients;
};

// Reads a bounce: an RFC 3464 delivery status notification (in a multipart/report, its
// parts nested, encoded or not), or a carrier's plain-text bounce that names the refused
// "RCPT TO:" address. The returned message's own Message-ID (in In-Reply-To, References,
// X-Original-Message-ID or the returned headers) ties it to a send; nothing is guessed.
// Bounded: at most 64 nested parts and 500 recipients are read.
BounceReport readBounce(const QByteArray& mail);

} // namespace mail
