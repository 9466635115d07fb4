#include "recipients/list_commands.h"

#include "core/error_report.h"
#include "core/pointer.h"
#include "core/procedure.h"
#include "core/shared.h"
#include "platform/desktop.h"
#include "recipients/carrier_table.h"
#include "recipients/phone_rules.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

namespace recipients {

using core::Procedure;

namespace {
constexpr qint64 kReadChunk = 1 << 20;

Procedure procedure(const ListContext& context, const char* name) {
    return Procedure(context.desktop, core::qualifiedName("Form1", name));
}

// Ticks or unticks every row; a list too long to count is left as it is.
ListEdit setAllTicks(Procedure& p, qsizetype rows, bool ticked) {
    qint16 count = 0;
    p.step(100, [&] { count = core::toInteger(rows); });
    ListEdit edit;
    if (count > 0)
        edit.allTicked = ticked;
    return edit;
}

ListEdit cleared() {
    ListEdit edit;
    edit.clear = true;
    return edit;
}
} // namespace

ListEdit addNumber(const ListContext& context) {
    auto p = procedure(context, "PushButton5_Click");
    QString typed;
    p.step(106, [&] {
        typed = context.desktop.inputBox(QStringLiteral("Enter phone number to add: "),
                                         context.applicationTitle);
    });
    if (p.skipsAhead(108, [&] { return typed.isEmpty(); }))
        return {};
    // Only blanks and hyphens would make an empty row that no send can use.
    const QString cleaned = cleanPhoneNumber(typed);
    if (cleaned.isEmpty())
        return {};
    ListEdit edit;
    p.step(110, [&] { edit.appended << cleaned; });
    return edit;
}

ListEdit loadNumbersFromFiles(const ListContext& context, qsizetype rows) {
    auto p = procedure(context, "PushButton3_Click");
    QStringList chosen;
    p.step(114, [&] {
        chosen = context.desktop.openFileNames(
            QStringLiteral("Load List(s) - Hold Ctrl to select multiple list files"),
            QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|Contacts (*.csv;*.vcf)|"
                           "*.csv;*.vcf|"));
    });
    ListEdit edit;
    p.step(118, [&] { context.pointer.setStyle(core::kBusyPointer); });
    if (p.opensBlock(120, [&] { return chosen.size() == 1; })) {
        p.step(124, [&] { LoadListFromFile(context, edit, rows, chosen.value(0)); });
    } else if (p.opensBlock(126, [&] { return chosen.size() >= 2; })) {
        for (const QString& path : std::as_const(chosen)) {
            bool loaded = false;
            p.step(138, [&] {
                LoadListFromFile(context, edit, rows, path);
                loaded = true;
            });
            if (!loaded && rows + edit.appended.size() >= kLongestList)
                break; // the list is full and the user was told; more files change nothing
        }
    }
    p.step(142, [&] { context.pointer.setStyle(core::kDefaultPointer); });
    return edit;
}

namespace {
// Appends rows to `edit`, with their people when they have some; the people stay one a row.
void appendToEdit(ListEdit& edit, const QStringList& rows, const QList<Contact>& people) {
    if (!people.isEmpty() || !edit.people.isEmpty()) {
        for (qsizetype i = edit.people.size(); i < edit.appended.size(); ++i)
            edit.people << Contact{{}, edit.appended[i], {}, {}, {}};
        for (qsizetype i = 0; i < rows.size(); ++i)
            edit.people << (i < people.size() ? people[i] : Contact{{}, rows[i], {}, {}, {}});
    }
    if (edit.appended.isEmpty())
        edit.appended = rows;
    else
        edit.appended += rows;
}

void readContacts(const ListContext& context, ListEdit& edit, qsizetype room, QFile& file,
                  const QByteArray& start, ContactFormat format) {
    ContactReader reader(format, room);
    for (QByteArray chunk = start; !chunk.isEmpty() && !reader.overflowed();
         chunk = file.read(kReadChunk)) {
        reader.feed(chunk);
        if (file.error() != QFileDevice::NoError)
            throw core::Failure(core::failure_number::PathFileAccess);
    }
    reader.finish();
    const QList<Contact> people = reader.contacts();
    QStringList rows;
    for (const Contact& person : people)
        rows << person.number;
    appendToEdit(edit, rows, people);
    const QString name = QFileInfo(file.fileName()).fileName();
    if (!reader.problem().isEmpty())
        context.desktop.messageBox(
            QStringLiteral("Parlivo could not read all of %1: %2 (line %3).\r\n\r\n%4")
                .arg(name, reader.problem())
                .arg(reader.problemLine())
                .arg(people.isEmpty()
                         ? QStringLiteral("Nothing of it was added to the list.")
                         : QStringLiteral("The %1 before it %2 added to the list.")
                               .arg(people.size() == 1
                                        ? QStringLiteral("contact")
                                        : QStringLiteral("%1 contacts").arg(people.size()),
                                    people.size() == 1 ? QStringLiteral("was")
                                                       : QStringLiteral("were"))),
            platform::Buttons::Ok, platform::Icon::None, context.applicationTitle);
    else if (people.isEmpty())
        context.desktop.messageBox(
            QStringLiteral("%1 is a contacts file, but none of its contacts has a phone number.")
                .arg(name),
            platform::Buttons::Ok, platform::Icon::None, context.applicationTitle);
    if (reader.overflowed())
        throw core::Failure(core::failure_number::Overflow);
}
} // namespace

