#include "recipients/list_commands.h"

#include "core/error_report.h"
#include "core/pointer.h"
#include "core/procedure.h"
#include "core/shared.h"
#include "platform/desktop.h"
#include "recipients/carrier_table.h"
#include "recipients/list_rows.h"
#include "recipients/phone_rules.h"

#include <QFile>
#include <QTreeWidget>

namespace recipients {

using core::Procedure;

namespace {
Procedure procedure(const ListControls& controls, const char* name) {
    return Procedure(controls.desktop, core::qualifiedName("Form1", name));
}

// Ticks or unticks every row, with one repaint for the whole list.
void setAllTicks(Procedure& p, QTreeWidget* list, bool ticked) {
    qint16 count = 0;
    p.step(100, [&] { count = core::toInteger(rowCount(list)); });
    list->setUpdatesEnabled(false);
    for (int position = 1; position <= count; ++position) // an int: 32767 rows must not wrap
        p.step(102, [&] { setTicked(list, position, ticked); });
    list->setUpdatesEnabled(true);
}
} // namespace

void addNumber(const ListControls& controls) {
    auto p = procedure(controls, "PushButton5_Click");
    QString typed;
    p.step(106, [&] {
        typed = controls.desktop.inputBox(QStringLiteral("Enter phone number to add: "),
                                          controls.applicationTitle);
    });
    if (p.skipsAhead(108, [&] { return typed.isEmpty(); }))
        return;
    // Only blanks and hyphens would make an empty row that no send can use.
    const QString cleaned = cleanPhoneNumber(typed);
    if (cleaned.isEmpty())
        return;
    p.step(110, [&] { appendRows(controls.phoneList, {cleaned}); });
}

void loadNumbersFromFiles(const ListControls& controls) {
    auto p = procedure(controls, "PushButton3_Click");
    QStringList chosen;
    p.step(114, [&] {
        chosen = controls.desktop.openFileNames(
            QStringLiteral("Load List(s) - Hold Ctrl to select multiple list files"),
            QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"));
    });
    p.step(118, [&] { controls.pointer.setStyle(core::kBusyPointer); });
    if (p.opensBlock(120, [&] { return chosen.size() == 1; })) {
        p.step(124, [&] { LoadListFromFile(controls, controls.phoneList, chosen.value(0)); });
    } else if (p.opensBlock(126, [&] { return chosen.size() >= 2; })) {
        for (const QString& path : std::as_const(chosen)) {
            bool loaded = false;
            p.step(138, [&] {
                LoadListFromFile(controls, controls.phoneList, path);
                loaded = true;
            });
            if (!loaded && rowCount(controls.phoneList) >= kLongestList)
                break; // the list is full and the user was told; more files change nothing
        }
    }
    p.step(142, [&] { controls.pointer.setStyle(core::kDefaultPointer); });
}

void LoadListFromFile(const ListControls& controls, QTreeWidget* list, const QString& path) {
    if (!core::FileExists(path)) {
        controls.desktop.messageBox(QStringLiteral("File not found"), platform::Buttons::Ok,
                                    platform::Icon::None, controls.applicationTitle);
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw core::Failure(core::failure_number::PathFileAccess);
    constexpr qint64 kChunk = 1 << 20;
    PhoneFileReader reader(kLongestList - rowCount(list));
    while (!reader.overflowed()) {
        const QByteArray chunk = file.read(kChunk);
        if (file.error() != QFileDevice::NoError)
            throw core::Failure(core::failure_number::PathFileAccess);
        if (chunk.isEmpty())
            break;
        reader.feed(chunk);
    }
    reader.finish();
    file.close();
    appendRows(list, reader.rows());
    if (reader.overflowed()) // rows past the 16-bit limit are not added
        throw core::Failure(core::failure_number::Overflow);
}

void loadSampleNumbers(const ListControls& controls) {
    auto p = procedure(controls, "PushButton13_Click");
    p.step(100, [&] { appendRows(controls.phoneList, {kFirstSampleNumber}); });
    p.step(102, [&] { appendRows(controls.phoneList, {kSecondSampleNumber}); });
}

void clearPhoneList(const ListControls& controls) {
    auto p = procedure(controls, "PushButton11_Click");
    p.step(100, [&] { controls.phoneList->clear(); });
}

void addCarrier(const ListControls& controls) {
    auto p = procedure(controls, "PushButton6_Click");
    QString typed;
    p.step(100, [&] {
        typed = controls.desktop.inputBox(QStringLiteral("Enter a carrier:"),
                                          controls.applicationTitle);
    });
    if (p.skipsAhead(102, [&] { return typed.trimmed().isEmpty(); }))
        return;
    if (p.skipsAhead(104, [&] { return !typed.contains(QLatin1Char('.')); }))
        return;
    // "^" separates the carriers in the stored list: a row holding one would come back split.
    if (typed.contains(QLatin1Char('^')))
        return;
    p.step(106, [&] { appendCarrier(controls.carrierList, typed, false); });
    p.step(108, [&] { setTicked(controls.carrierList, rowCount(controls.carrierList), true); });
}

void deleteCarrier(const ListControls& controls) {
    auto p = procedure(controls, "PushButton7_Click");
    QTreeWidget* list = controls.carrierList;
    if (p.skipsAhead(100, [&] { return rowCount(list) == 0 || !hasSelection(list); }))
        return;
    p.step(102, [&] { removeRow(list, selectedPosition(list)); });
}

void clearCarrierList(const ListControls& controls) {
    auto p = procedure(controls, "PushButton4_Click");
    platform::Answer answer = platform::Answer::No;
    p.step(100, [&] {
        answer = controls.desktop.messageBox(
            QStringLiteral("Are you sure you want to clear this list?"), platform::Buttons::YesNo,
            platform::Icon::None, controls.applicationTitle);
    });
    if (p.opensBlock(102, [&] { return answer == platform::Answer::Yes; }))
        p.step(104, [&] { controls.carrierList->clear(); });
}

void selectAllCarriers(const ListControls& controls) {
    auto p = procedure(controls, "PushButton9_Click");
    setAllTicks(p, controls.carrierList, true);
}

void unselectAllCarriers(const ListControls& controls) {
    auto p = procedure(controls, "PushButton10_Click");
    setAllTicks(p, controls.carrierList, false);
}

void loadDefaultCarriers(const ListControls& controls) {
    auto p = procedure(controls, "PushButton12_Click");
    int line = 100;
    for (const QString& carrier : defaultCarriers()) {
        p.step(line, [&] { appendCarrier(controls.carrierList, carrier, false); });
        line += 2;
    }
}

void removeSelectedRow(const ListControls& controls, QTreeWidget* list) {
    if (controls.pointer.style() == core::kBusyPointer)
        return;
    if (rowCount(list) > 0 && hasSelection(list))
        removeRow(list, selectedPosition(list));
}

} // namespace recipients
