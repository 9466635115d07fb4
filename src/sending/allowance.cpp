#include "sending/allowance.h"

#include "core/settings.h"
#include "model/send_plan.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/settings_store.h"
#include "records/pending_file.h"

namespace sending {

RecentSubmissions recentSubmissions(const QList<model::PendingSend>& sends,
                                    const QDateTime& nowUtc) {
    RecentSubmissions recent;
    QDateTime oldest;
    for (const model::PendingSend& send : sends) {
        if (send.sentUtc.secsTo(nowUtc) >= 24 * 3600)
            continue;
        recent.recipients += send.addresses.size();
        if (!oldest.isValid() || send.sentUtc < oldest)
            oldest = send.sentUtc;
    }
    if (oldest.isValid())
        recent.windowFreesUtc = oldest.addDays(1);
    return recent;
}

qsizetype dailyAllowance(platform::SettingsStore& settings) {
    const QString workspace = settings.read(core::settings::kGoogleWorkspace, QString());
    return workspace.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0
               ? model::kWorkspaceDailyRecipients
               : model::kGmailDailyRecipients;
}

Ledger::Ledger(const model::CommandContext& c) : c_(c) {
    if (c.files.pending.isEmpty())
        return;
    QString keptAs;
    sends_ = records::loadPendingSends(c.files.pending, &keptAs);
    if (keptAs.isEmpty())
        return;
    // What could be read goes on in a new file.
    records::savePendingSends(c.files.pending, sends_);
    c.desktop.messageBox(records::pendingKeptAsideMessage(keptAs), platform::Buttons::Ok,
                         platform::Icon::None, c.applicationTitle);
}

RecentSubmissions Ledger::recent() const {
    return recentSubmissions(sends_, c_.clock.now().toUTC());
}

qsizetype Ledger::fits(qsizetype needed, qsizetype* recent) const {
    *recent = 0;
    if (c_.dailyAllowance <= 0)
        return needed;
    *recent = this->recent().recipients;
    return qBound<qsizetype>(0, c_.dailyAllowance - *recent, needed);
}

void Ledger::remember(const model::PendingSend& send) {
    if (c_.files.pending.isEmpty())
        return;
    sends_ << send;
    records::rememberSend(c_.files.pending, send, c_.files.log);
}

} // namespace sending
