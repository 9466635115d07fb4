#include "delivery/news.h"

#include "core/error_report.h"
#include "records/pending_file.h"
#include "records/sent_log.h"
#include "records/status_file.h"

namespace delivery {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
} // namespace

bool appendNews(const QString& logPath, const QDateTime& now, const model::PendingSend& send,
                const QStringList& lines) {
    try {
        records::WriteSentLog(logPath, records::cleanForLog(records::logStamp(now), 60) + kCrLf +
                                           records::deliveryHeading(send) + kCrLf +
                                           lines.join(kCrLf) + kCrLf + kCrLf);
        return true;
    } catch (const core::Failure&) {
        return false;
    }
}

void logSendsNews(const model::CommandContext& c, const QDateTime& now,
                  QList<model::PendingSend>& sends, const QList<model::PendingSend>& before,
                  const QList<qsizetype>& mine, const SendsNews& news) {
    bool changed = false;
    for (const qsizetype i : mine) {
        if (!news.lines.contains(i))
            continue;
        if (appendNews(c.files.log, now, sends[i], news.lines.value(i))) {
            changed = true;
            records::noteStatuses(c.files.status, news.events.value(i), c.statuses);
        } else {
            sends[i].reported = before[i].reported; // told next time
        }
    }
    if (changed)
        records::savePendingSends(c.files.pending, sends);
}

} // namespace delivery
