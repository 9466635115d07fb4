#pragma once

#include <QCursor>
#include <optional>

namespace platform {

// Reads a Windows cursor file (.cur): an icon-like container whose first entry carries the
// image and the hot spot. Returns nothing when the file is missing or not a cursor.
std::optional<QCursor> loadCursorFile(const QString& path);

} // namespace platform
