#pragma once

#include <QString>

namespace recipients {

// "<n> phones at <m> carriers", followed by " (max. <maximum> recipients)" when a maximum
// is given; with a maximum and ticked carriers, n is the maximum divided by them.
QString recipientSummaryText(qint16 phones, qint16 maximum, qint16 tickedCarriers);

// The counter under the body: "<1000 - length> Characters Left".
QString charactersLeftText(qsizetype bodyLength);

inline constexpr int kLongestBody = 1000;

} // namespace recipients
