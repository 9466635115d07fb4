#pragma once

#include "model/knowledge.h"
#include "model/send_records.h"
#include "routes/email/mail/bounce_report.h"

#include <QDateTime>
#include <QList>

namespace email_route {

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

} // namespace email_route
