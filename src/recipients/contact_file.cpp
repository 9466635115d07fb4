#include "recipients/contact_file.h"

#include <QRegularExpression>

namespace recipients {

namespace {

// A field or a vCard line longer than this is no contact: an unbalanced quote, say.
constexpr qsizetype kLongestRecord = 1 << 20;
// How much of the text beyond ASCII decides its encoding.
constexpr qsizetype kDecidingBytes = 4096;

QStringDecoder decoderFor(QByteArrayView start) {
    if (const auto bom = QStringConverter::encodingForData(start))
        return QStringDecoder(*bom);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8(start);
    if (!utf8.hasError())
        return QStringDecoder(QStringDecoder::Utf8);
    QStringDecoder windows("windows-1252"); // what Windows programs export in
    return windows.isValid() ? std::move(windows) : QStringDecoder(QStringDecoder::Latin1);
}

// The first line of `start` as text, without a byte-order mark.
QString firstLine(QByteArrayView start) {
    start = start.first(qMin<qsizetype>(start.size(), 64 * 1024));
    QStringDecoder decode = decoderFor(start);
    QString text = decode(start);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    for (qsizetype end = 0; end < text.size(); ++end)
        if (text[end] == QLatin1Char('\r') || text[end] == QLatin1Char('\n'))
            return text.left(end);
    return text;
}

// The fields of one CSV line, quotes honoured; for telling the header apart only.
QStringList splitLine(const QString& line, QChar delimiter) {
    QStringList fields{QString()};
    bool quoted = false;
    for (const QChar c : line) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (c == delimiter && !quoted)
            fields << QString();
        else
            fields.last() += c;
    }
    for (QString& field : fields)
        field = field.trimmed().toLower();
    return fields;
}

QChar delimiterOf(const QString& header) {
    qsizetype commas = 0;
    qsizetype semicolons = 0;
    bool quoted = false;
    for (const QChar c : header) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char(','))
            ++commas;
        else if (!quoted && c == QLatin1Char(';'))
            ++semicolons;
    }
    return semicolons > commas ? QLatin1Char(';') : QLatin1Char(',');
}

bool isNameHeader(const QString& h) {
    return h.contains(QLatin1String("name")) || h == QLatin1String("nom") ||
           h == QLatin1String("nombre");
}

bool isMobileHeader(const QString& h) {
    return h.contains(QLatin1String("mobile")) || h.contains(QLatin1String("cell")) ||
           h.contains(QLatin1String("handy")) || h.contains(QLatin1String("móvil"));
}

bool isPhoneHeader(const QString& h) {
    return isMobileHeader(h) || h.contains(QLatin1String("phone")) ||
           h.contains(QLatin1String("number")) || h == QLatin1String("tel") ||
           h.contains(QLatin1String("telef")) || h.contains(QLatin1String("teléf"));
}

bool isMobileLabel(const QString& label) {
    const QString l = label.toLower();
    return l.contains(QLatin1String("mobile")) || l.contains(QLatin1String("cell"));
}

QString joined(const QStringList& parts) {
    QStringList kept;
    for (const QString& part : parts)
        if (!part.trimmed().isEmpty())
            kept << part.trimmed();
    return kept.join(QLatin1Char(' '));
}

// The person's number: the mobile one, else the first.
void chooseNumber(Contact& contact, const QList<std::pair<QString, QString>>& numbers) {
    const std::pair<QString, QString>* chosen = nullptr;
    for (const auto& number : numbers)
        if (!number.second.isEmpty() && isMobileLabel(number.first)) {
            chosen = &number;
            break;
        }
    for (const auto& number : numbers)
        if (!chosen && !number.second.isEmpty())
            chosen = &number;
    if (!chosen)
        return;
    contact.number = chosen->second;
    if (contact.number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
        contact.number = contact.number.mid(4).trimmed();
    // Which of several numbers it is; a person's only number needs no word.
    const auto given = std::count_if(numbers.cbegin(), numbers.cend(),
                                     [](const auto& number) { return !number.second.isEmpty(); });
    if (given > 1)
        contact.numberLabel =
            isMobileLabel(chosen->first) ? QStringLiteral("mobile") : chosen->first.toLower();
}

// `value` cut at each `separator` not escaped by a backslash, escapes undone.
QStringList splitEscaped(const QString& value, QChar separator) {
    QStringList parts{QString()};
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == QLatin1Char('\\') && i + 1 < value.size()) {
            const QChar next = value[++i];
            parts.last() += next == QLatin1Char('n') || next == QLatin1Char('N')
                                ? QChar(QLatin1Char('\n'))
                                : next;
        } else if (c == separator) {
            parts << QString();
        } else {
            parts.last() += c;
        }
    }
    return parts;
}

