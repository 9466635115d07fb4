#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

namespace model {

// What became of a phone's text, as a send or a route's news told it.
enum class StatusKind {
    Taken,        // the route took it
    NotSent,      // it did not go (`detail`: why), kept or not
    MayHaveGone,  // it went and its answer never came
    Delivered,    // the network says the phone got it
    NotDelivered, // the network or the gateways gave up (`detail`: why)
    Replied,      // the phone answered (`detail`: its text)
};
struct StatusEvent {
    QString phone; // its key: the whole number ("+15550000001"), or a row that is no number
    StatusKind kind = StatusKind::Taken;
    QDateTime whenUtc;
    QString route;  // how it went, as its route says: "by e-mail"
    QString detail; // why, or the reply's text; for a text taken, how the route says it went
    bool operator==(const StatusEvent&) const = default;
};
// The last events of each phone, newest last.
using PhoneStatuses = QHash<QString, QList<StatusEvent>>;
inline constexpr qsizetype kStatusEvents = 8;

} // namespace model
