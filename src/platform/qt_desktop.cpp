#include "platform/qt_desktop.h"

#include "platform/line_ends.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QRegularExpression>
#include <QUrl>
#include <QVBoxLayout>

namespace platform {

QString displayText(const QString& text) {
    return withLineEnds(text, QLatin1String("\n"));
}

QString qtFileFilter(const QString& pairs) {
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        QString pattern = parts[i + 1];
        pattern.replace(QLatin1String("*.*"), QLatin1String("*"));
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the last parentheses of each entry.
        description.remove(QRegularExpression(QStringLiteral("\\s*\\([^()]*\\)\\s*$")));
        filters << QStringLiteral("%1 (%2)").arg(description, pattern);
    }
    return filters.join(QLatin1String(";;"));
}

QUrl documentUrl(const QString& target) {
    QString bare = target;
    if (bare.size() >= 2 && bare.startsWith(QLatin1Char('"')) && bare.endsWith(QLatin1Char('"')))
        bare = bare.mid(1, bare.size() - 2);
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (scheme.match(bare).hasMatch())
        return QUrl(bare);
    return QUrl::fromLocalFile(bare);
}

Answer QtDesktop::messageBox(const QString& text, Buttons buttons, Icon icon,
                             const QString& title) {
    QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, title,
                    displayText(text),
                    buttons == Buttons::Ok ? QMessageBox::Ok
                    : buttons == Buttons::YesNo
                        ? (QMessageBox::Yes | QMessageBox::No)
                        : (QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel));
    box.setWindowIcon(QApplication::windowIcon());
    const int pressed = box.exec();
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return pressed == QMessageBox::Yes  ? Answer::Yes
           : pressed == QMessageBox::No ? Answer::No
                                        : Answer::Cancel;
}

QString QtDesktop::inputBox(const QString& prompt, const QString& title) {
    bool accepted = false;
    const QString text =
        QInputDialog::getText(nullptr, title, prompt, QLineEdit::Normal, QString(), &accepted);
    return accepted ? text : QString();
}

QString QtDesktop::passwordBox(const QString& prompt, const QString& title) {
    bool accepted = false;
    const QString text =
        QInputDialog::getText(nullptr, title, prompt, QLineEdit::Password, QString(), &accepted);
    return accepted ? text : QString();
}

QStringList QtDesktop::chooseItems(const QString& prompt, const QStringList& items,
                                   const QString& title) {
    QDialog dialog;
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(prompt, &dialog));
    auto* list = new QListWidget(&dialog);
    for (const QString& item : items) {
        auto* row = new QListWidgetItem(item, list);
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(Qt::Unchecked);
    }
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    QStringList chosen;
    if (dialog.exec() == QDialog::Accepted)
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->checkState() == Qt::Checked)
                chosen << items[i];
    return chosen;
}

QStringList QtDesktop::openFileNames(const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileNames(nullptr, title, QString(), qtFileFilter(filter));
}

void QtDesktop::openDocument(const QString& target) {
    QDesktopServices::openUrl(documentUrl(target));
}

bool QtDesktop::startViewer(const QString& target) {
    return QDesktopServices::openUrl(documentUrl(target));
}

void QtDesktop::processEvents() {
    QCoreApplication::processEvents();
}

void QtDesktop::endProgram() {
    QCoreApplication::exit(0);
}

} // namespace platform
