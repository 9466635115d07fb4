#include "routes/email/mail/mime_message.h"

#include "platform/line_ends.h"

namespace mail {

namespace {
constexpr qsizetype kLongestLine = 998;       // RFC 5322 line limit, without CR LF
constexpr qsizetype kEncodedWordPayload = 45; // bytes; 60 base64 characters a word
constexpr qsizetype kBase64LineLength = 76;

bool hasLineBreakOrNul(const QString& text) {
    for (const QChar c : text)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0))
            return true;
    return false;
}

bool isPlainAscii(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    return true;
}

// Folds a comma-separated field after commas so that no line passes the line limit.
QByteArray foldAtCommas(const QByteArray& name, const QByteArray& value) {
    QByteArray out = name + ": ";
    qsizetype lineLength = out.size();
    const QList<QByteArray> items = value.split(',');
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QByteArray item = items[i] + (i + 1 < items.size() ? "," : "");
        if (lineLength + item.size() > kLongestLine && lineLength > 1) {
            out += "\r\n ";
            lineLength = 1;
        }
        out += item;
        lineLength += item.size();
    }
    return out + "\r\n";
}

QByteArray base64Lines(const QByteArray& data) {
    const QByteArray encoded = data.toBase64();
    QByteArray out;
    for (qsizetype at = 0; at < encoded.size(); at += kBase64LineLength)
        out += encoded.mid(at, kBase64LineLength) + "\r\n";
    return out;
}

QByteArray textPart(const QByteArray& boundary, const char* type, const QByteArray& body) {
    return "--" + boundary + "\r\nContent-Type: " + type +
           "; charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n\r\n" + base64Lines(body);
}

QByteArray domainOf(const QString& address) {
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    const QString domain = at >= 0 ? address.mid(at + 1).trimmed() : QString();
    return domain.isEmpty() ? QByteArray("localhost") : domain.toUtf8();
}
} // namespace

bool isLocalPart(QStringView text) {
    static const QLatin1StringView kSpecials("!#$%&'*+-/=?^_`{|}~");
    if (text.isEmpty() || text.size() > 64 || text.front() == QLatin1Char('.') ||
        text.back() == QLatin1Char('.') || text.contains(QLatin1String("..")))
        return false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool alphanumeric =
            (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9');
        if (!alphanumeric && u != '.' && !kSpecials.contains(c))
            return false;
    }
    return true;
}

bool isDomain(QStringView text) {
    if (text.isEmpty() || text.size() > kLongestAddress - 2)
        return false;
    for (const QStringView label : text.split(QLatin1Char('.'))) {
        if (label.isEmpty() || label.size() > 63 || label.front() == QLatin1Char('-') ||
            label.back() == QLatin1Char('-'))
            return false;
        for (const QChar c : label) {
            const char16_t u = c.unicode();
            if (!((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                  u == '-'))
                return false;
        }
    }
    return true;
}

bool isMailbox(QStringView address) {
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    return at > 0 && address.size() <= kLongestAddress && isLocalPart(address.first(at)) &&
           isDomain(address.sliced(at + 1));
}

QString withCrLfLineEnds(const QString& text) {
    return platform::withLineEnds(text, QLatin1String("\r\n"));
}

std::optional<QString> unsafeMessageReason(const MailMessage& message) {
    if (hasLineBreakOrNul(message.userAddress))
        return QStringLiteral("The user name contains a line break or NUL character.");
    if (hasLineBreakOrNul(message.subject))
        return QStringLiteral("The subject contains a line break or NUL character.");
    if (hasLineBreakOrNul(message.toHeader))
        return QStringLiteral("A recipient address contains a line break or NUL character.");
    for (const QString& recipient : message.recipients)
        if (hasLineBreakOrNul(recipient))
            return QStringLiteral("A recipient address contains a line break or NUL character.");
    if (hasLineBreakOrNul(message.password))
        return QStringLiteral("The password contains a line break or NUL character.");
    if (!isMailbox(message.userAddress))
        return QStringLiteral("The user name does not make a valid e-mail address.");
    for (const QString& recipient : message.recipients)
        if (!isMailbox(recipient))
            return QStringLiteral("A recipient address is not valid: %1").arg(recipient.left(300));
    return std::nullopt;
}

QByteArray encodeSubject(const QString& subject) {
    if (isPlainAscii(subject) && subject.size() + 9 <= kLongestLine)
        return subject.toLatin1();
    QList<QByteArray> words;
    QByteArray chunk;
    const QByteArray utf8 = subject.toUtf8();
    for (qsizetype at = 0; at < utf8.size();) {
        // Keep each multi-byte character whole inside one encoded word.
        qsizetype length = 1;
        while (at + length < utf8.size() && (uchar(utf8[at + length]) & 0xC0) == 0x80)
            ++length;
        if (chunk.size() + length > kEncodedWordPayload) {
            words << chunk;
            chunk.clear();
        }
        chunk += utf8.mid(at, length);
        at += length;
    }
    words << chunk;
    QByteArray out;
    for (qsizetype i = 0; i < words.size(); ++i)
        out += (i ? "\r\n " : "") + ("=?UTF-8?B?" + words[i].toBase64() + "?=");
    return out;
}

QByteArray messageIdOf(const MailMessage& message, const QByteArray& uniqueToken) {
    return uniqueToken + "@" + domainOf(message.userAddress);
}

QByteArray composeMessage(const MailMessage& message, const QDateTime& date,
                          const QByteArray& uniqueToken) {
    const QByteArray user = message.userAddress.toUtf8();
    const QByteArray boundary = "=_part_" + uniqueToken;
    const QByteArray body = withCrLfLineEnds(message.body).toUtf8();
    QByteArray out;
    out += "Date: " + date.toString(Qt::RFC2822Date).toLatin1() + "\r\n";
    out += "Message-ID: <" + messageIdOf(message, uniqueToken) + ">\r\n";
    out += "From: " + user + "\r\n";
    out += foldAtCommas("To", message.toHeader.toUtf8());
    out += "Reply-To: " + user + "\r\n";
    out += "Organization: Organization\r\n";
    out += "Subject: " + encodeSubject(message.subject) + "\r\n";
    out += "MIME-Version: 1.0\r\n";
    out += "Content-Type: multipart/alternative; boundary=\"" + boundary + "\"\r\n\r\n";
    out += textPart(boundary, "text/plain", body);
    out += textPart(boundary, "text/html", body);
    out += "--" + boundary + "--\r\n";
    return out;
}

} // namespace mail
