#pragma once

#include "model/command_context.h"
#include "model/route.h"
#include "model/send_records.h"

#include <QDateTime>
#include <QList>

namespace sending {

// The recipients the account took in the 24 hours before `nowUtc`, and when the oldest of
// those sends leaves that window (invalid when there were none).
struct RecentSubmissions {
    qsizetype recipients = 0; // each counted as its send's parts
    QDateTime windowFreesUtc;
};
// Only the sends of the route named `routeId`, when one is named.
RecentSubmissions recentSubmissions(const QList<model::PendingSend>& sends, const QDateTime& nowUtc,
                                    const QString& routeId = {});

// The sends of the last days as one send sees them: the pending sends read once when it
// starts, and each batch it sends added as it is taken.
class Ledger {
  public:
    // A file that could not be read whole is kept aside and the user told.
    explicit Ledger(const model::CommandContext& c);
    // What `route` sent in the last 24 hours.
    RecentSubmissions recent(const model::Route& route) const;
    // How many of `needed` recipients, each counting `partsEach`, fit in the route's daily
    // allowance now (all when the route has none); `recent` receives what the last 24 hours
    // took, or kUnknown when the record of them could not be read (then all fit, and the
    // send asks).
    qsizetype fits(const model::Route& route, qsizetype needed, qsizetype* recent,
                   qsizetype partsEach = 1) const;
    static constexpr qsizetype kUnknown = -1;
    // The pending sends as read once (sends stamped ahead of now restamped), and those since.
    const QList<model::PendingSend>& sends() const { return sends_; }
    // Remembers a send the route took, for its delivery check and the allowance.
    void remember(const model::PendingSend& send);

  private:
    const model::CommandContext& c_;
    QList<model::PendingSend> sends_;
    bool unknown_ = false;
};

} // namespace sending
