#include "routes/email/gateway_learning.h"

#include "delivery/learning.h"
#include "recipients/carrier_table.h"
#include "recipients/phone_rules.h"
#include "routes/email/bounce_records.h"

#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

namespace email_route {

using model::GatewayRecord;
using model::Knowledge;
using model::PendingSend;
using model::PhoneKnowledge;
using recipients::gatewayOf;
using recipients::isFullAddress;
using recipients::lastTenDigits;
using recipients::phoneOf;

namespace {
bool refusedForGood(const mail::RecipientStatus& r) {
    static const QRegularExpression noSuchUser(
        QStringLiteral("no such user|user unknown|unknown user|does not exist|invalid recipient|"
                       "not a valid (mobile|subscriber)"),
        QRegularExpression::CaseInsensitiveOption);
    return r.failed && (r.status.startsWith(QLatin1String("5.1.")) ||
                        noSuchUser.match(r.diagnostic).hasMatch());
}

} // namespace

namespace {

// Refusals for good, by each send's own addresses only.
void learnRefusals(Knowledge& k, const QList<PendingSend>& sends,
                   const QList<mail::BounceReport>& bounces, const QDateTime& nowUtc) {
    for (const PendingSend& send : sends) {
        QSet<QString> own;
        for (const QString& address : send.addresses)
            own.insert(address.toLower());
        for (const mail::BounceReport& bounce : bounces) {
            if (!vouchedFor(bounce) ||
                !bounce.messageIds.contains(send.messageId, Qt::CaseInsensitive))
                continue;
            for (const mail::RecipientStatus& r : bounce.recipients)
                if (own.contains(r.address.toLower()) && refusedForGood(r) &&
                    lastTenDigits(phoneOf(r.address)).size() >= 7) {
                    PhoneKnowledge& phone = k.phones[lastTenDigits(phoneOf(r.address))];
                    if (!phone.refusedAt.contains(gatewayOf(r.address)))
                        phone.refusedAt.insert(gatewayOf(r.address), nowUtc);
                    // The learned carrier refuses it now (a wrong guess, or the phone moved):
                    // the next send tries its other ticked gateways again.
                    if (phone.carrier.compare(gatewayOf(r.address), Qt::CaseInsensitive) == 0) {
                        phone.carrier.clear();
                        phone.certain = false;
                    }
                }
        }
    }
}

// A reply: the carrier is certain; kept as the gateway the send used for that carrier.
void learnReplies(Knowledge& k, const QList<PendingSend>& sends,
                  const QList<mail::PhoneReply>& replies, const QList<qsizetype>& owners,
                  const QDateTime& nowUtc) {
    for (qsizetype r = 0; r < replies.size(); ++r) {
        if (owners.value(r, -1) < 0 || !replies[r].verified)
            continue;
        const PendingSend& send = sends[owners[r]];
        const QString digits = lastTenDigits(phoneOf(replies[r].from));
        const QStringList carrier = recipients::sameCarrier(gatewayOf(replies[r].from));
        QString gateway = gatewayOf(replies[r].from);
        for (const QString& address : send.addresses)
            if (lastTenDigits(phoneOf(address)) == digits &&
                carrier.contains(gatewayOf(address), Qt::CaseInsensitive)) {
                gateway = gatewayOf(address);
                break;
            }
        PhoneKnowledge& phone = k.phones[digits];
        phone.carrier = gateway;
        phone.certain = true;
        phone.carrierLearnedUtc = nowUtc;
        phone.refusedAt.remove(gateway);
    }
}

// A phone of a send checked for the first time whose every gateway but one carrier's refused
// it for good, while that one (its SMS and MMS domains count as one) sent no bounce: that
// carrier is probably its own.
void learnProbableCarrier(Knowledge& k, const PendingSend& send, const QString& digits,
                          const QStringList& addresses, const QSet<QString>& bounced,
                          const QDateTime& nowUtc) {
    const auto known = k.phones.constFind(digits);
    if (addresses.size() < 2 || known == k.phones.cend() || known->certain)
        return;
    QStringList open;
    for (const QString& address : addresses)
        if (!known->refusedAt.contains(gatewayOf(address)))
            open << address;
    const QStringList carrier =
        open.isEmpty() ? QStringList() : recipients::sameCarrier(gatewayOf(open.first()));
    bool oneCarrier = !open.isEmpty();
    for (const QString& address : std::as_const(open))
        oneCarrier = oneCarrier && carrier.contains(gatewayOf(address), Qt::CaseInsensitive) &&
                     !bounced.contains(address.toLower()) &&
                     !send.reported.contains(address + QStringLiteral(" delayed"));
    if (oneCarrier) {
        PhoneKnowledge& phone = k.phones[digits];
        phone.carrier = gatewayOf(open.first());
        phone.carrierLearnedUtc = nowUtc;
    }
}

// Each gateway's record of this check: the sends checked for the first time (the messages of
// one send are checked together), each counted once; and the probable carriers they show.
void learnFromFirstChecks(Knowledge& k, const QList<PendingSend>& sends, const QDateTime& nowUtc) {
    QMap<QString, GatewayRecord> used;
    for (const PendingSend& send : sends) {
        if (send.checked)
            continue;
        QSet<QString> bounced;
        for (const QString& key : send.reported)
            if (key.endsWith(QLatin1String(" failed")))
                bounced.insert(key.section(QLatin1Char(' '), 0, 0).toLower());
        QMap<QString, QStringList> byPhone;
        for (const QString& address : send.addresses) {
            GatewayRecord& record = used[gatewayOf(address)];
            ++record.sent;
            record.refused += bounced.contains(address.toLower());
            byPhone[lastTenDigits(phoneOf(address))] << address;
        }
        for (auto p = byPhone.cbegin(); p != byPhone.cend(); ++p)
            learnProbableCarrier(k, send, p.key(), p.value(), bounced, nowUtc);
    }
    for (auto g = used.cbegin(); g != used.cend(); ++g) {
        QList<GatewayRecord>& history = k.gateways[g.key()];
        history << g.value();
        history = history.mid(qMax<qsizetype>(0, history.size() - model::kGatewaySends));
    }
}

} // namespace

void learn(Knowledge& k, const QList<PendingSend>& sends, const QList<mail::BounceReport>& bounces,
           const QList<mail::PhoneReply>& replies, const QList<qsizetype>& owners, bool complete,
           const QDateTime& nowUtc) {
    learnRefusals(k, sends, bounces, nowUtc);
    learnReplies(k, sends, replies, owners, nowUtc);
    // STOP and START in the order the phones sent them, from senders Gmail vouches for.
    QList<qsizetype> byDate;
    for (qsizetype r = 0; r < replies.size(); ++r)
        if (replies[r].verified)
            byDate << r;
    std::stable_sort(byDate.begin(), byDate.end(),
                     [&](qsizetype a, qsizetype b) { return replies[a].date < replies[b].date; });
    for (const qsizetype r : std::as_const(byDate))
        delivery::learnOptOut(k, phoneOf(replies[r].from), replies[r].text,
                              replies[r].date.isValid() ? replies[r].date : nowUtc);
    if (complete)
        learnFromFirstChecks(k, sends, nowUtc);
}

} // namespace email_route
