#include "sending/allowance.h"

#include "core/settings.h"
#include "model/send_plan.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/settings_store.h"
#include "records/pending_file.h"

#include <QRegularExpression>

#include <algorithm>

namespace sending {

RecentSubmissions recentSubmissions(const QList<model::PendingSend>& sends, const QDateTime& nowUtc,
                                    const model::Route* route) {
    RecentSubmissions recent;
    QDateTime oldest;
    for (const model::PendingSend& send : sends) {
        if (send.sentUtc.secsTo(nowUtc) >= 24 * 3600)
            continue;
        qsizetype counted = send.addresses.size();
        if (route)
            counted = std::count_if(send.addresses.cbegin(), send.addresses.cend(),
                                    [route](const QString& a) { return route->counts(a); });
        if (counted == 0)
            continue;
        recent.recipients += counted * send.parts;
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

model::ModemPace modemPace(platform::SettingsStore& settings) {
    model::ModemPace pace;
    const QString code = settings.read(core::settings::kModemCountryCode, QString()).trimmed();
    static const QRegularExpression countryCode(QStringLiteral("^\\+[0-9]{1,4}$"));
    if (countryCode.match(code).hasMatch())
        pace.countryCode = code;
    bool ok = false;
    const int perMinute = settings.read(core::settings::kModemPartsPerMinute, QString()).toInt(&ok);
    if (ok && perMinute >= 0)
        pace.partsPerMinute = perMinute;
    return pace;
}

qsizetype modemPartsPerDay(platform::SettingsStore& settings) {
    bool ok = false;
    const qsizetype perDay =
        settings.read(core::settings::kModemPartsPerDay, QString()).toLongLong(&ok);
    return ok && perDay > 0 ? perDay : 500;
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
    return recentSubmissions(sends_, c_.clock.now().toUTC(), &route);
}

qsizetype Ledger::fits(const model::Route& route, qsizetype needed, qsizetype* recent,
                       qsizetype partsEach) const {
    *recent = 0;
    if (c_.dailyAllowance <= 0)
        return needed;
    if (unknown_) {
        *recent = kUnknown;
        return needed;
    }
    *recent = this->recent(route).recipients;
    return qBound<qsizetype>(0, (c_.dailyAllowance - *recent) / qMax<qsizetype>(1, partsEach),
                             needed);
}

void Ledger::remember(const model::PendingSend& send) {
    if (c_.files.pending.isEmpty())
        return;
    sends_ << send;
    records::rememberSend(c_.files.pending, send, c_.files.log);
}

} // namespace sending
