#include "recipients/summary.h"

namespace recipients {

QString recipientSummaryText(qint16 phones, qint16 maximum, qint16 tickedCarriers) {
    qint16 shown = phones;
    if (maximum != 0 && tickedCarriers != 0)
        shown = qint16(maximum / tickedCarriers);
    QString text = QStringLiteral("%1 phones at %2 carriers").arg(shown).arg(tickedCarriers);
    if (maximum != 0)
        text += QStringLiteral(" (max. %1 recipients)").arg(maximum);
    return text;
}

QString charactersLeftText(qsizetype bodyLength) {
    return QString::number(kLongestBody - bodyLength) + QLatin1String(" Characters Left");
}

} // namespace recipients
