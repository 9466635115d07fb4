#pragma once

#include <QByteArray>
#include <QDateTime>
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
    // A carrier's report that names no Message-ID but quotes the original's To, Subject and
    // Date (an MMS centre's): what it quotes, for tying it to a send by them.
    QString quotedTo = {};
    QString quotedSubject = {};
    QDateTime quotedDate = {};
    // Gmail's receiving server vouches that the mail came from the domain of its From
    // (`fromDomain`); mail that it does not vouch for can be written by anyone.
    bool verified = false;
    QString fromDomain = {};
};

// A text a phone sent back: mail from <digits>@<gateway> that is no bounce.
struct PhoneReply {
    QString from; // the sender's address, as written
    QDateTime date;
    QString text;          // the first plain-text part, as the phone wrote it
    QString messageId;     // without angle brackets; or made of the sender and date
    bool verified = false; // Gmail vouches that the sender's domain sent it
    bool operator==(const PhoneReply&) const = default;
};

} // namespace mail