QByteArray fromQuotedPrintable(const QByteArray& text) {
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '=' && i + 2 < text.size()) {
            bool ok = false;
            const int value = text.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                bytes += char(value);
                i += 2;
                continue;
            }
        }
        bytes += text[i];
    }
    return bytes;
}

bool isContinuation(const QString& line) {
    return line.startsWith(QLatin1Char(' ')) || line.startsWith(QLatin1Char('\t'));
}

// A vCard line whose value is no text: a photo, logo, sound or key, skipped unread.
bool isLargeProperty(const QString& line) {
    static const QRegularExpression large(
        QStringLiteral("^(?:[^.:;]+\\.)?(?:PHOTO|LOGO|SOUND|KEY)[;:]"),
        QRegularExpression::CaseInsensitiveOption);
    return large.match(line).hasMatch();
}

} // namespace

QString cleanName(const QString& name) {
    QString clean;
    clean.reserve(name.size());
    for (const QChar c : name) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Other_Format ||
            category == QChar::Separator_Line || category == QChar::Separator_Paragraph)
            clean += QLatin1Char(' ');
        else
            clean += c;
    }
    return clean.simplified();
}

ContactFormat contactFormatOf(QByteArrayView start) {
    const QString line = firstLine(start);
    if (line.trimmed().compare(QLatin1String("BEGIN:VCARD"), Qt::CaseInsensitive) == 0)
        return ContactFormat::VCard;
    const QStringList header = splitLine(line, delimiterOf(line));
    if (header.size() < 2)
        return ContactFormat::Numbers;
    if (header.contains(QLatin1String("phone 1 - value")))
        return ContactFormat::GoogleCsv;
    if (header.contains(QLatin1String("first name")) &&
        header.contains(QLatin1String("mobile phone")))
        return ContactFormat::OutlookCsv;
    const bool named = std::any_of(header.cbegin(), header.cend(), isNameHeader);
    const bool phoned = std::any_of(header.cbegin(), header.cend(), isPhoneHeader);
    return named && phoned ? ContactFormat::Csv : ContactFormat::Numbers;
}

ContactReader::ContactReader(ContactFormat format, qsizetype room) : format_(format), room_(room) {}

void ContactReader::feed(QByteArrayView bytes) {
    if (!problem_.isEmpty() || overflowed())
        return;
    if (!decoder_ && !std::exchange(started_, true))
        if (const auto bom = QStringConverter::encodingForData(bytes))
            decoder_.emplace(*bom);
    if (decoder_) {
        take((*decoder_)(bytes));
        return;
    }
    // Until the first letter beyond ASCII any encoding reads alike; the first few kilobytes
    // from there decide, however the file comes in pieces.
    if (undecided_.isEmpty()) {
        const auto beyond = std::find_if(bytes.begin(), bytes.end(),
                                         [](char b) { return static_cast<uchar>(b) >= 0x80; });
        const qsizetype ascii = beyond - bytes.begin();
        take(QString::fromLatin1(bytes.first(ascii)));
        bytes = bytes.sliced(ascii);
    }
    undecided_ += bytes;
    if (undecided_.size() >= kDecidingBytes)
        decide();
}

void ContactReader::decide() {
    decoder_.emplace(decoderFor(
        QByteArrayView(undecided_).first(qMin<qsizetype>(undecided_.size(), kDecidingBytes))));
    take((*decoder_)(std::exchange(undecided_, {})));
}

void ContactReader::finish() {
    if (!decoder_ && !undecided_.isEmpty() && problem_.isEmpty())
        decide();
    if (!problem_.isEmpty() || overflowed())
        return;
    if (format_ == ContactFormat::VCard) {
        take(QStringLiteral("\n"));
        if (!logical_.isEmpty())
            vcardProperty(std::exchange(logical_, {}));
        if (inCard_ && problem_.isEmpty())
            fail(QStringLiteral("the last card has no END:VCARD"), line_ - 1);
        return;
    }
    if (quoted_) {
        fail(QStringLiteral("a quote opened here is never closed"), recordLine_);
        return;
    }
    if (!delimiter_.isNull() && (!field_.isEmpty() || !record_.isEmpty()))
        endCsvRecord();
}

