#pragma once

#include "mail/bounce_report.h"
#include "model/command_context.h"
#include "model/knowledge.h"
#include "model/send_records.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace delivery {

// Learns from one check, from what Gmail vouches for only (bounces naming our Message-ID, replies
// and carriers' reports whose sender passed): a reply makes its phone's carrier certain, and
// STOP or START by reply opts it out or back in; a refusal for good (5.1.x, or the gateway's
// own "no such user") marks the gateway refused for that phone and clears a learned carrier
// there; a checked send whose phone every gateway but one refused, the last sending no
// bounce, makes that one probable. Temporary refusals teach nothing. `sends` are after the check
// (their reported addresses), `complete` as the check says. A carrier's SMS and MMS domains count
// as one.
void learn(model::Knowledge& knowledge, const QList<model::PendingSend>& sends,
           const QList<mail::BounceReport>& bounces, const QList<mail::PhoneReply>& replies,
           const QList<qsizetype>& replyOwners, bool complete, const QDateTime& nowUtc);

// A phone's text that asks not to be texted (STOP, STOPALL, UNSUBSCRIBE, CANCEL, END, QUIT:
// the whole text, in any case) marks it opted out as of `whenUtc`; START or UNSTOP lifts it.
// The caller vouches for the sender.
void learnOptOut(model::Knowledge& knowledge, const QString& phone, const QString& text,
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
