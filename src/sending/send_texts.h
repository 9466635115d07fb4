#pragma once

#include "model/command_context.h"
#include "model/route.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace sending {

// The words every route's boxes are made of.
// The first three items as `shown` gives them, joined by commas, and how many more there are.
QString firstFew(const QStringList& items,
                 const std::function<QString(const QString&)>& shown = nullptr);
// "1 phone", "2,000 phones"; "1 recipient", "3 recipients".
QString phonesText(qsizetype n);
QString recipientsText(qsizetype n);
// What the user may do when a send does not fit the day's allowance: keep it all when
// nothing fits, else send `first` now and keep `rest`.
QString allowanceChoice(qsizetype fits, const QString& first, const QString& rest);

// Asked before a send that would cross the daily allowance the user set for a route that
// counts text parts: `through` says how the texts go ("through this computer's modem"),
// `setting` names the allowance's setting ("Modem Parts A Day").
QString partsAllowanceQuestion(const QString& through, const QString& setting, qsizetype recent,
                               qsizetype needed, qsizetype partsEach, qsizetype allowance,
                               qsizetype fits);
// Offered on "Send Message" while a text kept for `route` waits and its allowance leaves room.
QString keptSendQuestion(const model::RouteWords& route, qsizetype phones, const QString& keptStamp,
                         const QString& subject, qsizetype uncertain, qsizetype fits,
                         qsizetype addresses);
// A send of several batches that did not all go: which phones got the text and which did
// not, and why (`reason`, as a send of one batch would say it; empty when the only phones
// not sent were kept by the allowance question).
struct SendOutcome {
    QStringList sentPhones;
    QStringList unsentPhones;
    QStringList uncertainPhones; // in a batch whose answer never came
    int uncertainBatches = 1;    // or in this many
    int batchesSent = 0;
    int batches = 0;
    bool logged = true; // every batch sent has its log record
};
QString sendOutcomeMessage(const model::RouteWords& route, const SendOutcome& outcome,
                           const QString& reason);
// Names the phones left out because they asked not to be texted (STOP).
QString optedOutMessage(const QStringList& phones, bool noneLeft);
// Told before a send when rows of the phone list repeat a phone: each phone gets one text.
QString repeatedRowsMessage(qsizetype rows);
// Told once when the kept texts' file could not be read whole and was moved aside.
QString keptTextsAsideMessage(const QString& keptAs);
// "Sent <m> of <n> messages (<r> of <t> recipients)", and how long is left where it is known.
QString progressText(const model::Progress& progress);

} // namespace sending
