#include "app/people_commands.h"

#include "platform/desktop.h"
#include "recipients/phone_rules.h"

#include <QSet>

namespace app {

using platform::Answer;
using platform::Buttons;
using platform::Icon;
using records::Group;
using records::PeopleBook;

namespace {
void tell(const PeopleContext& c, const QString& text) {
    c.desktop.messageBox(text, Buttons::Ok, Icon::None, c.applicationTitle);
}

bool save(const PeopleContext& c, const PeopleBook& book) {
    QString reason;
    if (records::savePeople(c.path, book, &reason))
        return true;
    tell(c, QStringLiteral("Parlivo could not keep its groups and saved texts in %1 (%2); "
                           "they stay as they were.")
                .arg(c.path, reason));
    return false;
}

// One phone however its rows write it.
QString phoneKey(const QString& number) {
    const QString digits = recipients::lastTenDigits(number);
    return digits.size() >= 7 ? digits : number.trimmed().toLower();
}

QString groupItem(const Group& group) {
    return QStringLiteral("%1 (%2 phone%3)")
        .arg(group.name)
        .arg(group.people.size())
        .arg(group.people.size() == 1 ? QString() : QStringLiteral("s"));
}

// The name the user types for what is saved, without control characters; nothing on cancel.
QString askName(const PeopleContext& c, const QString& prompt) {
    return recipients::cleanName(c.desktop.inputBox(prompt, c.applicationTitle));
}

// The groups the user ticks among those kept.
QList<qsizetype> chosenGroups(const PeopleContext& c, const PeopleBook& book,
                              const QString& prompt) {
    QStringList items;
    for (const Group& group : book.groups)
        items << groupItem(group);
    QList<qsizetype> chosen;
    if (items.isEmpty()) {
        tell(c, QStringLiteral("No groups are saved yet. Save the phone list as a group, or "
                               "load a contacts file whose people have labels."));
        return chosen;
    }
    for (const QString& item : c.desktop.chooseItems(prompt, items, c.applicationTitle))
        chosen << items.indexOf(item);
    return chosen;
}
} // namespace

PeopleBook loadBook(const PeopleContext& c) {
    QString keptAs;
    PeopleBook book = records::loadPeople(c.path, &keptAs);
    if (!keptAs.isEmpty())
        tell(c, QStringLiteral("Parlivo could not read all of its groups and saved texts, so it "
                               "moved the file aside as %1 and keeps what it could read.")
                    .arg(keptAs));
    return book;
}

void saveListAsGroup(const PeopleContext& c, const QList<recipients::Contact>& rows) {
    const QString name = askName(c, QStringLiteral("Name of the group:"));
    if (name.isEmpty())
        return;
    PeopleBook book = loadBook(c);
    if (Group* group = book.group(name)) {
        if (c.desktop.messageBox(QStringLiteral("A group named \"%1\" is saved already (%2 "
                                                "phones). Replace it with the %3 phones of the "
                                                "list?")
                                     .arg(group->name)
                                     .arg(group->people.size())
                                     .arg(rows.size()),
                                 Buttons::YesNo, Icon::None, c.applicationTitle) != Answer::Yes)
            return;
        group->people = rows;
    } else {
        book.groups << Group{name, rows};
    }
    save(c, book);
}

recipients::ListEdit loadGroups(const PeopleContext& c, const QStringList& listRows) {
    const PeopleBook book = loadBook(c);
    recipients::ListEdit edit;
    QSet<QString> held;
    for (const QString& row : listRows)
        held.insert(phoneKey(row));
    for (const qsizetype index :
         chosenGroups(c, book, QStringLiteral("Groups to load into the phone list:")))
        for (const recipients::Contact& person : book.groups[index].people)
            if (!held.contains(phoneKey(person.number))) {
                held.insert(phoneKey(person.number));
                edit.appended << person.number;
                edit.people << person;
            }
    return edit;
}

void deleteGroups(const PeopleContext& c) {
    PeopleBook book = loadBook(c);
    QList<qsizetype> chosen = chosenGroups(c, book, QStringLiteral("Groups to delete:"));
    if (chosen.isEmpty())
        return;
    std::sort(chosen.rbegin(), chosen.rend());
    for (const qsizetype index : std::as_const(chosen))
        book.groups.removeAt(index);
    save(c, book);
}

void keepFileGroups(const PeopleContext& c, const QList<recipients::Contact>& people) {
    if (std::none_of(people.cbegin(), people.cend(),
                     [](const recipients::Contact& person) { return !person.groups.isEmpty(); }))
        return;
    PeopleBook book = loadBook(c);
    for (const recipients::Contact& person : people)
        for (const QString& label : person.groups) {
            Group* group = book.group(label);
            if (!group)
                group = &book.groups.emplace_back(Group{label, {}});
            const bool held = std::any_of(group->people.cbegin(), group->people.cend(),
                                          [&](const recipients::Contact& in) {
                                              return phoneKey(in.number) == phoneKey(person.number);
                                          });
            if (!held)
                group->people << recipients::Contact{
                    person.name, person.number, person.numberLabel, {}, {}};
        }
    save(c, book);
}

void saveText(const PeopleContext& c, const QString& subject, const QString& body) {
    const QString name = askName(c, QStringLiteral("Name of the saved text:"));
    if (name.isEmpty())
        return;
    PeopleBook book = loadBook(c);
    if (records::SavedText* saved = book.text(name)) {
        if (c.desktop.messageBox(QStringLiteral("A text named \"%1\" is saved already. Replace it?")
                                     .arg(saved->name),
                                 Buttons::YesNo, Icon::None, c.applicationTitle) != Answer::Yes)
            return;
        *saved = {saved->name, subject, body};
    } else {
        book.texts << records::SavedText{name, subject, body};
    }
    save(c, book);
}

std::optional<records::SavedText> savedText(const PeopleContext& c, const QString& name) {
    PeopleBook book = loadBook(c);
    if (const records::SavedText* saved = book.text(name))
        return *saved;
    return std::nullopt;
}

void deleteText(const PeopleContext& c, const QString& name) {
    PeopleBook book = loadBook(c);
    book.texts.removeIf([&](const records::SavedText& saved) { return saved.name == name; });
    save(c, book);
}

} // namespace app
