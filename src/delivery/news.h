#pragma once

#include "model/send_records.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace delivery {

// Appends to the log at `logPath` the record of what a route heard of one send at `now`: its
// heading, then `lines`. False when the log could not be written (the news waits).
bool appendNews(const QString& logPath, const QDateTime& now, const model::PendingSend& send,
                const QStringList& lines);

} // namespace delivery
