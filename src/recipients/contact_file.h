#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <optional>

namespace recipients {

// The columns of a person's row by their headers in lower case, or a vCard's "first name",
// "last name" and "name", as the file gives them.
struct Fields {
    QStringList names;
    QStringList values;
    // Trimmed; nothing where the file has no such column.
    QString value(const QString& name) const {
        const qsizetype at = names.indexOf(name);
        return at < 0 ? QString() : values.value(at).trimmed();
    }
    void insert(const QString& name, const QString& value) {
        names << name;
        values << value;
    }
    bool operator==(const Fields&) const = default;
};

// One person of a contacts file, at the number they are texted at: the mobile one where the
// file says which, else the first.
struct Contact {
    QString name;        // shown beside the number: no control characters, blanks simplified
    QString number;      // as the file writes it
    QString numberLabel; // which of the person's numbers: "mobile", "work", ...; none: the only one
    QStringList groups;  // the file's labels or categories
    Fields fields;
    bool operator==(const Contact&) const = default;
};

enum class ContactFormat {
    Numbers,    // no contacts file: a list of numbers, a line a row
    GoogleCsv,  // exported by Google Contacts
    OutlookCsv, // exported by Outlook
    Csv,        // any CSV whose header row names a name and a phone column
    VCard,      // vCard 2.1, 3.0 or 4.0
};

// What the start of a file shows it to be.
ContactFormat contactFormatOf(QByteArrayView start);

// Reads a contacts file piece by piece, in time linear in its size and in memory bounded by
// the longest record it keeps (photos and sounds are skipped as they stream by). Text is
// UTF-8 or UTF-16 after a byte-order mark, UTF-8 where the start reads as such, else
// Windows-1252, the code page Windows programs export in. Stops once more than `room` contacts were
// found.
class ContactReader {
  public:
    ContactReader(ContactFormat format, qsizetype room);
    void feed(QByteArrayView bytes);
    void finish();
    bool overflowed() const { return contacts_.size() > room_; }
    QList<Contact> contacts() const { return contacts_.mid(0, room_); }
    // What made the file unreadable from `problemLine` on (counted from 1), in plain words;
    // empty when it read whole. What was read before it is kept.
    QString problem() const { return problem_; }
    int problemLine() const { return problemLine_; }

  private:
    void decide();
    void take(const QString& text);
    // How many of `text`'s first characters went into the field at once: none where the first
    // one ends or opens something.
    qsizetype csvRun(QStringView text);
    void csvCharacter(QChar c);
    void endCsvField();
    void endCsvRecord();
    void planColumns();
    void csvContact(const QStringList& values);
    void vcardLine(const QString& line);
    void vcardProperty(const QString& line);
    void fail(const QString& why, int line);

    ContactFormat format_;
    qsizetype room_;
    std::optional<QStringDecoder> decoder_; // none while the text read alike in any
    bool started_ = false;
    QByteArray undecided_; // from the first byte beyond ASCII until the encoding is known
    int line_ = 1;
    QString problem_;
    int problemLine_ = 0;
    QList<Contact> contacts_;
    // CSV
    QChar delimiter_; // none until the header row ended
    QString headerText_;
    bool headerQuoted_ = false;
    bool quoted_ = false;
    bool quoteSeen_ = false;
    int recordLine_ = 1;
    QString field_;
    QStringList record_;
    QStringList header_;
    struct Columns { // where a CSV row holds what a contact needs, found once from the header
        bool planned = false;
        qsizetype name = -1;        // the whole name
        QList<qsizetype> nameParts; // first, middle, last
        qsizetype groups = -1;
        // Each number's column, its label's column (or -1 and the label itself).
        QList<std::tuple<qsizetype, qsizetype, QString>> phones;
    } columns_;
    bool afterCr_ = false;
    // vCard
    QString logical_;
    bool skipping_ = false;
    bool lineCut_ = false; // the line grew past what is kept: the rest of it is dropped
    bool quotedPrintableSoftBreak_ = false;
    Contact card_;
    QList<std::pair<QString, QString>> cardNumbers_; // label, number
    bool inCard_ = false;
};

// Without control or direction characters, blanks simplified: as a name is shown and sent.
QString cleanName(const QString& name);

} // namespace recipients
