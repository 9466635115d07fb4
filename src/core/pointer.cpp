#include "core/pointer.h"

#include "core/error_report.h"
#include "core/procedure.h"
#include "core/shared.h"
#include "platform/cursor_file.h"

#include <QWidget>

namespace core {

void WindowPointer::setStyle(int style) {
    style_ = style;
    if (!window_) // a procedure run with no window keeps only the style
        return;
    if (style == kBusyPointer)
        window_->setCursor(Qt::WaitCursor);
    else if (style == kHandPointer && hand_)
        window_->setCursor(*hand_);
    else
        window_->setCursor(Qt::ArrowCursor);
}

void WindowPointer::movedOver(int style) {
    if (style_ != kBusyPointer && style_ != style)
        setStyle(style);
}

void WindowPointer::setHandCursor(const QCursor& cursor) {
    hand_ = cursor;
    if (style_ == kHandPointer)
        setStyle(style_);
}

void WindowPointer::loadHandCursor(const QString& path) {
    const auto hand = platform::loadCursorFile(path);
    if (!hand)
        throw Failure(481, QStringLiteral("Invalid picture"));
    setHandCursor(*hand);
}

void loadHandCursorIfPresent(Procedure& p, int testLine, WindowPointer& pointer,
                             const QString& programFolder) {
    const QString path = programFile(programFolder, QStringLiteral("HAND-M.CUR"));
    if (p.opensBlock(testLine, [&] { return FileExists(path); }))
        p.step(testLine + 2, [&] { pointer.loadHandCursor(path); });
}

} // namespace core
