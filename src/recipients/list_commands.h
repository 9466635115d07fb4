#pragma once

#include <QString>

class QTreeWidget;

namespace core {
class WindowPointer;
}
namespace platform {
class Desktop;
}

namespace recipients {

// What the list procedures of the main window work on.
struct ListControls {
    platform::Desktop& desktop;
    QString applicationTitle;
    core::WindowPointer& pointer;
    QTreeWidget* phoneList;   // one column, no tick boxes
    QTreeWidget* carrierList; // one column, a tick box on each row
};

// Phone list
void addNumber(const ListControls& controls);            // "Add Number"
void loadNumbersFromFiles(const ListControls& controls); // "Load Number/s From File"
void loadSampleNumbers(const ListControls& controls);    // "Load Sample/Example Numbers"
void clearPhoneList(const ListControls& controls);       // "Clear List" under the phones
// Appends one row per line of the file; "File not found" when it does not exist.
void LoadListFromFile(const ListControls& controls, QTreeWidget* list, const QString& path);

// Carrier list
void addCarrier(const ListControls& controls);          // "Add Carrier"
void deleteCarrier(const ListControls& controls);       // "Delete Carrier"
void clearCarrierList(const ListControls& controls);    // "Clear List" under the carriers
void selectAllCarriers(const ListControls& controls);   // "Select All Carriers"
void unselectAllCarriers(const ListControls& controls); // "Unselect All Carriers"
void loadDefaultCarriers(const ListControls& controls); // "Load Default Carriers"

// A double click on either list removes its selected row, unless the window is busy.
void removeSelectedRow(const ListControls& controls, QTreeWidget* list);

} // namespace recipients
