#include "records/people_file.h"

#include "platform/private_files.h"
#include "records/list_files.h"

#include <QFileInfo>

namespace records {

namespace {
constexpr qint64 kLongestPeopleFile = 16 * 1024 * 1024;

template <typename Item> Item* named(QList<Item>& items, const QString& name) {
    for (Item& item : items)
        if (item.name.compare(name, Qt::CaseInsensitive) == 0)
            return &item;
    return nullptr;
}
} // namespace

Group* PeopleBook::group(const QString& name) {
    return named(groups, name);
}

SavedText* PeopleBook::text(const QString& name) {
    return named(texts, name);
}

QByteArray peopleText(const PeopleBook& book) {
    QByteArray text;
    for (const Group& group : book.groups)
        for (const recipients::Contact& person : group.people)
            text += "member\t" + encodedField(group.name) + '\t' + encodedField(person.number) +
                    '\t' + encodedField(person.name) + '\t' + encodedField(person.numberLabel) +
                    '\n';
    for (const SavedText& saved : book.texts)
        text += "text\t" + encodedField(saved.name) + '\t' + encodedField(saved.subject) + '\t' +
                encodedField(saved.body) + '\n';
    return text;
}

PeopleBook readPeople(const QByteArray& text, qsizetype* unreadable) {
    PeopleBook book;
    enum class Kind { Member, Text };
    struct Line {
        Kind kind;
        QStringList fields;
    };
    const auto lines = readRecords(text, unreadable, [](const QByteArrayList& f) {
        std::optional<Line> line;
        const bool member = f.size() == 5 && f[0] == "member";
        const bool saved = f.size() == 4 && f[0] == "text";
        if ((member || saved) && !f[1].isEmpty()) {
            QStringList fields;
            for (qsizetype i = 1; i < f.size(); ++i)
                fields << decodedField(f[i]);
            line = Line{member ? Kind::Member : Kind::Text, fields};
        }
        return line;
    });
    for (const Line& line : lines) {
        const QStringList& f = line.fields;
        if (line.kind == Kind::Text) {
            if (!book.text(f[0]))
                book.texts << SavedText{f[0], f[1], f[2]};
            continue;
        }
        Group* group = book.group(f[0]);
        if (!group)
            group = &book.groups.emplace_back(Group{f[0], {}});
        group->people << recipients::Contact{f[2], f[1], f[3], {f[0]}, {}};
    }
    return book;
}

PeopleBook loadPeople(const QString& path, QString* keptAs) {
    return loadListFile(path, kLongestPeopleFile, keptAs, readPeople);
}

bool savePeople(const QString& path, const PeopleBook& book, QString* reason) {
    const QByteArray text = peopleText(book);
    if (text.size() > kLongestPeopleFile) {
        *reason = QStringLiteral("the groups and saved texts would pass %1 MB")
                      .arg(kLongestPeopleFile >> 20);
        return false;
    }
    platform::makePrivateFolder(QFileInfo(path).absolutePath());
    return platform::replacePrivateFile(path, text, reason);
}

} // namespace records
