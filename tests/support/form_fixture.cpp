#include "form_fixture.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QTreeWidget>

FormFixture::FormFixture() {
    QDir().mkpath(programFolder());
    QDir().mkpath(dataFolder());
}

app::Form1& FormFixture::open(bool load) {
    QDir().mkpath(programFolder());
    QDir().mkpath(dataFolder());
    form = std::make_unique<app::Form1>(
        app::Services{desktop, *settingsStore, *submitter, clock, random, programFolder(),
                      dataFolder(), onlineCheck, mailbox, keyring, settingsFile, modem});
    if (load)
        form->Form_Load();
    return *form;
}

QStringList rowsOf(const QTreeWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list->topLevelItem(i);
        const bool tickable = row->flags() & Qt::ItemIsUserCheckable;
        rows << (tickable && row->checkState(0) == Qt::Checked ? QStringLiteral("[x] ")
                                                               : QString()) +
                    row->text(0);
    }
    return rows;
}

void moveOver(QWidget* widget) {
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}
