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

namespace {
// The GSM 03.38 basic alphabet (one unit each) and its extension table (two units each).
const QString kGsmBasic = QStringLiteral(
    "@\u00a3$\u00a5\u00e8\u00e9\u00f9\u00ec\u00f2\u00c7\n\u00d8\u00f8\r\u00c5\u00e5"
    "\u0394_\u03a6\u0393\u039b\u03a9\u03a0\u03a8\u03a3\u0398\u039e\u00c6\u00e6\u00df"
    "\u00c9 !\"#\u00a4%&'()*+,-./0123456789:;<=>?\u00a1ABCDEFGHIJKLMNOPQRSTUVWXYZ\u00c4\u00d6"
    "\u00d1\u00dc\u00a7\u00bfabcdefghijklmnopqrstuvwxyz\u00e4\u00f6\u00f1\u00fc\u00e0");
const QString kGsmExtension = QStringLiteral("^{}\\[~]|\u20ac\f");
} // namespace

QString textOf(const QString& subject, const QString& body) {
    return subject.isEmpty() ? body : subject + QLatin1Char('\n') + body;
}

GatewayTexts gatewayTexts(const QString& subject, const QString& body) {
    const QString text = textOf(subject, body);
    GatewayTexts count;
    for (const QChar c : text) {
        if (kGsmBasic.contains(c)) {
            count.units += 1;
        } else if (kGsmExtension.contains(c)) {
            count.units += 2;
        } else {
            count.gsm = false;
            break;
        }
    }
    const qsizetype single = count.gsm ? 160 : 70;
    const qsizetype part = count.gsm ? 153 : 67;
    if (!count.gsm)
        count.units = text.size(); // UTF-16 units: an emoji takes two
    count.texts = count.units <= single ? 1 : (count.units + part - 1) / part;
    return count;
}

QString gatewayTextsLabel(const GatewayTexts& count) {
    return QStringLiteral("%1 text%2 at a gateway%3")
        .arg(count.texts)
        .arg(count.texts == 1 ? QString() : QStringLiteral("s"))
        .arg(count.gsm ? QString() : QStringLiteral(" (not GSM: 70 a text)"));
}

qsizetype bodyCutFrom(const QString& body, qsizetype cursor) {
    qsizetype cut = body.size() - kLongestBody;
    if (cut <= 0)
        return cursor;
    if (cursor - cut > 0 && cursor - cut < body.size() && body.at(cursor - cut).isLowSurrogate())
        ++cut;
    return qMax<qsizetype>(0, cursor - cut);
}

} // namespace recipients