void ContactReader::fail(const QString& why, int line) {
    problem_ = why;
    problemLine_ = line;
}

void ContactReader::take(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!problem_.isEmpty() || overflowed())
            return;
        if (const qsizetype run = csvRun(QStringView(text).sliced(i)); run > 0) {
            i += run - 1;
            continue;
        }
        const QChar c = text[i];
        if (c == QChar(0xFEFF) && line_ == 1 && field_.isEmpty() && record_.isEmpty())
            continue; // a byte-order mark the decoder kept
        if (format_ == ContactFormat::VCard) {
            if (c == QLatin1Char('\n')) {
                if (field_.endsWith(QLatin1Char('\r')))
                    field_.chop(1);
                lineCut_ = false;
                vcardLine(std::exchange(field_, {}));
            } else if (field_.size() < kLongestRecord) {
                field_ += c;
            } else if (!lineCut_) { // a photo's line: the rest of it goes by unread
                lineCut_ = true;
                if (!isLargeProperty(field_) && !(skipping_ && isContinuation(field_)))
                    fail(QStringLiteral("a line is longer than a contact holds"), line_);
            }
        } else {
            csvCharacter(c);
        }
        if (c == QLatin1Char('\n'))
            ++line_;
    }
}

qsizetype ContactReader::csvRun(QStringView text) {
    // Inside a field, characters that end nothing go in one piece.
    if (format_ == ContactFormat::VCard || delimiter_.isNull() || quoteSeen_ || afterCr_ ||
        (line_ == 1 && field_.isEmpty() && record_.isEmpty()))
        return 0;
    qsizetype end = 0;
    if (quoted_)
        while (end < text.size() && text[end] != QLatin1Char('"') && text[end] != QLatin1Char('\n'))
            ++end;
    else
        while (end < text.size() && text[end] != QLatin1Char('"') && text[end] != delimiter_ &&
               text[end] != QLatin1Char('\r') && text[end] != QLatin1Char('\n'))
            ++end;
    if (end == 0)
        return 0;
    if (record_.isEmpty() && field_.isEmpty() && !quoted_)
        recordLine_ = line_;
    field_ += text.first(end);
    if (field_.size() > kLongestRecord)
        fail(QStringLiteral("a field is longer than a contact holds (a quote never closed?)"),
             recordLine_);
    return end;
}

void ContactReader::csvCharacter(QChar c) {
    if (delimiter_.isNull()) { // the header row tells the delimiter and names the columns
        if ((c == QLatin1Char('\n') || c == QLatin1Char('\r')) && !headerQuoted_) {
            afterCr_ = c == QLatin1Char('\r');
            if (!headerText_.trimmed().isEmpty()) {
                delimiter_ = delimiterOf(headerText_);
                header_ = splitLine(headerText_, delimiter_);
            }
            return;
        }
        if (c == QLatin1Char('"'))
            headerQuoted_ = !headerQuoted_;
        if (headerText_.size() < kLongestRecord)
            headerText_ += c;
        return;
    }
    if (record_.isEmpty() && field_.isEmpty() && !quoted_ && !quoteSeen_ && c != QLatin1Char('\n'))
        recordLine_ = line_;
    const bool afterCr = std::exchange(afterCr_, false);
    if (quoted_) {
        if (c == QLatin1Char('"')) {
            quoted_ = false;
            quoteSeen_ = true;
        } else {
            field_ += c;
        }
    } else if (c == QLatin1Char('"') && quoteSeen_) { // "" inside quotes: one quote
        field_ += c;
        quoted_ = true;
        quoteSeen_ = false;
    } else if (c == QLatin1Char('"') && field_.trimmed().isEmpty()) {
        field_.clear();
        quoted_ = true;
    } else if (c == delimiter_) {
        endCsvField();
    } else if (c == QLatin1Char('\r')) {
        endCsvRecord();
        afterCr_ = true;
    } else if (c == QLatin1Char('\n')) {
        if (!afterCr)
            endCsvRecord();
    } else {
        quoteSeen_ = false;
        field_ += c;
    }
    if (field_.size() > kLongestRecord)
        fail(QStringLiteral("a field is longer than a contact holds (a quote never closed?)"),
             recordLine_);
}

void ContactReader::endCsvField() {
    quoteSeen_ = false;
    record_ << std::exchange(field_, {});
}

