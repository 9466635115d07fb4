#include "dispatch/recipient_expansion.h"

#include "core/error_report.h"
#include "dispatch/messages.h"
#include "dispatch/phone_knowledge.h"
#include "recipients/phone_rules.h"
#include "recipients/summary.h"

#include <utility>

namespace dispatch {

Expansion expandRecipients(const QStringList& phones, const QStringList& tickedDomains,
                           const Knowledge* known) {
    if (known && !known->phones.isEmpty()) {
        Expansion result;
        for (const QString& phone : phones) {
            const QStringList addresses = addressesFor(phone, tickedDomains, *known);
            if (addresses.isEmpty() && !tickedDomains.isEmpty()) {
                result.leftOut << phone;
                continue;
            }
            for (const QString& address : addresses)
                result.recipients += address + QLatin1Char(',');
            result.phones += phone + QLatin1Char(',');
        }
        if (!result.recipients.isEmpty()) {
            result.recipients.chop(1);
            result.phones.chop(1);
        }
        return result;
    }
    // "@domain," once per domain, so each address is two appends.
    QStringList suffixes;
    suffixes.reserve(tickedDomains.size());
    qsizetype suffixLength = 0;
    for (const QString& domain : tickedDomains) {
        suffixes << QLatin1Char('@') + domain + QLatin1Char(',');
        suffixLength += suffixes.last().size();
    }
    qsizetype phoneLength = 0;
    for (const QString& phone : phones)
        phoneLength += phone.size() + 1;

    Expansion result;
    result.recipients.reserve(phoneLength * qMax<qsizetype>(1, suffixes.size()) +
                              suffixLength * phones.size());
    result.phones.reserve(phoneLength);
    for (const QString& phone : phones) {
        if (isFullAddress(phone)) {
            result.recipients += phone;
            result.recipients += QLatin1Char(',');
        } else {
            for (const QString& suffix : std::as_const(suffixes)) {
                result.recipients += phone;
                result.recipients += suffix;
            }
        }
        result.phones += phone;
        result.phones += QLatin1Char(',');
    }
    if (!result.recipients.isEmpty()) {
        result.recipients.chop(1);
        result.phones.chop(1);
    }
    return result;
}

bool isFullAddress(const QString& phoneRow) {
    return phoneRow.contains(QLatin1Char('@'));
}

qsizetype recipientCount(const QStringList& phones, const QList<recipients::CarrierRow>& carriers,
                         const Knowledge& known) {
    const qsizetype ticked = recipients::CountCheckedCarriers(carriers);
    const QStringList domains =
        known.phones.isEmpty() ? QStringList() : recipients::tickedDomains(carriers);
    qsizetype count = 0;
    for (const QString& phone : phones)
        count += !known.phones.isEmpty() ? addressesFor(phone, domains, known).size()
                 : isFullAddress(phone)  ? 1
                                         : ticked;
    return count;
}

QList<QStringList> messageGroups(const QStringList& addresses, qsizetype most) {
    QList<QStringList> groups;
    QStringList current;
    for (qsizetype start = 0; start < addresses.size();) {
        qsizetype end = start + 1;
        while (end < addresses.size() &&
               recipients::phoneOf(addresses[end]) == recipients::phoneOf(addresses[start]))
            ++end;
        if (!current.isEmpty() && current.size() + (end - start) > most)
            groups << std::exchange(current, {});
        for (; start < end; ++start) {
            if (current.size() == most)
                groups << std::exchange(current, {});
            current << addresses[start];
        }
    }
    if (!current.isEmpty())
        groups << current;
    return groups;
}

QString recipientSummary(const OutgoingText& text) {
    return recipients::recipientSummaryText(core::toInteger(text.phones.size()), 0,
                                            recipients::CountCheckedCarriers(text.carriers));
}

QString allowedRecipientSummary(const OutgoingText& text) {
    return recipients::recipientSummaryText(1, kRecipientLimit,
                                            recipients::CountCheckedCarriers(text.carriers));
}

} // namespace dispatch
