#pragma once

#include "model/command_context.h"
#include "model/phone_status.h"
#include "model/send_records.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

namespace delivery {

// Appends to the log at `logPath` the record of what a route heard of one send at `now`: its
// heading, then `lines`. False when the log could not be written (the news waits).
bool appendNews(const QString& logPath, const QDateTime& now, const model::PendingSend& send,
                const QStringList& lines);

// What a route heard of its recent sends: for a send (by its place among the pending sends)
// the lines its log record gets and what they tell of its phone's status.
struct SendsNews {
    QHash<qsizetype, QStringList> lines;
    QHash<qsizetype, QList<model::StatusEvent>> events;
};

// Logs the news of each send of `mine` that has any, and notes what it tells of the statuses
// (`c.files.status`, `c.statuses`). A send whose news could not be logged gets back the
// `reported` it had `before`, so that it is told next time. The pending sends are saved when
// any news was logged, with what each has told.
void logSendsNews(const model::CommandContext& c, const QDateTime& now,
                  QList<model::PendingSend>& sends, const QList<model::PendingSend>& before,
                  const QList<qsizetype>& mine, const SendsNews& news);

} // namespace delivery
