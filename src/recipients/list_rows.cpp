#include "recipients/list_rows.h"

#include "core/error_report.h"

#include <QTreeWidget>

namespace recipients {

namespace {
QTreeWidgetItem* makeRow(const QString& text) {
    return new QTreeWidgetItem(QStringList{text});
}

QTreeWidgetItem* item(const QTreeWidget* list, qsizetype position) {
    QTreeWidgetItem* row = list->topLevelItem(int(position - 1));
    if (!row)
        throw core::Failure(core::failure_number::InvalidCall);
    return row;
}
} // namespace

void appendRows(QTreeWidget* list, const QStringList& texts) {
    QList<QTreeWidgetItem*> rows;
    rows.reserve(texts.size());
    for (const QString& text : texts)
        rows << makeRow(text);
    list->addTopLevelItems(rows);
}

void appendCarrier(QTreeWidget* list, const QString& text, bool ticked) {
    QTreeWidgetItem* row = makeRow(text);
    row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    row->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
    list->addTopLevelItem(row);
}

void appendCarriers(QTreeWidget* list, const QStringList& texts) {
    for (const QString& text : texts)
        appendCarrier(list, text, false);
}

qsizetype rowCount(const QTreeWidget* list) {
    return list->topLevelItemCount();
}

void setTicked(QTreeWidget* list, qsizetype position, bool ticked) {
    item(list, position)->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
}

void removeRow(QTreeWidget* list, qsizetype position) {
    item(list, position);
    delete list->takeTopLevelItem(int(position - 1));
}

bool hasSelection(const QTreeWidget* list) {
    return !list->selectedItems().isEmpty();
}

qsizetype selectedPosition(const QTreeWidget* list) {
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty())
        throw core::Failure(core::failure_number::ObjectNotSet);
    return list->indexOfTopLevelItem(selected.first()) + 1;
}

QList<core::settings::CarrierRow> carrierRows(const QTreeWidget* list) {
    QList<core::settings::CarrierRow> rows;
    const int count = list->topLevelItemCount();
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QTreeWidgetItem* row = list->topLevelItem(i);
        rows.append({row->text(0), row->checkState(0) == Qt::Checked});
    }
    return rows;
}

qint16 CountCheckedCarriers(const QTreeWidget* carriers) {
    const qint16 count = core::toInteger(carriers->topLevelItemCount());
    qint16 ticked = 0;
    for (int i = 0; i < count; ++i)
        if (carriers->topLevelItem(i)->checkState(0) == Qt::Checked)
            ++ticked;
    return ticked;
}

} // namespace recipients
