#pragma once

#include "core/pointer.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace platform {
class Desktop;
}

namespace notice {

inline const QString kCompanionAddress = QStringLiteral("http://www.quorvane.com/mirelant/");

// The small notice about the companion product, shown beside the main window at every
// start. Closing it asks the program to end.
class Form2 final : public QWidget {
    Q_OBJECT
  public:
    Form2(platform::Desktop& desktop, QString programFolder);

    void Form_Load();
    // Shows the notice, not modal, in the middle of the screen.
    void showCentred();
    // Moves the notice out of `frame` (the main window) when the screen has room for it
    // below or above, keeping it centred across.
    void keepClearOf(const QRect& frame);
    void PushButton1_Click();

    QLabel* Label1 = nullptr;
    QPushButton* PushButton1 = nullptr;
    core::WindowPointer& pointer() { return pointer_; }

  signals:
    // The user closed the notice; the program is to end.
    void closeRequested();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    platform::Desktop& desktop_;
    QString programFolder_;
    core::WindowPointer pointer_;
};

} // namespace notice
