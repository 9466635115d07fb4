#include "routes/email/mail/imap_protocol.h"

namespace mail {

namespace {
constexpr qsizetype kNoLiteral = -1;
constexpr qsizetype kBrokenLiteral = -2;

// The size of the literal announced at the end of a line ("{123}" or "{123+}"); kNoLiteral
// when the line announces none, kBrokenLiteral when its size is no size ("{-1}", 20 digits).
qsizetype literalSize(QByteArrayView line) {
    if (!line.endsWith('}'))
        return kNoLiteral;
    const qsizetype open = line.lastIndexOf('{');
    if (open < 0)
        return kNoLiteral;
    QByteArrayView digits = line.sliced(open + 1, line.size() - open - 2);
    if (digits.endsWith('+'))
        digits.chop(1);
    if (digits.isEmpty() || digits.size() > 18)
        return kBrokenLiteral;
    qsizetype size = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return kBrokenLiteral;
        size = size * 10 + (c - '0');
    }
    return size;
}

// A status response ("* OK ...", "a1 NO ...", "* BYE ...") or a continuation: its text is
// plain words, where a "{5}" is no literal.
bool isStatusLine(QByteArrayView line) {
    if (line.startsWith('+'))
        return true;
    const qsizetype space = line.indexOf(' ');
    if (space < 0)
        return false;
    const QByteArray word = line.sliced(space + 1).toByteArray().split(' ').first().toUpper();
    return word == "OK" || word == "NO" || word == "BAD" || word == "BYE" || word == "PREAUTH";
}
} // namespace

QByteArray ImapResponse::status() const {
    const QByteArrayList words = line.split(' ');
    return words.value(1).toUpper();
}

std::optional<ImapResponse> ImapResponseReader::fail() {
    broken_ = true;
    return std::nullopt;
}

std::optional<ImapResponse> ImapResponseReader::take(QByteArray& buffer) {
    if (broken_)
        return std::nullopt;
    for (;;) {
        if (literal_ >= 0) {
            if (buffer.size() - lineStart_ < literal_)
                return std::nullopt;
            partial_.literals << buffer.mid(lineStart_, literal_);
            lineStart_ = scanned_ = lineStart_ + literal_;
            literal_ = -1;
            continue;
        }
        const qsizetype end = buffer.indexOf("\r\n", qMax(scanned_, lineStart_));
        if (end < 0) {
            // A CR at the end may be the first half of the line's end.
            scanned_ = qMax(lineStart_, buffer.size() - 1);
            if (buffer.size() - lineStart_ > kLongestImapLine || buffer.size() > kLongestResponse)
                return fail();
            return std::nullopt;
        }
        if (end - lineStart_ > kLongestImapLine)
            return fail();
        const QByteArrayView line = QByteArrayView(buffer).sliced(lineStart_, end - lineStart_);
        const qsizetype size =
            partial_.line.isEmpty() && isStatusLine(line) ? kNoLiteral : literalSize(line);
        partial_.line += line;
        lineStart_ = scanned_ = end + 2;
        if (size == kBrokenLiteral)
            return fail();
        if (size == kNoLiteral) {
            buffer.remove(0, lineStart_);
            taken_ += lineStart_;
            lineStart_ = scanned_ = 0;
            return std::exchange(partial_, {});
        }
        if (size > kLongestLiteral || lineStart_ + size > kLongestResponse)
            return fail();
        literal_ = size;
    }
}

