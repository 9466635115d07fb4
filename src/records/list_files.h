#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace records {

// The private list files of the data folder (the pending sends, the kept texts, what was
// learned of each phone): one record a line, its fields percent-encoded.
QByteArray encodedField(const QString& text);
QString decodedField(const QByteArray& text);
// Items percent-encoded and joined by commas; the empty text holds none.
QByteArray encodedList(const QStringList& items);
QStringList decodedList(const QByteArray& text);

// The bytes of a list file: nothing when it is missing or not the user's own regular file;
// `whole` false (and no bytes) when it is larger than `bound` or cannot be read.
std::optional<QByteArray> readListFile(const QString& path, qint64 bound, bool* whole);
// Renames a file that could not be read whole to a name of its own beside it, never over
// another file; the new name, or nothing when it could not be moved.
QString moveAside(const QString& path);
// Adds whole lines at the end of an existing list file, as long as it stays within `bound`;
// false when it could not (the caller then writes the file whole).
bool appendRecordLines(const QString& path, const QByteArray& lines, qint64 bound);

// The route of a send or kept text that a file written before routes were named holds:
// numbers alone (or a text's parts written down) went through the modem, addresses by e-mail.
QString routeWithout(const QStringList& addresses, bool partsWritten = false);

// The records of a list file's text, one a line: `parse` makes a record of a line's
// tab-separated fields, or nothing of a line it cannot read, counted in `unreadable`. A last
// line without its line end was cut off while it was written: it is no record.
template <typename Parse>
auto readRecords(const QByteArray& text, qsizetype* unreadable, Parse parse) {
    QList<typename decltype(parse(QByteArrayList()))::value_type> records;
    qsizetype bad = 0;
    QByteArrayList lines = text.split('\n');
    lines.removeLast(); // empty, or a line cut off
    for (const QByteArray& line : std::as_const(lines)) {
        if (line.isEmpty())
            continue;
        if (auto record = parse(line.split('\t')))
            records << *record;
        else
            ++bad;
    }
    if (unreadable)
        *unreadable = bad;
    return records;
}

// A list file read by `read` (which counts the lines it could not read). One that cannot be
// read whole is, with `keptAs`, moved aside and `keptAs` says where, so that the next save
// loses nothing; when it cannot be moved, nothing is returned.
template <typename Read>
auto loadListFile(const QString& path, qint64 bound, QString* keptAs, Read read)
    -> decltype(read(QByteArray(), nullptr)) {
    bool whole = true;
    const auto bytes = readListFile(path, bound, &whole);
    if (!bytes)
        return {};
    qsizetype unreadable = 0;
    const auto records = read(*bytes, &unreadable);
    if ((whole && unreadable == 0) || !keptAs)
        return records;
    *keptAs = moveAside(path);
    return keptAs->isEmpty() ? decltype(records)() : records;
}

} // namespace records
