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

} // namespace mail
