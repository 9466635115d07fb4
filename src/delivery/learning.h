#pragma once

#include "model/command_context.h"
#include "model/knowledge.h"
#include "model/send_records.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace delivery {

// A phone's text that asks not to be texted (STOP, STOPALL, UNSUBSCRIBE, CANCEL, END, QUIT,
// REVOKE, OPT OUT, OPTOUT: the whole text, in any case and spacing) marks it opted out as of
// `whenUtc`; START or UNSTOP lifts it.
// The caller vouches for the sender.
void learnOptOut(model::Knowledge& knowledge, const QString& phone, const QString& text,
                 const QDateTime& whenUtc);
// Whether a reply holds a word that asks not to be texted among other words ("please stop
// texting me about the bill"): for the user to decide, never acted on by itself.
bool mayAskNotToBeTexted(const QString& reply);
// Leaves the phone row out of later sends as its STOP would, in `known` and in its file.
void leaveOut(const model::DataFiles& files, model::Knowledge& known, const QString& phoneRow,
              const QDateTime& whenUtc);
// Lifts the phone row's opt-out, in `known` and in its file.
void textAgain(const model::DataFiles& files, model::Knowledge& known, const QString& phoneRow);

// What is known of each phone, from its file; a missing or unreadable one knows nothing, and
// one that cannot be used is moved aside (`keptAs` says where).
model::Knowledge whatIsKnown(const model::DataFiles& files, QString* keptAs = nullptr);
// Forgets what was learned of the phone rows (of every phone when none is named), in
// `known` and in its file; a phone's STOP stays.
void forget(const model::DataFiles& files, model::Knowledge& known, const QStringList& phoneRows);

// What the phone list shows of a row: its carrier, the gateways that refused it, and its STOP
// (a STOP from a whole number where the row, after `countryCode`, is that number); empty
// when nothing was learned.
QString knowledgeTip(const model::Knowledge& knowledge, const QString& phoneRow,
                     const QString& countryCode = QStringLiteral("+1"));

} // namespace delivery