namespace {
struct FetchToken {
    enum Kind { Atom, Quoted, Literal } kind;
    QByteArray text; // the atom, or the quoted string's value
    qsizetype literal = -1;
};

// The tokens of a response line whose literals stand as "{n}" marks: atoms (brackets kept
// whole, "BODY[HEADER.FIELDS (FROM)]"), quoted strings and the literals by their index.
QList<FetchToken> fetchTokens(const QByteArray& line) {
    QList<FetchToken> tokens;
    qsizetype literals = 0;
    for (qsizetype i = 0; i < line.size();) {
        const char c = line[i];
        if (c == ' ' || c == '(' || c == ')') {
            ++i;
        } else if (c == '"') {
            QByteArray value;
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size())
                    ++i;
                value += line[i];
            }
            ++i;
            tokens.append({FetchToken::Quoted, value});
        } else if (c == '{') {
            const qsizetype close = line.indexOf('}', i);
            if (close < 0)
                break;
            tokens.append({FetchToken::Literal, {}, literals++});
            i = close + 1;
        } else {
            const qsizetype start = i;
            int depth = 0;
            for (; i < line.size(); ++i) {
                const char d = line[i];
                if (d == '[')
                    ++depth;
                else if (d == ']')
                    --depth;
                else if (depth <= 0 && (d == ' ' || d == '(' || d == ')' || d == '{' || d == '"'))
                    break;
            }
            tokens.append({FetchToken::Atom, line.mid(start, i - start)});
        }
    }
    return tokens;
}
} // namespace

std::optional<QByteArray> fetchedBody(const ImapResponse& response) {
    const QList<FetchToken> tokens = fetchTokens(response.line);
    for (qsizetype i = 0; i + 1 < tokens.size(); ++i) {
        const QByteArray name = tokens[i].text.toUpper();
        if (tokens[i].kind != FetchToken::Atom ||
            !(name == "BODY[]" || (name.startsWith("BODY[]<") && name.endsWith('>'))))
            continue;
        const FetchToken& value = tokens[i + 1];
        if (value.kind == FetchToken::Literal && value.literal < response.literals.size())
            return response.literals[value.literal];
        if (value.kind == FetchToken::Quoted)
            return value.text;
        return std::nullopt;
    }
    return std::nullopt;
}

QList<quint32> searchResults(const ImapResponse& response) {
    QList<quint32> uids;
    if (!response.line.toUpper().startsWith("* SEARCH"))
        return uids;
    for (const QByteArray& word : response.line.mid(8).split(' ')) {
        bool ok = false;
        const quint32 uid = word.toUInt(&ok);
        if (ok && uid > 0)
            uids << uid;
    }
    return uids;
}

std::optional<QByteArray> listedMailbox(const ImapResponse& response, const QByteArray& attribute) {
    const QByteArray& line = response.line;
    if (!line.toUpper().startsWith("* LIST ("))
        return std::nullopt;
    const qsizetype close = line.indexOf(')');
    if (close < 0 || !line.mid(8, close - 8).toLower().split(' ').contains(attribute.toLower()))
        return std::nullopt;
    // After the attributes: the delimiter (quoted or NIL), then the name.
    QByteArray rest = line.mid(close + 1).trimmed();
    if (rest.startsWith('"')) {
        const qsizetype end = rest.indexOf('"', 1 + (rest.mid(1, 1) == "\\" ? 2 : 0));
        rest = rest.mid(end + 1).trimmed();
    } else {
        rest = rest.mid(rest.indexOf(' ') + 1).trimmed();
    }
    // A name that holds a line break or NUL could not be sent back as one command.
    const auto sendable = [](const QByteArray& name) -> std::optional<QByteArray> {
        if (name.contains('\r') || name.contains('\n') || name.contains('\0'))
            return std::nullopt;
        return name;
    };
    if (rest.startsWith('"') && rest.endsWith('"') && rest.size() >= 2) {
        QByteArray name;
        for (qsizetype i = 1; i + 1 < rest.size(); ++i) {
            if (rest[i] == '\\' && i + 2 < rest.size())
                ++i;
            name += rest[i];
        }
        return sendable(name);
    }
    if (rest.startsWith('{') && rest.endsWith('}') && !response.literals.isEmpty())
        return sendable(response.literals.last());
    if (rest.isEmpty() || rest.contains(' ') || rest.startsWith('{'))
        return std::nullopt;
    return rest;
}

QByteArray imapQuoted(const QByteArray& text) {
    QByteArray out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

QByteArray imapDate(const QDate& date) {
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return QByteArray::number(date.day()) + '-' + months[date.month() - 1] + '-' +
           QByteArray::number(date.year());
}

} // namespace mail
