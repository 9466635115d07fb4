#include "platform/cursor_file.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>

namespace platform {

namespace {
constexpr int kDirectorySize = 6;
constexpr int kEntrySize = 16;
constexpr qint64 kLargestCursorFile = 1024 * 1024;

// A little-endian 16-bit value; callers have checked that both bytes are there.
quint16 word(const QByteArray& bytes, int at) {
    return quint16(uchar(bytes.at(at)) | uchar(bytes.at(at + 1)) << 8);
}
} // namespace

namespace {
std::optional<QCursor> readCursorFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestCursorFile)
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < kDirectorySize + kEntrySize)
        return std::nullopt;
    const bool isCursor = word(bytes, 0) == 0 && word(bytes, 2) == 2 && word(bytes, 4) >= 1;
    if (!isCursor)
        return std::nullopt;
    const int hotX = word(bytes, kDirectorySize + 4);
    const int hotY = word(bytes, kDirectorySize + 6);
    // Qt's icon reader reads the image of a cursor container as it does an icon's.
    const QImage image = QImage::fromData(bytes, "ICO");
    if (image.isNull())
        return std::nullopt;
    return QCursor(QPixmap::fromImage(image), qMin(hotX, image.width() - 1),
                   qMin(hotY, image.height() - 1));
}
} // namespace

std::optional<QCursor> loadCursorFile(const QString& path) {
    // Both windows load the same file at start-up: decode it once while it is unchanged.
    struct Loaded {
        QString path;
        QDateTime modified;
        qint64 size = -1;
        std::optional<QCursor> cursor;
    };
    static Loaded last;
    const QFileInfo info(path);
    if (info.exists() && last.cursor && last.path == path && last.modified == info.lastModified() &&
        last.size == info.size())
        return last.cursor;
    last = {path, info.lastModified(), info.size(), readCursorFile(path)};
    return last.cursor;
}

} // namespace platform
