#include "sending/allowance.h"

#include "model/send_plan.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "records/pending_file.h"

namespace sending {

RecentSubmissions recentSubmissions(const QList<model::PendingSend>& sends, const QDateTime& nowUtc,
                                    const QString& routeId) {
    RecentSubmissions recent;
    QDateTime oldest;
    for (const model::PendingSend& send : sends) {
        if (send.sentUtc.secsTo(nowUtc) >= 24 * 3600 ||
            (!routeId.isEmpty() && send.route != routeId))
            continue;
        recent.recipients += send.addresses.size() * send.parts;
        if (!oldest.isValid() || send.sentUtc < oldest)
            oldest = send.sentUtc;
    }
    if (oldest.isValid())
        recent.windowFreesUtc = oldest.addDays(1);
    return recent;
}

Ledger::Ledger(const model::CommandContext& c) : c_(c) {
    if (c.files.pending.isEmpty())
        return;
    QString keptAs;
    sends_ = records::loadPendingSends(c.files.pending, &keptAs);
    // A send stamped ahead of now went while the clock ran ahead: it counts as sent now, so
    // that it holds the allowance for 24 hours at most.
    const QDateTime now = c.clock.now().toUTC();
    bool restamped = false;
    for (model::PendingSend& send : sends_)
        if (send.sentUtc > now) {
            send.sentUtc = now;
            restamped = true;
        }
    if (restamped && keptAs.isEmpty())
        records::savePendingSends(c.files.pending, sends_);
    if (keptAs.isEmpty())
        return;
    // What went in the last 24 hours is no longer known for sure: every send asks.
    unknown_ = true;
    // What could be read goes on in a new file.
    records::savePendingSends(c.files.pending, sends_);
    c.desktop.messageBox(records::pendingKeptAsideMessage(keptAs), platform::Buttons::Ok,
                         platform::Icon::None, c.applicationTitle);
}

RecentSubmissions Ledger::recent(const model::Route& route) const {
    return recentSubmissions(sends_, c_.clock.now().toUTC(), route.id());
}

qsizetype Ledger::fits(const model::Route& route, qsizetype needed, qsizetype* recent,
                       qsizetype partsEach) const {
    *recent = 0;
    const qsizetype allowance = route.dailyAllowance();
    if (allowance <= 0)
        return needed;
    if (unknown_) {
        *recent = kUnknown;
        return needed;
    }
    *recent = this->recent(route).recipients;
    return qBound<qsizetype>(0, (allowance - *recent) / qMax<qsizetype>(1, partsEach), needed);
}

void Ledger::remember(const model::PendingSend& send) {
    if (c_.files.pending.isEmpty())
        return;
    sends_ << send;
    records::rememberSend(c_.files.pending, send, c_.files.log);
}

} // namespace sending
