#pragma once

#include "dispatch/dispatch_context.h"

#include <QString>
#include <QStringList>

namespace dispatch {

struct Knowledge;

struct Expansion {
    QString recipients;  // every phone at every ticked domain, phone-major, comma-joined
    QString phones;      // the phone rows, comma-joined
    QStringList leftOut; // phones that every ticked gateway refused for good: no address
};

// Joins every phone with every domain (the ticked carriers, in list order); a phone row that
// is already a full address (isFullAddress) goes to that address alone. Both strings lose
// their final comma only when the recipient string is not empty, so with no domain (and no
// full address) the phone string keeps its trailing comma. Linear in the length of the result.
// With `known` (what was learned of each phone), each phone row gets the addresses that
// addressesFor gives it; a phone left without any is named in `leftOut`, not in `phones`.
Expansion expandRecipients(const QStringList& phones, const QStringList& tickedDomains,
                           const Knowledge* known = nullptr);

// A phone row written as number@domain: sent there alone, whatever is ticked.
bool isFullAddress(const QString& phoneRow);
// The recipients the rows make at the ticked carriers, with what was learned of each phone;
// more than 32767 carrier rows is an Overflow failure.
qsizetype recipientCount(const QStringList& phones, const QList<recipients::CarrierRow>& carriers,
                         const Knowledge& known);

// The addresses in messages of at most `most` recipients, in order. A phone's addresses (a
// run with the same part before the "@") stay in one message whenever they fit in one.
QList<QStringList> messageGroups(const QStringList& addresses, qsizetype most);

// "<n> phones at <m> carriers" of the text's lists, and the same for the most recipients one
// message takes (the recipient-limit question and the too-many-recipients box).
QString recipientSummary(const OutgoingText& text);
QString allowedRecipientSummary(const OutgoingText& text);

} // namespace dispatch
