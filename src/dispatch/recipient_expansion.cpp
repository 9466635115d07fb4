#include "dispatch/recipient_expansion.h"

namespace dispatch {

Expansion expandRecipients(const QStringList& phones, const QStringList& tickedDomains) {
    qsizetype phoneLength = 0;
    for (const QString& phone : phones)
        phoneLength += phone.size() + 1;
    qsizetype domainLength = 0;
    for (const QString& domain : tickedDomains)
        domainLength += domain.size() + 2;

    Expansion result;
    result.recipients.reserve(phoneLength * tickedDomains.size() + domainLength * phones.size());
    result.phones.reserve(phoneLength);
    for (const QString& phone : phones) {
        for (const QString& domain : tickedDomains) {
            result.recipients += phone;
            result.recipients += QLatin1Char('@');
            result.recipients += domain;
            result.recipients += QLatin1Char(',');
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

} // namespace dispatch