void LoadListFromFile(const ListContext& context, ListEdit& edit, qsizetype rows,
                      const QString& path) {
    if (!core::FileExists(path)) {
        context.desktop.messageBox(QStringLiteral("File not found"), platform::Buttons::Ok,
                                   platform::Icon::None, context.applicationTitle);
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw core::Failure(core::failure_number::PathFileAccess);
    const qsizetype room = kLongestList - rows - edit.appended.size();
    QByteArray chunk = file.read(kReadChunk);
    if (file.error() != QFileDevice::NoError)
        throw core::Failure(core::failure_number::PathFileAccess);
    // A contacts file is known by its start; anything else is a list of numbers.
    if (const ContactFormat format = contactFormatOf(chunk); format != ContactFormat::Numbers)
        return readContacts(context, edit, room, file, chunk, format);
    PhoneFileReader reader(room);
    for (; !chunk.isEmpty() && !reader.overflowed(); chunk = file.read(kReadChunk)) {
        reader.feed(chunk);
        if (file.error() != QFileDevice::NoError)
            throw core::Failure(core::failure_number::PathFileAccess);
    }
    reader.finish();
    file.close();
    appendToEdit(edit, reader.rows(), {});
    if (reader.overflowed()) // rows past the 16-bit limit are not added
        throw core::Failure(core::failure_number::Overflow);
}

QString computerContactsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/kpeoplevcard");
}

ListEdit loadComputerContacts(const ListContext& context, qsizetype rows, const QString& folder) {
    QStringList cards;
    QDirIterator found(folder, {QStringLiteral("*.vcf")}, QDir::Files | QDir::Readable,
                       QDirIterator::Subdirectories);
    while (found.hasNext())
        cards << found.next();
    cards.sort();
    ListEdit all;
    const int pointer = context.pointer.style();
    context.pointer.setStyle(core::kBusyPointer);
    try {
        for (const QString& card : std::as_const(cards))
            LoadListFromFile(context, all, rows, card);
    } catch (const core::Failure&) { // the list is full: what fitted is kept
        context.desktop.messageBox(
            QStringLiteral("The phone list holds at most %1 rows; the contacts after that were "
                           "not added.")
                .arg(kLongestList),
            platform::Buttons::Ok, platform::Icon::None, context.applicationTitle);
    }
    context.pointer.setStyle(pointer);
    // The same person mirrored from two phones, or written twice, is one row.
    ListEdit edit;
    QSet<QString> seen;
    for (qsizetype i = 0; i < all.appended.size(); ++i) {
        const Contact person = all.people.value(i, Contact{{}, all.appended[i], {}, {}, {}});
        if (!seen.contains(digitsOf(person.number) + person.name)) {
            seen.insert(digitsOf(person.number) + person.name);
            appendToEdit(edit, {all.appended[i]}, {person});
        }
    }
    if (edit.appended.isEmpty())
        context.desktop.messageBox(
            QStringLiteral("No contacts with a phone number were found in %1.").arg(folder),
            platform::Buttons::Ok, platform::Icon::None, context.applicationTitle);
    return edit;
}

ListEdit loadSampleNumbers(const ListContext& context) {
    auto p = procedure(context, "PushButton13_Click");
    ListEdit edit;
    p.step(100, [&] { edit.appended << kFirstSampleNumber; });
    p.step(102, [&] { edit.appended << kSecondSampleNumber; });
    return edit;
}

