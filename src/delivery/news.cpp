#include "delivery/news.h"

#include "core/error_report.h"
#include "records/sent_log.h"

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

} // namespace delivery
