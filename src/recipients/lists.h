#pragma once

#include "core/settings.h"
#include "recipients/contact_file.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace recipients {

// A row of the carrier list: the gateway domain and its tick.
using CarrierRow = core::settings::CarrierRow;

// The most rows a list holds: positions and counts are 16-bit.
inline constexpr qsizetype kLongestList = 32767;

// What the list commands need to know of a list the window shows.
struct ListState {
    qsizetype rows = 0;
    qsizetype selected = 0; // the selected row's position, counted from 1; 0: none
};

// What a list command changes in a list, applied in this order: every row cleared, one row
// removed, rows appended, every row ticked or unticked.
struct ListEdit {
    bool clear = false;
    qsizetype removedPosition = 0; // counted from 1; 0: none
    QStringList appended;
    // Each appended row's person, where the rows came from contacts; none: bare numbers.
    QList<Contact> people;
    bool appendedTicked = false; // carrier rows appended ticked
    std::optional<bool> allTicked;
    bool operator==(const ListEdit&) const = default;
};

// The number of ticked carrier rows; more than 32767 rows is an Overflow failure.
qint16 CountCheckedCarriers(const QList<CarrierRow>& carriers);

// The texts of the ticked rows, in order.
QStringList tickedDomains(const QList<CarrierRow>& carriers);

} // namespace recipients
