#include "dispatch/phone_knowledge.h"

#include "dispatch/list_files.h"
#include "dispatch/recipient_expansion.h"
#include "dispatch/sent_log.h"
#include "platform/private_files.h"
#include "recipients/carrier_table.h"
#include "recipients/phone_rules.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

namespace dispatch {

using recipients::gatewayOf;
using recipients::phoneOf;

namespace {
constexpr qint64 kLongestKnowledgeFile = 16 * 1024 * 1024;
constexpr qsizetype kGatewaySends = 3;
constexpr qsizetype kClosedAfterAddresses = 10;

QByteArray when(const QDateTime& utc) {
    return utc.toString(Qt::ISODate).toLatin1();
}
QDateTime whenOf(const QByteArray& text) {
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
}

bool refusedForGood(const mail::RecipientStatus& r) {
    static const QRegularExpression noSuchUser(
        QStringLiteral("no such user|user unknown|unknown user|does not exist|invalid recipient|"
                       "not a valid (mobile|subscriber)"),
        QRegularExpression::CaseInsensitiveOption);
    return r.failed && (r.status.startsWith(QLatin1String("5.1.")) ||
                        noSuchUser.match(r.diagnostic).hasMatch());
}
} // namespace

QByteArray knowledgeText(const Knowledge& k) {
    QByteArray text;
    for (auto phone = k.phones.cbegin(); phone != k.phones.cend(); ++phone) {
        QByteArrayList refused;
        for (auto at = phone->refusedAt.cbegin(); at != phone->refusedAt.cend(); ++at)
            refused << encodedField(at.key()) + '=' + when(at.value());
        text += "phone\t" + encodedField(phone.key()) + '\t' + encodedField(phone->carrier) + '\t' +
                (phone->certain ? "1" : "0") + '\t' + when(phone->carrierLearnedUtc) + '\t' +
                refused.join(',') + '\n';
    }
    for (auto gateway = k.gateways.cbegin(); gateway != k.gateways.cend(); ++gateway) {
        QByteArrayList sends;
        for (const GatewayRecord& r : gateway.value())
            sends << QByteArray::number(r.sent) + '/' + QByteArray::number(r.refused);
        text += "gateway\t" + encodedField(gateway.key()) + '\t' + sends.join(',') + '\n';
    }
    return text;
}

Knowledge readKnowledge(const QByteArray& text) {
    Knowledge k;
    for (const QByteArray& line : text.split('\n')) {
        const QByteArrayList f = line.split('\t');
        if (f.size() == 6 && f[0] == "phone" && !f[1].isEmpty()) {
            PhoneKnowledge phone;
            phone.carrier = decodedField(f[2]);
            phone.certain = f[3] == "1";
            phone.carrierLearnedUtc = whenOf(f[4]);
            for (const QByteArray& item : f[5].split(',')) {
                const qsizetype is = item.indexOf('=');
                if (is > 0 && whenOf(item.mid(is + 1)).isValid())
                    phone.refusedAt.insert(decodedField(item.left(is)), whenOf(item.mid(is + 1)));
            }
            k.phones.insert(decodedField(f[1]), phone);
        } else if (f.size() == 3 && f[0] == "gateway" && !f[1].isEmpty()) {
            QList<GatewayRecord> sends;
            for (const QByteArray& item : f[2].split(',')) {
                const QByteArrayList counts = item.split('/');
                if (counts.size() == 2)
                    sends << GatewayRecord{counts[0].toLongLong(), counts[1].toLongLong()};
            }
            k.gateways.insert(decodedField(f[1]), sends.mid(qMax<qsizetype>(0, sends.size() - 3)));
        }
    }
    return k;
}

Knowledge loadKnowledge(const QString& path) {
    bool whole = true;
    const auto bytes =
        path.isEmpty() ? std::nullopt : readListFile(path, kLongestKnowledgeFile, &whole);
    return bytes ? readKnowledge(*bytes) : Knowledge{};
}

bool saveKnowledge(const QString& path, const Knowledge& knowledge) {
    if (path.isEmpty())
        return false;
    platform::makePrivateFolder(QFileInfo(path).absolutePath());
    QString reason;
    return platform::replacePrivateFile(path, knowledgeText(knowledge), &reason);
}

QStringList addressesFor(const QString& phoneRow, const QStringList& domains,
                         const Knowledge& knowledge) {
    if (isFullAddress(phoneRow))
        return {phoneRow};
    const auto known = knowledge.phones.constFind(lastTenDigits(phoneRow));
    QStringList addresses;
    if (known != knowledge.phones.cend() && !known->carrier.isEmpty()) {
        // The learned gateway itself when ticked, else another ticked one of its carrier.
        const QStringList carrier = recipients::sameCarrier(known->carrier);
        QString chosen;
        for (const QString& domain : domains)
            if (domain.compare(known->carrier, Qt::CaseInsensitive) == 0 ||
                (chosen.isEmpty() && carrier.contains(domain, Qt::CaseInsensitive)))
                chosen = domain;
        if (!chosen.isEmpty())
            return {phoneRow + QLatin1Char('@') + chosen};
    }
    for (const QString& domain : domains)
        if (known == knowledge.phones.cend() || !known->refusedAt.contains(domain.toLower()))
            addresses << phoneRow + QLatin1Char('@') + domain;
    return addresses;
}

void learn(Knowledge& k, const QList<PendingSend>& sends, const QList<mail::BounceReport>& bounces,
           const QList<mail::PhoneReply>& replies, const QList<qsizetype>& owners, bool complete,
           const QDateTime& nowUtc) {
    // Refusals for good, by this send's own addresses only.
    for (const PendingSend& send : sends) {
        QSet<QString> own;
        for (const QString& address : send.addresses)
            own.insert(address.toLower());
        for (const mail::BounceReport& bounce : bounces) {
            if (!bounce.messageIds.contains(send.messageId, Qt::CaseInsensitive))
                continue;
            for (const mail::RecipientStatus& r : bounce.recipients)
                if (own.contains(r.address.toLower()) && refusedForGood(r)) {
                    PhoneKnowledge& phone = k.phones[lastTenDigits(phoneOf(r.address))];
                    if (!phone.refusedAt.contains(gatewayOf(r.address)))
                        phone.refusedAt.insert(gatewayOf(r.address), nowUtc);
                    if (phone.carrier.compare(gatewayOf(r.address), Qt::CaseInsensitive) == 0 &&
                        !phone.certain)
                        phone.carrier.clear(); // the probable carrier was wrong
                }
        }
    }
    // A reply: the carrier is certain; kept as the gateway the send used for that carrier.
    for (qsizetype r = 0; r < replies.size(); ++r) {
        if (owners.value(r, -1) < 0)
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
    if (!complete)
        return;
    // Each gateway's record of this check: the sends checked for the first time (the messages
    // of one send are checked together), each counted once.
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
        // Every gateway but one carrier's refused the phone for good, and that one sent no bounce.
        for (auto p = byPhone.cbegin(); p != byPhone.cend(); ++p) {
            if (p.value().size() < 2)
                continue;
            const auto known = k.phones.constFind(p.key());
            if (known == k.phones.cend() || known->certain)
                continue;
            QStringList open;
            for (const QString& address : p.value())
                if (!known->refusedAt.contains(gatewayOf(address)))
                    open << address;
            // The gateways left are one carrier's (its SMS and MMS domains count as one), and
            // none of them sent a bounce.
            const QStringList carrier =
                open.isEmpty() ? QStringList() : recipients::sameCarrier(gatewayOf(open.first()));
            bool oneCarrier = !open.isEmpty();
            for (const QString& address : std::as_const(open))
                oneCarrier = oneCarrier &&
                             carrier.contains(gatewayOf(address), Qt::CaseInsensitive) &&
                             !bounced.contains(address.toLower()) &&
                             !send.reported.contains(address + QStringLiteral(" delayed"));
            if (oneCarrier) {
                PhoneKnowledge& phone = k.phones[p.key()];
                phone.carrier = gatewayOf(open.first());
                phone.carrierLearnedUtc = nowUtc;
            }
        }
    }
    for (auto g = used.cbegin(); g != used.cend(); ++g) {
        QList<GatewayRecord>& history = k.gateways[g.key()];
        history << g.value();
        history = history.mid(qMax<qsizetype>(0, history.size() - kGatewaySends));
    }
}

QStringList closedGateways(const Knowledge& k, const QStringList& tickedDomains) {
    QStringList closed;
    for (const QString& domain : tickedDomains) {
        const QList<GatewayRecord> history = k.gateways.value(domain.toLower());
        qsizetype sent = 0;
        bool everyRefused = history.size() == kGatewaySends;
        for (const GatewayRecord& r : history) {
            sent += r.sent;
            everyRefused = everyRefused && r.sent > 0 && r.refused == r.sent;
        }
        if (everyRefused && sent >= kClosedAfterAddresses)
            closed << domain;
    }
    return closed;
}

QString knowledgeTip(const Knowledge& k, const QString& phoneRow) {
    if (isFullAddress(phoneRow))
        return {};
    const auto known = k.phones.constFind(lastTenDigits(phoneRow));
    if (known == k.phones.cend())
        return {};
    QStringList lines;
    if (!known->carrier.isEmpty())
        lines << (known->certain ? QStringLiteral("Carrier: %1 (it replied; learned %2)")
                                 : QStringLiteral("Carrier: probably %1 (the other carriers "
                                                  "refused it; learned %2)"))
                     .arg(known->carrier, logStamp(known->carrierLearnedUtc.toLocalTime()));
    if (!known->refusedAt.isEmpty())
        lines << QStringLiteral("Refused for good at: ") +
                     QStringList(known->refusedAt.keys()).join(QLatin1String(", "));
    return lines.join(QLatin1Char('\n'));
}

} // namespace dispatch
