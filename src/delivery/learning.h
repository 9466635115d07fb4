#pragma once

#include "mail/bounce_report.h"
#include "model/command_context.h"
#include "model/knowledge.h"
#include "model/send_records.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace delivery {

// Learns from one check: a reply makes its phone's carrier certain; a refusal for good (5.1.x,
// or the gateway's own "no such user") marks the gateway refused for that phone; a checked
// send whose phone every gateway but one refused, the last sending no bounce, makes that one
// probable. Temporary refusals teach nothing. `sends` are after the check (their reported
// addresses), `complete` as the check says. A carrier's SMS and MMS domains count as one.
void learn(model::Knowledge& knowledge, const QList<model::PendingSend>& sends,
           const QList<mail::BounceReport>& bounces, const QList<mail::PhoneReply>& replies,
           const QList<qsizetype>& replyOwners, bool complete, const QDateTime& nowUtc);

// What is known of each phone, from its file; a missing or unreadable one knows nothing.
model::Knowledge whatIsKnown(const model::DataFiles& files);
// Forgets what was learned of the phone rows (of every phone when none is named), in
// `known` and in its file.
void forget(const model::DataFiles& files, model::Knowledge& known, const QStringList& phoneRows);

// What the phone list shows of a row: its carrier and the gateways that refused it; empty
// when nothing was learned.
QString knowledgeTip(const model::Knowledge& knowledge, const QString& phoneRow);

} // namespace delivery
