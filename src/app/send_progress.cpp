#include "app/send_progress.h"

#include "sending/send_texts.h"

#include <QProgressDialog>

namespace app {

SendProgressWindow::~SendProgressWindow() {
    delete dialog_;
}

void SendProgressWindow::show(const model::Progress& progress) {
    if (!dialog_) {
        dialog_ = new QProgressDialog(owner_);
        dialog_->setWindowModality(Qt::NonModal);
        dialog_->setWindowTitle(owner_ ? owner_->windowTitle() : QString());
        dialog_->setCancelButtonText(progress.batchNoun == QLatin1String("texts")
                                         ? QStringLiteral("Stop after this text")
                                         : QStringLiteral("Stop after this message"));
        dialog_->setMinimumDuration(0);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
    }
    dialog_->setMaximum(int(progress.recipients));
    dialog_->setValue(int(progress.recipientsDone));
    dialog_->setLabelText(sending::progressText(progress));
    dialog_->show();
}

QProgressDialog* SendProgressWindow::window() const {
    return dialog_;
}

bool SendProgressWindow::stopAsked() {
    return dialog_ && dialog_->wasCanceled();
}

void SendProgressWindow::close() {
    delete dialog_;
}

} // namespace app
