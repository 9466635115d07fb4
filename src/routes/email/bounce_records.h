#pragma once

#include "model/knowledge.h"
#include "model/send_records.h"
#include "routes/email/mail/bounce_report.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace email_route {

// "reply cap" in a send's `reported` once it has as many replies as it keeps track of.
inline const QString kRepliesFull = QStringLiteral("reply cap");
inline constexpr qsizetype kMostReplies = 500;

// Whether a bounce may teach: one that names a Message-ID of ours (only the mail system that
// had the message knows it), or a carrier's report tied by what it quotes that Gmail vouches
// came from that carrier.
inline bool vouchedFor(const mail::BounceReport& bounce) {
    return bounce.quotedTo.isEmpty() || bounce.verified;
}

// The delivery record of one send from the bounces that name its Message-ID: one line per
// refused or delayed address not yet reported (a report Gmail does not vouch for marked as
// not verified), one per phone refused at every address (said apart when only the carrier
// learned for it was tried, as `known` before this check tells), the reply lines, and (when
// the whole mailbox was read, `complete`) how many addresses sent no bounce. Marks what it
// reports in `send.reported`. Empty when there is no news.
QString deliveryRecord(const QString& nowStamp, model::PendingSend& send,
                       const QList<mail::BounceReport>& bounces, bool complete = true,
                       const QStringList& replyLines = {}, const model::Knowledge& known = {});

// The record of a send whose days passed without any check of the mailbox.
QString notCheckedRecord(const QString& nowStamp, const model::PendingSend& send);

} // namespace email_route