ListEdit clearPhoneList(const ListContext& context) {
    auto p = procedure(context, "PushButton11_Click");
    ListEdit edit;
    p.step(100, [&] { edit = cleared(); });
    return edit;
}

ListEdit addCarrier(const ListContext& context) {
    auto p = procedure(context, "PushButton6_Click");
    QString typed;
    p.step(100, [&] {
        typed =
            context.desktop.inputBox(QStringLiteral("Enter a carrier:"), context.applicationTitle);
    });
    if (p.skipsAhead(102, [&] { return typed.trimmed().isEmpty(); }))
        return {};
    if (p.skipsAhead(104, [&] { return !typed.contains(QLatin1Char('.')); }))
        return {};
    // "^" separates the carriers in the stored list: a row holding one would come back split.
    if (typed.contains(QLatin1Char('^')))
        return {};
    ListEdit edit;
    p.step(106, [&] { edit.appended << typed; });
    p.step(108, [&] { edit.appendedTicked = true; });
    return edit;
}

ListEdit deleteCarrier(const ListContext& context, ListState carriers) {
    auto p = procedure(context, "PushButton7_Click");
    if (p.skipsAhead(100, [&] { return carriers.rows == 0 || carriers.selected == 0; }))
        return {};
    ListEdit edit;
    p.step(102, [&] { edit.removedPosition = carriers.selected; });
    return edit;
}

ListEdit clearCarrierList(const ListContext& context) {
    auto p = procedure(context, "PushButton4_Click");
    platform::Answer answer = platform::Answer::No;
    p.step(100, [&] {
        answer = context.desktop.messageBox(
            QStringLiteral("Are you sure you want to clear this list?"), platform::Buttons::YesNo,
            platform::Icon::None, context.applicationTitle);
    });
    ListEdit edit;
    if (p.opensBlock(102, [&] { return answer == platform::Answer::Yes; }))
        p.step(104, [&] { edit = cleared(); });
    return edit;
}

ListEdit selectAllCarriers(const ListContext& context, qsizetype rows) {
    auto p = procedure(context, "PushButton9_Click");
    return setAllTicks(p, rows, true);
}

ListEdit unselectAllCarriers(const ListContext& context, qsizetype rows) {
    auto p = procedure(context, "PushButton10_Click");
    return setAllTicks(p, rows, false);
}

void appendDefaultCarriers(Procedure& p, int firstLine, QStringList& rows) {
    int line = firstLine;
    for (const QString& carrier : defaultCarriers()) {
        p.step(line, [&] { rows << carrier; });
        line += 2;
    }
}

ListEdit loadDefaultCarriers(const ListContext& context) {
    auto p = procedure(context, "PushButton12_Click");
    ListEdit edit;
    appendDefaultCarriers(p, 100, edit.appended);
    return edit;
}

ListEdit removeSelectedRow(const ListContext& context, ListState list) {
    if (context.pointer.style() == core::kBusyPointer || list.rows == 0 || list.selected == 0)
        return {};
    ListEdit edit;
    edit.removedPosition = list.selected;
    return edit;
}

QList<CarrierRow> restoredCarriers(Procedure& p, const QString& carriers, const QString& ticks) {
    QList<CarrierRow> rows;
    if (p.opensBlock(150, [&] { return carriers.isEmpty(); })) {
        QStringList defaults;
        appendDefaultCarriers(p, 152, defaults);
        for (const QString& carrier : std::as_const(defaults))
            rows.append({carrier, false});
        return rows;
    }
    QStringList pieces;
    QStringList tickPieces;
    p.step(166, [&] { pieces = core::settings::storedPieces(carriers); });
    p.step(168, [&] { tickPieces = core::settings::storedPieces(ticks); });
    const qsizetype n = pieces.size() - 1;
    const qsizetype m = tickPieces.size() - 1;
    qsizetype last = -1;
    p.step(170, [&] { last = core::toInteger(n); });
    for (qsizetype i = 0; i <= last; ++i) {
        if (p.skipsAhead(172, [&] { return pieces[i].isEmpty(); }))
            continue;
        bool appended = false;
        p.step(174, [&] {
            rows.append({pieces[i], false});
            appended = true;
        });
        if (p.skipsAhead(176, [&] { return n != m; }))
            continue;
        p.step(178, [&] {
            const bool ticked = core::settings::tickFromText(tickPieces[i]);
            if (appended)
                rows.last().ticked = ticked;
        });
    }
    return rows;
}

} // namespace recipients