void ContactReader::endCsvRecord() {
    endCsvField();
    QStringList values = std::exchange(record_, {});
    if (std::all_of(values.cbegin(), values.cend(),
                    [](const QString& value) { return value.trimmed().isEmpty(); }))
        return;
    csvContact(values);
}

void ContactReader::planColumns() {
    const auto at = [&](const char* name) { return header_.indexOf(QLatin1String(name)); };
    if (format_ == ContactFormat::GoogleCsv) {
        static const QRegularExpression value(QStringLiteral("^phone (\\d+) - value$"));
        columns_.name = at("name");
        for (qsizetype i = 0; i < header_.size(); ++i)
            if (const auto match = value.match(header_[i]); match.hasMatch()) {
                const QString n = match.captured(1);
                qsizetype label = header_.indexOf(QStringLiteral("phone %1 - label").arg(n));
                if (label < 0)
                    label = header_.indexOf(QStringLiteral("phone %1 - type").arg(n));
                columns_.phones.append({i, label, QString()});
            }
        columns_.groups = at("labels") >= 0 ? at("labels") : at("group membership");
    } else {
        for (const char* name : {"name", "full name", "display name"})
            if (columns_.name < 0)
                columns_.name = at(name);
        for (qsizetype i = 0; i < header_.size() && columns_.name < 0; ++i)
            if (isNameHeader(header_[i]) && !header_[i].contains(QLatin1String("first")) &&
                !header_[i].contains(QLatin1String("middle")) &&
                !header_[i].contains(QLatin1String("last")))
                columns_.name = i;
        for (qsizetype i = 0; i < header_.size(); ++i) {
            const QString& h = header_[i];
            const bool phone = format_ == ContactFormat::OutlookCsv
                                   ? h.endsWith(QLatin1String("phone"))
                                   : isPhoneHeader(h);
            if (phone && !h.contains(QLatin1String("fax")))
                columns_.phones.append({i, -1,
                                        isMobileHeader(h)
                                            ? QStringLiteral("mobile")
                                            : QString(h).remove(QLatin1String(" phone"))});
        }
        for (const char* name : {"categories", "category", "labels", "groups", "group", "gruppe"})
            if (columns_.groups < 0)
                columns_.groups = at(name);
    }
    // First, middle and last name where the file splits the name (Google and Outlook do).
    for (const char* part : {"first name", "middle name", "last name"})
        if (at(part) >= 0)
            columns_.nameParts << at(part);
}

void ContactReader::csvContact(const QStringList& values) {
    if (!columns_.planned) {
        planColumns();
        columns_.planned = true;
    }
    const auto value = [&](qsizetype i) { return i >= 0 ? values.value(i).trimmed() : QString(); };
    Contact contact;
    contact.fields = {header_, values};
    QStringList parts;
    for (const qsizetype i : std::as_const(columns_.nameParts))
        parts << value(i);
    contact.name = joined(parts);
    if (contact.name.isEmpty() || format_ == ContactFormat::GoogleCsv)
        if (const QString whole = value(columns_.name); !whole.isEmpty())
            contact.name = whole;
    contact.name = cleanName(contact.name);
    QList<std::pair<QString, QString>> numbers;
    const QString google = QStringLiteral(" ::: ");
    for (const auto& [valueAt, labelAt, fixedLabel] : std::as_const(columns_.phones)) {
        if (labelAt < 0) {
            numbers.append({fixedLabel, value(valueAt)});
            continue;
        }
        const QString label = value(labelAt).remove(QStringLiteral("* "));
        for (const QString& number : value(valueAt).split(google))
            numbers.append({label, number.trimmed()});
    }
    const QString groups = value(columns_.groups);
    const QString separator = groups.contains(google)               ? google
                              : format_ == ContactFormat::GoogleCsv ? google
                              : groups.contains(QLatin1Char(';'))   ? QStringLiteral(";")
                                                                    : QStringLiteral(",");
    for (QString group : groups.split(separator, Qt::SkipEmptyParts)) {
        group = cleanName(group.remove(QStringLiteral("* ")));
        if (!group.isEmpty() && group != QLatin1String("myContacts") &&
            group != QLatin1String("starred") && !contact.groups.contains(group))
            contact.groups << group;
    }
    chooseNumber(contact, numbers);
    if (!contact.number.isEmpty())
        contacts_ << contact;
}

