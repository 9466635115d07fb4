#pragma once

#include "recipients/lists.h"

#include <QString>
#include <QStringList>

class QTreeWidget;

namespace app {

// The window's two list views read as the subsystems' plain values, and the edits the list
// commands hand back made on them. Positions are counted from 1, as the procedures count.
void appendRows(QTreeWidget* list, const QStringList& texts);
void appendCarrier(QTreeWidget* list, const QString& text, bool ticked);
void appendCarriers(QTreeWidget* list, const QList<recipients::CarrierRow>& rows);

QStringList rowTexts(const QTreeWidget* list);
QList<recipients::CarrierRow> carrierRows(const QTreeWidget* list);
recipients::ListState listState(const QTreeWidget* list);

// The phone list's rows with the person each was loaded with (none: a bare number).
QList<recipients::Contact> rowPeople(const QTreeWidget* list);
// The column whose header is `header`, or -1.
int columnNamed(const QTreeWidget* list, const QString& header);

// Makes a list command's edit: `checkable` lists (the carriers) show a tick box on each row.
// Rows with their people show each person in a "Name" column, added the first time.
void applyEdit(QTreeWidget* list, const recipients::ListEdit& edit, bool checkable);

} // namespace app
