#pragma once

#include "mail/bounce_report.h"
#include "model/send_records.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace delivery {

// Marks a reply reported in a send's `reported`: "reply " and the reply's Message-ID.
inline const QString kReplyKey = QStringLiteral("reply ");

// The delivery record of one send from the bounces that name its Message-ID: one line per
// refused or delayed address not yet reported, one per phone refused at every address, the
// reply lines, and (when the whole mailbox was read, `complete`) how many addresses sent no
// bounce. Marks what it reports in `send.reported`. Empty when there is no news.
QString deliveryRecord(const QString& nowStamp, model::PendingSend& send,
                       const QList<mail::BounceReport>& bounces, bool complete = true,
                       const QStringList& replyLines = {});

// The record of a send whose days passed without any check of the mailbox.
QString notCheckedRecord(const QString& nowStamp, const model::PendingSend& send);

} // namespace delivery
