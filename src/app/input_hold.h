#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;

namespace app {

// While it lives, the given windows keep repainting and answering the window manager, but
// keyboard and mouse input to them is dropped and a request to close one of them is held
// back and remembered. Other windows (message boxes) work as usual.
class InputHold final : public QObject {
  public:
    explicit InputHold(const QList<QWidget*>& windows);
    ~InputHold() override;

    bool closeRequested() const { return closeRequested_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool isHeld(const QObject* watched) const;

    QList<QPointer<QWidget>> windows_;
    bool closeRequested_ = false;
};

} // namespace app
