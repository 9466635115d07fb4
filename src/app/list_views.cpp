#include "app/list_views.h"

#include "recipients/carrier_table.h"

#include <QTreeWidget>

namespace app {

namespace {
// Where a phone row keeps its person: the name and which of the person's numbers it is.
constexpr int kPersonRole = Qt::UserRole + 1;
} // namespace

namespace {
QTreeWidgetItem* makeRow(const QString& text) {
    return new QTreeWidgetItem(QStringList{text});
}

QTreeWidgetItem* makeCarrier(const QString& text, bool ticked) {
    QTreeWidgetItem* row = makeRow(text);
    row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    row->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
    if (const QString note = recipients::carrierNote(text); !note.isEmpty())
        row->setToolTip(0, note);
    return row;
}

void tickAll(QTreeWidget* list, bool ticked) {
    list->setUpdatesEnabled(false); // one repaint for the whole list
    const int count = list->topLevelItemCount();
    for (int i = 0; i < count; ++i)
        list->topLevelItem(i)->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
    list->setUpdatesEnabled(true);
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
    list->addTopLevelItem(makeCarrier(text, ticked));
}

void appendCarriers(QTreeWidget* list, const QList<recipients::CarrierRow>& rows) {
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const recipients::CarrierRow& row : rows)
        items << makeCarrier(row.text, row.ticked);
    list->addTopLevelItems(items);
}

QStringList rowTexts(const QTreeWidget* list) {
    QStringList texts;
    const int count = list->topLevelItemCount();
    texts.reserve(count);
    for (int i = 0; i < count; ++i)
        texts << list->topLevelItem(i)->text(0);
    return texts;
}

QList<recipients::CarrierRow> carrierRows(const QTreeWidget* list) {
    QList<recipients::CarrierRow> rows;
    const int count = list->topLevelItemCount();
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QTreeWidgetItem* row = list->topLevelItem(i);
        rows.append({row->text(0), row->checkState(0) == Qt::Checked});
    }
    return rows;
}

recipients::ListState listState(const QTreeWidget* list) {
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    return {list->topLevelItemCount(),
            selected.isEmpty() ? 0 : list->indexOfTopLevelItem(selected.first()) + 1};
}

QList<recipients::Contact> rowPeople(const QTreeWidget* list) {
    QList<recipients::Contact> people;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list->topLevelItem(i);
        const QStringList person = row->data(0, kPersonRole).toStringList();
        people << recipients::Contact{person.value(0), row->text(0), person.value(1), {}, {}};
    }
    return people;
}

int columnNamed(const QTreeWidget* list, const QString& header) {
    for (int column = 0; column < list->columnCount(); ++column)
        if (list->headerItem()->text(column) == header)
            return column;
    return -1;
}

namespace {
// The rows with each person beside the number: the name, and which of the person's numbers
// the row is; each row made whole before the list holds it.
void appendPeople(QTreeWidget* list, const QStringList& texts,
                  const QList<recipients::Contact>& people) {
    const QString header = QStringLiteral("Name");
    int column = columnNamed(list, header);
    if (column < 0) {
        column = list->columnCount();
        list->setColumnCount(column + 1);
        list->headerItem()->setText(column, header);
        list->setColumnWidth(0, list->width() * 2 / 5);
    }
    QList<QTreeWidgetItem*> rows;
    rows.reserve(texts.size());
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const recipients::Contact& person = people[i];
        auto* row = new QTreeWidgetItem(QStringList{texts[i]});
        row->setText(column, person.numberLabel.isEmpty()
                                 ? person.name
                                 : QStringLiteral("%1 (%2)").arg(person.name, person.numberLabel));
        row->setData(0, kPersonRole, QStringList{person.name, person.numberLabel});
        rows << row;
    }
    list->addTopLevelItems(rows);
}
} // namespace

void applyEdit(QTreeWidget* list, const recipients::ListEdit& edit, bool checkable) {
    if (edit.clear)
        list->clear();
    if (edit.removedPosition > 0 && edit.removedPosition <= list->topLevelItemCount())
        delete list->takeTopLevelItem(int(edit.removedPosition - 1));
    if (checkable) {
        QList<recipients::CarrierRow> rows;
        rows.reserve(edit.appended.size());
        for (const QString& text : edit.appended)
            rows.append({text, edit.appendedTicked});
        appendCarriers(list, rows);
    } else {
        if (edit.people.size() == edit.appended.size() && !edit.people.isEmpty())
            appendPeople(list, edit.appended, edit.people);
        else
            appendRows(list, edit.appended);
    }
    if (edit.allTicked)
        tickAll(list, *edit.allTicked);
}

} // namespace app
