#include "dispatch/recipient_expansion.h"

#include "core/error_report.h"
#include "dispatch/messages.h"
#include "recipients/summary.h"

namespace dispatch {

Expansion expandRecipients(const QStringList& phones, const QStringList& tickedDomains) {
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
    result.recipients.reserve(phoneLength * suffixes.size() + suffixLength * phones.size());
    result.phones.reserve(phoneLength);
    for (const QString& phone : phones) {
        for (const QString& suffix : std::as_const(suffixes)) {
            result.recipients += phone;
            result.recipients += suffix;
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

QString recipientSummary(const OutgoingText& text) {
    return recipients::recipientSummaryText(core::toInteger(text.phones.size()), 0,
                                            recipients::CountCheckedCarriers(text.carriers));
}

QString allowedRecipientSummary(const OutgoingText& text) {
    return recipients::recipientSummaryText(1, kRecipientLimit,
                                            recipients::CountCheckedCarriers(text.carriers));
}

} // namespace dispatch
