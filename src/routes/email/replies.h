#pragma once

#include "model/send_records.h"
#include "routes/email/mail/bounce_report.h"

#include <QList>
#include <QStringList>

namespace email_route {

// Which send each reply belongs to: the latest send before it that addressed the reply's
// phone at a gateway of the reply's carrier; -1 for none (a number not sent to).
QList<qsizetype> replyOwners(const QList<model::PendingSend>& sends,
                             const QList<mail::PhoneReply>& replies);
// "Reply from <phone> (<domain>) <local date-time>: <text>" for each reply not yet reported
// (", not verified" after the domain when Gmail does not vouch for it), the text cleaned and
// cut at 160 characters; marks each in `send.reported`.
// `told`, when given, receives the replies it logged.
QStringList replyLines(model::PendingSend& send, const QList<mail::PhoneReply>& replies,
                       QList<mail::PhoneReply>* told = nullptr);

} // namespace email_route
