#pragma once

#include <QString>

namespace recipients {

// "<n> phones at <m> carriers", followed by " (max. <maximum> recipients)" when a maximum
// is given; with a maximum and ticked carriers, n is the maximum divided by them.
QString recipientSummaryText(qint16 phones, qint16 maximum, qint16 tickedCarriers);

// The counter under the body: "<1000 - length> Characters Left".
QString charactersLeftText(qsizetype bodyLength);

inline constexpr int kLongestBody = 1000;
// Where to take back a body that grew past kLongestBody with the cursor at `cursor`: what was
// just typed or pasted, from the position returned to the cursor, never half a surrogate
// pair. The cursor itself when the body is within its limit.
qsizetype bodyCutFrom(const QString& body, qsizetype cursor);

// How a phone counts the subject and body that a gateway turns into texts: the subject, a line
// break and the body (the body alone without a subject). In the GSM 7-bit alphabet one text
// holds 160 characters and each part of a longer one 153, ^ { } [ ] ~ \ | and the euro sign
// counting two; with any other character, 70 and 67 UTF-16 units.
struct GatewayTexts {
    qsizetype texts = 1;
    qsizetype units = 0; // characters as the phone counts them
    bool gsm = true;     // every character is in the GSM 7-bit alphabet
};
GatewayTexts gatewayTexts(const QString& subject, const QString& body);
// The one text that phone shows: the subject, a line break and the body (the body alone
// without a subject), as a route that texts phones itself sends it.
QString textOf(const QString& subject, const QString& body);
// "1 text at a gateway", "3 texts at a gateway", "2 texts at a gateway (not GSM: 70 a text)".
QString gatewayTextsLabel(const GatewayTexts& count);

} // namespace recipients
