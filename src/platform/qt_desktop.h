#pragma once

#include "platform/desktop.h"

#include <QUrl>

namespace platform {

// Message text as the Qt boxes show it: CR LF, a lone CR and LF each become one line break.
QString displayText(const QString& text);
// "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|" in the form QFileDialog takes.
// "*.*" means every file, as it does on the desktop the form comes from.
QString qtFileFilter(const QString& pairs);
// The target of an open request as a URL: an address with a scheme stays an address,
// anything else is a local file. Enclosing double quotes are dropped.
QUrl documentUrl(const QString& target);

class QtDesktop final : public Desktop {
  public:
    Answer messageBox(const QString& text, Buttons buttons, Icon icon,
                      const QString& title) override;
    QString inputBox(const QString& prompt, const QString& title) override;
    QString passwordBox(const QString& prompt, const QString& title) override;
    QStringList openFileNames(const QString& title, const QString& filter) override;
    QStringList chooseItems(const QString& prompt, const QStringList& items,
                            const QString& title) override;
    void openDocument(const QString& target) override;
    bool startViewer(const QString& target) override;
    void processEvents() override;
    void endProgram() override;
};

} // namespace platform
