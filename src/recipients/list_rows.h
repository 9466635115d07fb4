#pragma once

#include "core/settings.h"

#include <QString>
#include <QStringList>

class QTreeWidget;

namespace recipients {

// The most rows a list holds: positions and counts are 16-bit.
inline constexpr qsizetype kLongestList = 32767;

// Row operations on the two list views; positions are 1-based as the procedures count.
void appendRows(QTreeWidget* list, const QStringList& texts);
void appendCarrier(QTreeWidget* list, const QString& text, bool ticked);
void appendCarriers(QTreeWidget* list, const QStringList& texts);
qsizetype rowCount(const QTreeWidget* list);
void setTicked(QTreeWidget* list, qsizetype position, bool ticked);
void removeRow(QTreeWidget* list, qsizetype position);
// The selected row's position; reading it with no row selected fails.
qsizetype selectedPosition(const QTreeWidget* list);
bool hasSelection(const QTreeWidget* list);

QList<core::settings::CarrierRow> carrierRows(const QTreeWidget* list);

// The number of ticked carrier rows; more than 32767 rows is an Overflow failure.
qint16 CountCheckedCarriers(const QTreeWidget* carriers);

} // namespace recipients
