#pragma once

#include "recipients/lists.h"

#include <QString>

namespace core {
class Procedure;
class WindowPointer;
} // namespace core
namespace platform {
class Desktop;
}

namespace recipients {

// What the list procedures of the main window talk to. The lists themselves stay with the
// window: a command is told how many rows a list has and which is selected, and hands back
// the edit the window makes.
struct ListContext {
    platform::Desktop& desktop;
    QString applicationTitle;
    core::WindowPointer& pointer;
};

// Phone list
ListEdit addNumber(const ListContext& context);                            // "Add Number"
ListEdit loadNumbersFromFiles(const ListContext& context, qsizetype rows); // "Load Number/s..."
ListEdit loadSampleNumbers(const ListContext& context); // "Load Sample/Example..."
ListEdit clearPhoneList(const ListContext& context);    // "Clear List" (phones)
// "Load Contacts From This Computer": every person of the address books the desktop keeps as
// vCards under `folder` (KDE Connect mirrors each paired phone's there), each phone once.
ListEdit loadComputerContacts(const ListContext& context, qsizetype rows, const QString& folder);
// Where the desktop keeps address books as vCards.
QString computerContactsFolder();
// Appends to `edit` one row per line of the file, up to the list's 32767 rows with the `rows`
// it holds; "File not found" when the file does not exist, Overflow past the limit.
void LoadListFromFile(const ListContext& context, ListEdit& edit, qsizetype rows,
                      const QString& path);

// Carrier list
ListEdit addCarrier(const ListContext& context);                          // "Add Carrier"
ListEdit deleteCarrier(const ListContext& context, ListState carriers);   // "Delete Carrier"
ListEdit clearCarrierList(const ListContext& context);                    // "Clear List"
ListEdit selectAllCarriers(const ListContext& context, qsizetype rows);   // "Select All..."
ListEdit unselectAllCarriers(const ListContext& context, qsizetype rows); // "Unselect All..."
ListEdit loadDefaultCarriers(const ListContext& context);                 // "Load Default..."

// A double click on either list removes its selected row, unless the window is busy.
ListEdit removeSelectedRow(const ListContext& context, ListState list);

// The default carriers appended one a statement, from `firstLine` on in steps of two.
void appendDefaultCarriers(core::Procedure& p, int firstLine, QStringList& rows);

// The carrier rows kept by the settings store: the defaults when none were kept, otherwise
// the stored carriers with their ticks (statements 150 to 178 of the start-up).
QList<CarrierRow> restoredCarriers(core::Procedure& p, const QString& carriers,
                                   const QString& ticks);

} // namespace recipients
