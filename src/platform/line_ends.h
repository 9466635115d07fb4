#pragma once

#include <QString>

namespace platform {

// The text with every line break (CR LF, a lone CR or a lone LF) written as `lineEnd`.
inline QString withLineEnds(const QString& text, QLatin1StringView lineEnd) {
    QString out = text;
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (lineEnd != QLatin1String("\n"))
        out.replace(QLatin1Char('\n'), lineEnd);
    return out;
}

} // namespace platform
