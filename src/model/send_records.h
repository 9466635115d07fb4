#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace model {

// A send that its route took, kept until its bounces have had time to arrive. The pending
// sends of the last 24 hours are also what the daily allowance counts.
struct PendingSend {
    QString messageId; // the route's reference: for mail, the Message-ID without brackets
    QDateTime sentUtc;
    QString stamp; // the date-time text of its log record
    QString subject;
    QStringList addresses;
    QStringList reported; // "address failed" or "address delayed", already in the log
    bool checked = false; // a check of the mailbox has run since the send
    qsizetype parts = 1;  // what each address counts toward the allowance: a text's parts
    QString route = {};   // the route it went by ("email", "modem")
    bool operator==(const PendingSend&) const = default;
};

inline constexpr qint64 kPendingDays = 4;

// Marks a reply reported in a send's `reported`: "reply " and a digest of its Message-ID (or
// of the id the route gave the text received).
inline const QString kReplyKey = QStringLiteral("reply ");

// A text whose recipients did not all go out: kept before the send connects and brought up
// to date after each batch taken, so that a stop, a refusal or a crash leaves exactly what
// has not gone.
struct KeptSend {
    QDateTime keptUtc;
    QString subject;
    QString body;
    QStringList addresses; // not yet taken, in the order they go
    // The first `uncertain` addresses went in a batch whose answer never came: it may have
    // gone out.
    qsizetype uncertain = 0;
    QString route = {}; // the route that sends it ("email", "modem")
    bool operator==(const KeptSend&) const = default;
};

} // namespace model
