#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace recipients {

// A typed number without its hyphens and blanks; nothing else is removed.
QString cleanPhoneNumber(const QString& typed);

// The rows of a phone file. A line ends at CR or CR LF; an LF inside a line also starts
// a new row, so LF-only files give one empty row after the final LF. Lines are kept
// verbatim and decoded in the user's locale; bytes that are not valid text become U+FFFD.
QStringList rowsFromFileText(const QByteArray& bytes);

inline const QString kFirstSampleNumber = QStringLiteral("5555550100");
inline const QString kSecondSampleNumber = QStringLiteral("555-555-0199");

} // namespace recipients
