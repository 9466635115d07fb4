#pragma once

#include "recipients/lists.h"
#include "records/people_file.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace platform {
class Desktop;
}

namespace app {

// What the groups' and saved texts' commands reach: the desktop, the window's title and the
// private file that keeps them.
struct PeopleContext {
    platform::Desktop& desktop;
    QString applicationTitle;
    QString path;
};

// The groups and saved texts as kept; a damaged file is moved aside and told.
records::PeopleBook loadBook(const PeopleContext& c);

// "Save List as Group...": the list's rows, each with its person, under a name the user
// gives; an existing group of that name is replaced once the user agrees.
void saveListAsGroup(const PeopleContext& c, const QList<recipients::Contact>& rows);
// "Load Groups...": the people of the groups the user ticks, each phone once and none that
// the list holds already.
recipients::ListEdit loadGroups(const PeopleContext& c, const QStringList& listRows);
// "Delete Groups...".
void deleteGroups(const PeopleContext& c);
// The labels of people loaded from a contacts file become groups, or grow by them.
void keepFileGroups(const PeopleContext& c, const QList<recipients::Contact>& people);

// "Save This Text...": the subject and body under a name the user gives.
void saveText(const PeopleContext& c, const QString& subject, const QString& body);
// The saved text of that name, or none.
std::optional<records::SavedText> savedText(const PeopleContext& c, const QString& name);
void deleteText(const PeopleContext& c, const QString& name);

} // namespace app
