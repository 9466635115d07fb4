#include "app/input_hold.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace app {

namespace {
bool isInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::InputMethod:
        return true;
    default:
        return false;
    }
}
} // namespace

InputHold::InputHold(const QList<QWidget*>& windows) {
    for (QWidget* window : windows)
        if (window)
            windows_ << window;
    QCoreApplication::instance()->installEventFilter(this);
}

InputHold::~InputHold() {
    QCoreApplication::instance()->removeEventFilter(this);
}

bool InputHold::isHeld(const QObject* watched) const {
    if (!watched->isWidgetType())
        return false;
    const QWidget* window = static_cast<const QWidget*>(watched)->window();
    for (const QPointer<QWidget>& held : windows_)
        if (held == window)
            return true;
    return false;
}

bool InputHold::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close && isHeld(watched) &&
        static_cast<QWidget*>(watched)->isWindow()) {
        closeRequested_ = true;
        event->ignore();
        return true;
    }
    return isInput(event->type()) && isHeld(watched);
}

} // namespace app
