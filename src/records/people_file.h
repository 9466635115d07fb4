#pragma once

#include "recipients/contact_file.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace records {

inline const QString kPeopleFileName = QStringLiteral("people.tsv");

// A named group of people: saved from the phone list, or a label of a contacts file.
struct Group {
    QString name;
    QList<recipients::Contact> people; // each at the number they are texted at
    bool operator==(const Group&) const = default;
};

// A text saved under a name, to fill the window again.
struct SavedText {
    QString name;
    QString subject;
    QString body;
    bool operator==(const SavedText&) const = default;
};

// The groups and the saved texts, in the order they were first saved.
struct PeopleBook {
    QList<Group> groups;
    QList<SavedText> texts;
    bool operator==(const PeopleBook&) const = default;
    // The group or text of that name, compared without regard to case; null when none.
    Group* group(const QString& name);
    SavedText* text(const QString& name);
};

// One line a member ("member", group, number, name, which number) or a text ("text", name,
// subject, body), fields percent-encoded and separated by tabs.
QByteArray peopleText(const PeopleBook& book);
PeopleBook readPeople(const QByteArray& text, qsizetype* unreadable = nullptr);

// The file in the user's data folder; a missing file holds nothing. One that cannot be read
// whole is moved aside and `keptAs` says where.
PeopleBook loadPeople(const QString& path, QString* keptAs);
// Replaces the file whole (0600, never through a link). False when it could not be written
// (then `reason` says why): the file as it was stays.
bool savePeople(const QString& path, const PeopleBook& book, QString* reason);

} // namespace records
