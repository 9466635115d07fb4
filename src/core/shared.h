#pragma once

#include <QIcon>
#include <QString>

class QWidget;

namespace platform {
class Desktop;
}

namespace core {

// The program's icon, built into the program.
QIcon applicationIcon();

// A file beside the program: the program folder joined with a relative path.
QString programFile(const QString& programFolder, const QString& relativePath);

// True when the file's modification time can be read; false on any failure.
bool FileExists(const QString& path);

// The window and its frames, labels, check boxes and option buttons take the desktop's
// button-face colour; every other control keeps its colour.
void ApplyStandardColors(QWidget* window);

// When "x/o.cjs" beside the program is a regular, non-hidden file: standard colours on the
// window, then the file's style sheet applied to it. Otherwise nothing changes.
void ApplySkin(QWidget* window, const QString& programFolder);

// Opens a file or web address with the program the desktop associates with it.
void OpenDocument(platform::Desktop& desktop, const QString& target);

} // namespace core
