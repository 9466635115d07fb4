#include "mail/imap_protocol.h"

namespace mail {

namespace {
constexpr qsizetype kLongestLine = 64 * 1024;

// The size of the literal announced at the end of a line: "{123}" or "{123+}".
std::optional<qsizetype> literalSize(const QByteArray& line) {
    if (!line.endsWith('}'))
        return std::nullopt;
    const qsizetype open = line.lastIndexOf('{');
    if (open < 0)
        return std::nullopt;
    QByteArray digits = line.mid(open + 1, line.size() - open - 2);
    if (digits.endsWith('+'))
        digits.chop(1);
    bool ok = false;
    const qsizetype size = digits.toLongLong(&ok);
    if (!ok || size < 0 || digits.isEmpty())
        return std::nullopt;
    return size;
}
} // namespace

QByteArray ImapResponse::status() const {
    const QByteArrayList words = line.split(' ');
    return words.value(1).toUpper();
}

std::optional<ImapResponse> takeImapResponse(QByteArray& buffer, bool& broken) {
    ImapResponse response;
    qsizetype at = 0;
    for (;;) {
        const qsizetype end = buffer.indexOf("\r\n", at);
        if (end < 0) {
            if (buffer.size() - at > kLongestLine)
                broken = true;
            return std::nullopt;
        }
        if (end - at > kLongestLine) {
            broken = true;
            return std::nullopt;
        }
        const QByteArray line = buffer.mid(at, end - at);
        response.line += line;
        at = end + 2;
        const auto size = literalSize(line);
        if (!size)
            break;
        if (*size > kLongestLiteral) {
            broken = true;
            return std::nullopt;
        }
        if (buffer.size() - at < *size)
            return std::nullopt;
        response.literals << buffer.mid(at, *size);
        at += *size;
    }
    buffer.remove(0, at);
    return response;
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
    if (rest.startsWith('"') && rest.endsWith('"') && rest.size() >= 2) {
        QByteArray name;
        for (qsizetype i = 1; i + 1 < rest.size(); ++i) {
            if (rest[i] == '\\' && i + 2 < rest.size())
                ++i;
            name += rest[i];
        }
        return name;
    }
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
