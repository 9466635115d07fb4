#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace platform {

enum class Buttons { Ok, YesNo, YesNoCancel };
enum class Icon { None, Warning };
enum class Answer { Ok, Yes, No, Cancel }; // closing a box with Cancel answers Cancel

// Everything the windows ask of the desktop besides their own widgets: modal boxes,
// the file-open dialog, opening documents and addresses, and event processing.
// The program uses it through this interface so that tests can script every answer.
class Desktop {
  public:
    virtual ~Desktop() = default;

    // A modal message box. `title` is the caption; callers pass the application title
    // when a message names no title of its own.
    virtual Answer messageBox(const QString& text, Buttons buttons, Icon icon,
                              const QString& title) = 0;
    // A modal input box without default text; cancel gives the empty text.
    virtual QString inputBox(const QString& prompt, const QString& title) = 0;
    // The same for a password: what is typed shows as dots.
    virtual QString passwordBox(const QString& prompt, const QString& title) = 0;
    // A modal file-open dialog allowing several files; the chosen paths in order,
    // none after a cancel. `filter` is in the "description|pattern|..." form.
    virtual QStringList openFileNames(const QString& title, const QString& filter) = 0;
    // A modal list of `items`, each with a tick box; the ticked ones in order when the user
    // presses OK, none after a cancel.
    virtual QStringList chooseItems(const QString& prompt, const QStringList& items,
                                    const QString& title) = 0;
    // Hands a file path or web address to the desktop's associated program. The target
    // may be enclosed in double quotes, which are not part of it. No result.
    virtual void openDocument(const QString& target) = 0;
    // Starts the desktop's viewer for a file or address without waiting.
    // Returns false when nothing could be started.
    virtual bool startViewer(const QString& target) = 0;
    // Lets the window system run every pending event, then returns.
    virtual void processEvents() = 0;
    // Ends the program at once: no window runs its close procedure.
    virtual void endProgram() = 0;
};

} // namespace platform
