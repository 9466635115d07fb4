#pragma once

#include <QCursor>
#include <optional>

class QWidget;

namespace core {

class Procedure;

// The pointer styles of a window, as the procedures test and set them.
enum PointerStyle : int { kDefaultPointer = 0, kBusyPointer = 11, kHandPointer = 99 };

// The pointer style of a whole window: the arrow, the busy cursor, or the hand cursor
// when one was loaded (the arrow when none was). With no window, only the style is kept.
class WindowPointer {
  public:
    explicit WindowPointer(QWidget* window) : window_(window) {}

    int style() const { return style_; }
    void setStyle(int style);
    // Mouse movement over a surface asks for `style`; the busy pointer is never replaced.
    void movedOver(int style);
    void setHandCursor(const QCursor& cursor);
    // Loads the hand cursor from a cursor file; a file that is no cursor is an
    // "Invalid picture" failure.
    void loadHandCursor(const QString& path);
    bool hasHandCursor() const { return hand_.has_value(); }

  private:
    QWidget* window_;
    int style_ = kDefaultPointer;
    std::optional<QCursor> hand_;
};

// The start-up statements of a window that load "HAND-M.CUR" from the program folder when
// it exists: the test at `testLine`, the load at the line after it (testLine + 2).
void loadHandCursorIfPresent(Procedure& p, int testLine, WindowPointer& pointer,
                             const QString& programFolder);

} // namespace core
