#pragma once

#include "recipients/lists.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace model {

// The text as every route sends it.
struct TextToSend {
    QString subject;
    QString body;
    // When the text was first kept to go: the same when a kept text goes again, so that a
    // route may name its requests alike and its peer tell a repeat.
    QDateTime keptUtc = {};
};

// One text as the window holds it when "Send Message" is pressed: the words go on to the
// route as they stand.
struct OutgoingText {
    QStringList phones;                     // the phone list's rows, in order
    QList<recipients::CarrierRow> carriers; // the carrier list's rows with their ticks
    TextToSend words;
};

// One phone of a send and where its route sends to it: for the e-mail route the phone at
// each of its gateways, or a row written as a whole address alone.
struct PhoneTarget {
    QString phone;        // the row as typed
    QStringList gateways; // the domains it goes to; none: `phone` is itself the address
    QStringList addresses() const;
    qsizetype recipients() const { return gateways.isEmpty() ? 1 : gateways.size(); }
    bool operator==(const PhoneTarget&) const = default;
};
using Targets = QList<PhoneTarget>;

// What a send is made of: the phones in the order they go, the rows left out because nothing
// is left to send them to, and the carrier rows the user chose to untick on the way.
struct SendPlan {
    bool ready = true; // false: the route told the user why nothing can go
    Targets targets;
    QStringList leftOut;
    QList<qsizetype> untickedCarriers; // positions in the carrier list, from 0
    qsizetype repeatedRows = 0;        // rows of a phone already in the list: left out
};

// Every address of the targets, in order, and how many there are.
QStringList addressesOf(const Targets& targets);
qsizetype recipientCount(const Targets& targets);
// Each target's phone, in order.
QStringList phonesOf(const Targets& targets);
// Addresses as a file keeps them, back into targets: a run of addresses with the same number
// before the "@" is one phone; an address whose part before it is no number is a row written
// as a whole address, its own target.
Targets targetsOf(const QStringList& addresses);
// The targets of the first `count` recipients, and of those after them: a phone whose
// addresses straddle the cut is in both, each with its own part.
Targets firstRecipients(const Targets& targets, qsizetype count);
Targets afterRecipients(const Targets& targets, qsizetype count);
// The targets with `refused` taken out of each; targets left without an address go.
Targets without(const Targets& targets, const QStringList& refused);
// Only the addresses in `kept`, each target keeping its phone.
Targets onlyAt(const Targets& targets, const QStringList& kept);

// What became of one phone of a send.
enum class PhoneFate {
    Taken,     // the route took it (`reference`: the Message-ID or the modem's reference)
    Refused,   // the route refused it
    Uncertain, // it went, and the answer never came
    NotSent,   // it did not go: kept for later
};
struct PhoneOutcome {
    PhoneTarget target;
    PhoneFate fate = PhoneFate::NotSent;
    QString reference; // taken: the route's reference; refused: why, in plain words
    bool operator==(const PhoneOutcome&) const = default;
};

} // namespace model
