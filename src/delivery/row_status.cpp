#include "delivery/row_status.h"

#include "delivery/learning.h"
#include "recipients/phone_rules.h"
#include "records/knowledge_file.h"
#include "records/sent_log.h"
#include "records/status_file.h"

#include <QLocale>
#include <QSet>

namespace delivery {

using model::StatusKind;
using Stage = RowStatus::Stage;

namespace {
QString wordsOf(const model::StatusEvent& e) {
    const QString why = e.detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(e.detail);
    switch (e.kind) {
    case StatusKind::Taken: // the detail: how the route says it went, where not "sent"
        return (e.detail.isEmpty() ? QStringLiteral("sent") : e.detail) + QLatin1Char(' ') +
               e.route;
    case StatusKind::NotSent:
        return QStringLiteral("not sent") + why;
    case StatusKind::MayHaveGone:
        return QStringLiteral("may have gone ") + e.route;
    case StatusKind::Delivered:
        return QStringLiteral("delivered");
    case StatusKind::NotDelivered:
        return QStringLiteral("not delivered") + why;
    case StatusKind::Replied:
        return QStringLiteral("replied \u201c%1\u201d").arg(e.detail.left(40));
    }
    return {};
}

// A field as a spreadsheet reads it back as it was: quoted where it holds a separator, a
// quote or a line end, and never taken for a formula.
QString csvField(QString text, bool fromOutside) {
    if (fromOutside && !text.isEmpty() && QStringLiteral("=+-@\t\r").contains(text.front()))
        text.prepend(QLatin1Char('\''));
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
        text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
        return QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
               QLatin1Char('"');
    return text;
}
} // namespace

RowStatus rowStatus(const model::PhoneStatuses& statuses, const model::Knowledge& known,
                    const QString& phoneRow, const QString& countryCode, bool withPast) {
    RowStatus status;
    status.phone = records::statusKey(phoneRow, countryCode);
    const auto found = statuses.constFind(status.phone);
    if (found != statuses.cend()) {
        for (const model::StatusEvent& e : *found) {
            if (withPast)
                status.past.prepend(records::logStamp(e.whenUtc.toLocalTime()) +
                                    QStringLiteral(": ") + wordsOf(e));
            if (!e.route.isEmpty())
                status.route = e.route;
            switch (e.kind) {
            case StatusKind::Taken:
            case StatusKind::MayHaveGone:
                status.stage = Stage::Waiting;
                status.replied = false;
                break;
            case StatusKind::NotSent:
                status.stage = Stage::NotSent;
                break;
            case StatusKind::Delivered:
                status.stage = Stage::Delivered;
                break;
            case StatusKind::NotDelivered:
                status.stage = Stage::NotDelivered;
                break;
            case StatusKind::Replied:
                status.replied = true;
                status.reply = e.detail;
                break;
            }
        }
        // The latest event in words, with when; a reply that may ask not to be texted says so.
        status.words = wordsOf(found->last());
        status.mayOptOut =
            found->last().kind == StatusKind::Replied && mayAskNotToBeTexted(found->last().detail);
        if (status.mayOptOut)
            status.words += QStringLiteral(" (may be asking not to be texted)");
        status.when = records::logStamp(found->last().whenUtc.toLocalTime());
    }
    if (records::optedOut(known, phoneRow, countryCode)) {
        status.optedOut = true;
        status.mayOptOut = false;
        status.words = QStringLiteral("asked not to be texted");
        status.when = records::logStamp(
            known.phones.value(recipients::lastTenDigits(phoneRow)).optedOutUtc.toLocalTime());
    }
    return status;
}

QString statusCell(const RowStatus& status) {
    if (status.words.isEmpty())
        return {};
    return status.when.isEmpty() ? status.words : status.words + QStringLiteral(", ") + status.when;
}

QString statusSummary(const QList<RowStatus>& rows) {
    qsizetype delivered = 0, notDelivered = 0, waiting = 0, notSent = 0, replied = 0, stopped = 0;
    QSet<QString> counted;
    for (const RowStatus& r : rows) {
        if (counted.contains(r.phone))
            continue;
        counted.insert(r.phone);
        delivered += r.stage == Stage::Delivered;
        notDelivered += r.stage == Stage::NotDelivered;
        waiting += r.stage == Stage::Waiting;
        notSent += r.stage == Stage::NotSent;
        replied += r.replied;
        stopped += r.optedOut;
    }
    if (delivered + notDelivered + waiting + notSent + replied + stopped == 0)
        return {};
    const QLocale english(QLocale::English);
    QStringList parts;
    for (const auto& [count, word] : {std::pair{delivered, "delivered"},
                                      {notDelivered, "not delivered"},
                                      {waiting, "waiting"},
                                      {notSent, "not sent"}})
        if (count > 0)
            parts << english.toString(count) + QLatin1Char(' ') + QLatin1String(word);
    QString text = english.toString(counted.size()) +
                   (counted.size() == 1 ? QStringLiteral(" phone") : QStringLiteral(" phones"));
    if (!parts.isEmpty())
        text += QStringLiteral(": ") + parts.join(QStringLiteral(", "));
    if (replied > 0)
        text += QStringLiteral("; %1 replied").arg(english.toString(replied));
    if (stopped > 0)
        text += QStringLiteral("; %1 asked not to be texted").arg(english.toString(stopped));
    return text;
}

QString statusCsv(const QStringList& phoneRows, const QList<RowStatus>& rows,
                  const QStringList& names) {
    const bool named = !names.isEmpty();
    QString csv = named ? QStringLiteral("phone,name,status,when,route,reply\r\n")
                        : QStringLiteral("phone,status,when,route,reply\r\n");
    for (qsizetype i = 0; i < phoneRows.size() && i < rows.size(); ++i)
        csv += csvField(phoneRows[i], false) + QLatin1Char(',') +
               (named ? csvField(names.value(i), true) + QLatin1Char(',') : QString()) +
               csvField(rows[i].words, true) + QLatin1Char(',') + csvField(rows[i].when, false) +
               QLatin1Char(',') + csvField(rows[i].route, false) + QLatin1Char(',') +
               csvField(rows[i].reply, true) + QStringLiteral("\r\n");
    return csv;
}

} // namespace delivery
