#include "core/shared.h"

#include "core/error_report.h"
#include "platform/desktop.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>

namespace core {

namespace {
void paintButtonFace(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, widget->palette().color(QPalette::Button));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

bool takesButtonFace(const QWidget* widget) {
    return qobject_cast<const QGroupBox*>(widget) || qobject_cast<const QLabel*>(widget) ||
           qobject_cast<const QCheckBox*>(widget) || qobject_cast<const QRadioButton*>(widget);
}
} // namespace

QIcon applicationIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/parlivo/icons/parlivo-%1.png").arg(size), QSize(size, size));
    return icon;
}

QString programFile(const QString& programFolder, const QString& relativePath) {
    return programFolder + QLatin1Char('/') + relativePath;
}

bool FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

void ApplyStandardColors(QWidget* window) {
    paintButtonFace(window);
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* child : children)
        if (takesButtonFace(child))
            paintButtonFace(child);
}

void ApplySkin(QWidget* window, const QString& programFolder) {
    const QString path = programFile(programFolder, QStringLiteral("x/o.cjs"));
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile() || info.isHidden())
        return;
    ApplyStandardColors(window);
    QFile skin(path);
    if (!skin.open(QIODevice::ReadOnly))
        throw Failure(failure_number::PathFileAccess);
    window->setStyleSheet(QString::fromUtf8(skin.readAll()));
}

void OpenDocument(platform::Desktop& desktop, const QString& target) {
    desktop.openDocument(QLatin1Char('"') + target + QLatin1Char('"'));
}

} // namespace core
