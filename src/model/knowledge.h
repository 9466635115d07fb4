#pragma once

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

namespace model {

// What the replies and bounces taught of one phone.
struct PhoneKnowledge {
    QString carrier;      // the gateway of its carrier; empty when not known
    bool certain = false; // from a reply; otherwise probable (every other gateway refused it)
    QDateTime carrierLearnedUtc;
    QMap<QString, QDateTime> refusedAt; // gateways that refused it for good, and when
    QDateTime optedOutUtc; // when it asked not to be texted (STOP); invalid when it did not
    // The whole number that asked, where its route gave one ("+445551230206"); none: every
    // number with these last ten digits (an e-mail gateway gives no more).
    QString optedOutNumber;
    bool operator==(const PhoneKnowledge&) const = default;
};

// How each gateway answered the last three checks that saw sends to it for the first time.
struct GatewayRecord {
    qsizetype sent = 0;
    qsizetype refused = 0;
    bool operator==(const GatewayRecord&) const = default;
};

// What is known of each phone, by its last ten digits, and of each gateway.
struct Knowledge {
    QMap<QString, PhoneKnowledge> phones;
    QMap<QString, QList<GatewayRecord>> gateways; // by domain, the newest last
    bool operator==(const Knowledge&) const = default;
};

// A checked gateway's history: the last three checks.
inline constexpr qsizetype kGatewaySends = 3;

} // namespace model
