#include "recipients/lists.h"

#include "core/error_report.h"

namespace recipients {

qint16 CountCheckedCarriers(const QList<CarrierRow>& carriers) {
    const qint16 count = core::toInteger(carriers.size());
    qint16 ticked = 0;
    for (qsizetype i = 0; i < count; ++i)
        if (carriers[i].ticked)
            ++ticked;
    return ticked;
}

QStringList tickedDomains(const QList<CarrierRow>& carriers) {
    QStringList domains;
    for (const CarrierRow& row : carriers)
        if (row.ticked)
            domains << row.text;
    return domains;
}

} // namespace recipients
