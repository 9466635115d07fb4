#include "scripted_desktop.h"

platform::Answer ScriptedDesktop::messageBox(const QString& text, platform::Buttons buttons,
                                             platform::Icon icon, const QString& title) {
    const Box box{text, buttons, icon, title};
    boxes << box;
    if (whileBoxShown)
        whileBoxShown(box);
    if (buttons == platform::Buttons::Ok)
        return platform::Answer::Ok;
    return answers.isEmpty() ? platform::Answer::No : answers.takeFirst();
}

QString ScriptedDesktop::inputBox(const QString& prompt, const QString&) {
    prompts << prompt;
    return typed.isEmpty() ? QString() : typed.takeFirst();
}

QStringList ScriptedDesktop::openFileNames(const QString& title, const QString&) {
    dialogTitles << title;
    return chosenFiles.isEmpty() ? QStringList() : chosenFiles.takeFirst();
}

QStringList ScriptedDesktop::chooseItems(const QString& prompt, const QStringList& items,
                                         const QString&) {
    prompts << prompt;
    offered << items;
    QStringList chosen = chosenItems.isEmpty() ? QStringList() : chosenItems.takeFirst();
    chosen.removeIf([&](const QString& item) { return !items.contains(item); });
    return chosen;
}

bool ScriptedDesktop::startViewer(const QString& target) {
    viewers << target;
    return viewerStarts;
}

QStringList ScriptedDesktop::boxTexts() const {
    QStringList texts;
    for (const Box& box : boxes)
        texts << box.text;
    return texts;
}