void ContactReader::vcardLine(const QString& line) {
    const bool continues = isContinuation(line);
    if (quotedPrintableSoftBreak_) { // "=" at the end: the value goes on, whatever the line
        quotedPrintableSoftBreak_ = false;
        logical_.chop(1);
        logical_ += line;
    } else if (continues) {
        if (!skipping_)
            logical_ += line.mid(1);
    } else {
        if (!logical_.isEmpty())
            vcardProperty(std::exchange(logical_, {}));
        skipping_ = isLargeProperty(line);
        if (!skipping_)
            logical_ = line;
    }
    if (logical_.size() > kLongestRecord)
        fail(QStringLiteral("a line is longer than a contact holds"), line_);
    quotedPrintableSoftBreak_ =
        !skipping_ && logical_.endsWith(QLatin1Char('=')) &&
        logical_.left(logical_.indexOf(QLatin1Char(':')))
            .contains(QLatin1String("QUOTED-PRINTABLE"), Qt::CaseInsensitive);
}

void ContactReader::vcardProperty(const QString& line) {
    // Name and parameters up to the first colon outside quotes, then the value.
    qsizetype colon = -1;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size() && colon < 0; ++i) {
        if (line[i] == QLatin1Char('"'))
            quoted = !quoted;
        else if (line[i] == QLatin1Char(':') && !quoted)
            colon = i;
    }
    if (colon < 0)
        return;
    QStringList params = line.left(colon).split(QLatin1Char(';'));
    QString name = params.takeFirst().toUpper();
    name = name.mid(name.lastIndexOf(QLatin1Char('.')) + 1); // "item1.TEL"
    QString value = line.mid(colon + 1);
    QStringList types;
    QString charset;
    bool quotedPrintable = false;
    for (const QString& param : std::as_const(params)) {
        const QString key = param.section(QLatin1Char('='), 0, 0).trimmed().toUpper();
        QString values =
            param.contains(QLatin1Char('=')) ? param.section(QLatin1Char('='), 1) : param;
        values.remove(QLatin1Char('"'));
        if (key == QLatin1String("CHARSET"))
            charset = values;
        else if (key == QLatin1String("ENCODING") || key == QLatin1String("QUOTED-PRINTABLE"))
            quotedPrintable |=
                values.compare(QLatin1String("QUOTED-PRINTABLE"), Qt::CaseInsensitive) == 0;
        else if (key == QLatin1String("TYPE") || !param.contains(QLatin1Char('=')))
            types += values.toLower().split(QLatin1Char(','), Qt::SkipEmptyParts);
    }
    if (quotedPrintable) {
        const QByteArray bytes = fromQuotedPrintable(value.toLatin1());
        auto decode = QStringDecoder(charset.isEmpty() ? "UTF-8" : charset.toLatin1().constData());
        value = decode.isValid() ? decode(bytes) : QString::fromUtf8(bytes);
    }
    if (name == QLatin1String("BEGIN")) {
        card_ = {};
        cardNumbers_.clear();
        inCard_ = true;
    } else if (!inCard_) {
        return;
    } else if (name == QLatin1String("END")) {
        inCard_ = false;
        if (card_.name.isEmpty())
            card_.name = cleanName(joined({card_.fields.value(QStringLiteral("first name")),
                                           card_.fields.value(QStringLiteral("last name"))}));
        card_.fields.insert(QStringLiteral("name"), card_.name);
        chooseNumber(card_, cardNumbers_);
        if (!card_.number.isEmpty())
            contacts_ << std::exchange(card_, {});
    } else if (name == QLatin1String("FN")) {
        card_.name = cleanName(splitEscaped(value, QChar()).join(QString()));
    } else if (name == QLatin1String("N")) {
        const QStringList parts = splitEscaped(value, QLatin1Char(';'));
        card_.fields.insert(QStringLiteral("last name"), cleanName(parts.value(0)));
        card_.fields.insert(QStringLiteral("first name"), cleanName(parts.value(1)));
    } else if (name == QLatin1String("TEL")) {
        const QString number = value.trimmed();
        QString label;
        for (const QString& type : std::as_const(types))
            if (isMobileLabel(type))
                label = QStringLiteral("mobile");
        for (const QString& type : std::as_const(types))
            if (label.isEmpty() && type != QLatin1String("voice") && type != QLatin1String("pref"))
                label = type;
        cardNumbers_.append({label, number});
    } else if (name == QLatin1String("CATEGORIES")) {
        for (const QString& group : splitEscaped(value, QLatin1Char(',')))
            if (const QString clean = cleanName(group);
                !clean.isEmpty() && !card_.groups.contains(clean))
                card_.groups << clean;
    }
}

} // namespace recipients
