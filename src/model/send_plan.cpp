#include "model/send_plan.h"

#include "recipients/phone_rules.h"

#include <utility>

namespace model {

QStringList PhoneTarget::addresses() const {
    if (gateways.isEmpty())
        return {phone};
    QStringList addresses;
    addresses.reserve(gateways.size());
    for (const QString& gateway : gateways)
        addresses << phone + QLatin1Char('@') + gateway;
    return addresses;
}

QStringList addressesOf(const Targets& targets) {
    QStringList addresses;
    addresses.reserve(recipientCount(targets));
    for (const PhoneTarget& target : targets)
        addresses += target.addresses();
    return addresses;
}

qsizetype recipientCount(const Targets& targets) {
    qsizetype count = 0;
    for (const PhoneTarget& target : targets)
        count += target.recipients();
    return count;
}

QStringList phonesOf(const Targets& targets) {
    QStringList phones;
    phones.reserve(targets.size());
    for (const PhoneTarget& target : targets)
        phones << target.phone;
    return phones;
}

Targets targetsOf(const QStringList& addresses) {
    Targets targets;
    for (const QString& address : addresses) {
        if (!address.contains(QLatin1Char('@'))) { // a number that is itself where it goes
            targets << PhoneTarget{address, {}};
            continue;
        }
        // A row written as a whole address is its own target; a phone's number is only
        // digits and the signs people write numbers with.
        const QString phone = recipients::phoneOf(address);
        if (!recipients::isNumber(phone)) {
            targets << PhoneTarget{address, {}};
            continue;
        }
        if (targets.isEmpty() || targets.last().phone != phone)
            targets << PhoneTarget{phone, {}};
        targets.last().gateways << address.mid(phone.size() + 1);
    }
    return targets;
}

namespace {
// The targets split at `count` recipients.
std::pair<Targets, Targets> splitAt(const Targets& targets, qsizetype count) {
    std::pair<Targets, Targets> parts;
    qsizetype seen = 0;
    for (const PhoneTarget& target : targets) {
        const qsizetype size = target.recipients();
        if (seen >= count)
            parts.second << target;
        else if (seen + size <= count)
            parts.first << target;
        else {
            const qsizetype inFirst = count - seen;
            parts.first << PhoneTarget{target.phone, target.gateways.mid(0, inFirst)};
            parts.second << PhoneTarget{target.phone, target.gateways.mid(inFirst)};
        }
        seen += size;
    }
    return parts;
}

// Each target with only the addresses `keep` says yes to; targets left with none go.
template <typename Keep> Targets filtered(const Targets& targets, Keep keep) {
    Targets left;
    for (const PhoneTarget& target : targets) {
        if (target.gateways.isEmpty()) {
            if (keep(target.phone))
                left << target;
            continue;
        }
        PhoneTarget part{target.phone, {}};
        for (const QString& gateway : target.gateways)
            if (keep(target.phone + QLatin1Char('@') + gateway))
                part.gateways << gateway;
        if (!part.gateways.isEmpty())
            left << part;
    }
    return left;
}
} // namespace

Targets firstRecipients(const Targets& targets, qsizetype count) {
    return splitAt(targets, count).first;
}

Targets afterRecipients(const Targets& targets, qsizetype count) {
    return splitAt(targets, count).second;
}

Targets without(const Targets& targets, const QStringList& refused) {
    return filtered(targets, [&](const QString& address) { return !refused.contains(address); });
}

Targets onlyAt(const Targets& targets, const QStringList& kept) {
    return filtered(targets, [&](const QString& address) { return kept.contains(address); });
}

} // namespace model
