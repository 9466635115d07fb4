#pragma once

#include "model/command_context.h"

#include <QPointer>

class QProgressDialog;
class QWidget;

namespace app {

// A small window beside the main one while a send of several messages runs: how many messages
// and recipients have gone, and a button to stop after the message in flight. It takes input
// while the main window holds it.
class SendProgressWindow final : public model::SendProgress {
  public:
    explicit SendProgressWindow(QWidget* owner) : owner_(owner) {}
    ~SendProgressWindow() override;
    void show(const model::Progress& progress) override;
    bool stopAsked() override;
    void close() override;
    QProgressDialog* window() const;

  private:
    QWidget* owner_;
    QPointer<QProgressDialog> dialog_;
};

} // namespace app
