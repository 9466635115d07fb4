#pragma once

#include "dispatch/delivery_records.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace dispatch {

// What the replies and bounces taught of one phone.
struct PhoneKnowledge {
    QString carrier;      // the gateway of its carrier; empty when not known
    bool certain = false; // from a reply; otherwise probable (every other gateway refused it)
    QDateTime carrierLearnedUtc;
    QMap<QString, QDateTime> refusedAt; // gateways that refused it for good, and when
    bool operator==(const PhoneKnowledge&) const = default;
};

// How each gateway answered the last three checks that saw sends to it for the first time.
struct GatewayRecord {
    qsizetype sent = 0;
    qsizetype refused = 0;
    bool operator==(const GatewayRecord&) const = default;
};

// Kept per phone by its last ten digits, beside the pending sends (private like them).
struct Knowledge {
    QMap<QString, PhoneKnowledge> phones;
    QMap<QString, QList<GatewayRecord>> gateways; // by domain, the newest last
    bool operator==(const Knowledge&) const = default;
};

inline const QString kKnowledgeFileName = QStringLiteral("phone-carriers.tsv");

QByteArray knowledgeText(const Knowledge& knowledge);
Knowledge readKnowledge(const QByteArray& text);
// A missing or unreadable file knows nothing; what cannot be read is left out.
Knowledge loadKnowledge(const QString& path);
bool saveKnowledge(const QString& path, const Knowledge& knowledge);

// The addresses one phone row gets at the ticked `domains`: a full address alone; a phone
// whose carrier is known and ticked only at that carrier's gateway; otherwise every ticked
// gateway that has not refused it for good (none when all have).
QStringList addressesFor(const QString& phoneRow, const QStringList& domains,
                         const Knowledge& knowledge);

// Learns from one check: a reply makes its phone's carrier certain; a refusal for good (5.1.x,
// or the gateway's own "no such user") marks the gateway refused for that phone; a checked
// send whose phone every gateway but one refused, the last sending no bounce, makes that one
// probable. Temporary refusals teach nothing. `sends` are after the check (their reported
// addresses), `complete` as the check says. A carrier's SMS and MMS domains count as one.
void learn(Knowledge& knowledge, const QList<PendingSend>& sends,
           const QList<mail::BounceReport>& bounces, const QList<mail::PhoneReply>& replies,
           const QList<qsizetype>& replyOwners, bool complete, const QDateTime& nowUtc);

// Ticked gateways that refused every address in each of the last three checks of sends that
// used them, at least ten addresses in all: closed, most likely.
QStringList closedGateways(const Knowledge& knowledge, const QStringList& tickedDomains);

// What the phone list shows of a row: its carrier and the gateways that refused it; empty
// when nothing was learned.
QString knowledgeTip(const Knowledge& knowledge, const QString& phoneRow);

} // namespace dispatch
