#include "mail/bounce_report.h"

#include <QRegularExpression>

namespace mail {

namespace {

constexpr int kMostParts = 64;
constexpr int kDeepest = 6;
constexpr qsizetype kMostRecipients = 500;

struct Header {
    QByteArray name; // lower case
    QByteArray value;
};

struct Entity {
    QList<Header> headers;
    QByteArray body;

    QByteArray field(const QByteArray& name) const {
        for (const Header& h : headers)
            if (h.name == name)
                return h.value;
        return {};
    }
};

// A header block (up to the first empty line) with folded lines joined, and what follows.
Entity splitEntity(const QByteArray& text) {
    Entity entity;
    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype end = text.indexOf('\n', at);
        if (end < 0)
            end = text.size();
        QByteArray line = text.mid(at, end - at);
        if (line.endsWith('\r'))
            line.chop(1);
        at = end + 1;
        if (line.trimmed().isEmpty())
            break;
        if ((line.startsWith(' ') || line.startsWith('\t')) && !entity.headers.isEmpty()) {
            entity.headers.last().value += ' ' + line.trimmed();
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        entity.headers.append(
            {line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
    }
    entity.body = at < text.size() ? text.mid(at) : QByteArray();
    return entity;
}

// Splits a header block list (delivery-status body) into its blocks.
QList<Entity> headerBlocks(const QByteArray& text) {
    QList<Entity> blocks;
    QByteArray rest = text;
    for (int guard = 0; guard <= kMostRecipients && !rest.trimmed().isEmpty(); ++guard) {
        // Skip blank lines before a block.
        while (rest.startsWith("\r\n") || rest.startsWith('\n'))
            rest = rest.mid(rest.startsWith('\r') ? 2 : 1);
        Entity block = splitEntity(rest);
        rest = block.body;
        block.body.clear();
        if (!block.headers.isEmpty())
            blocks << block;
    }
    return blocks;
}

QByteArray mediaType(const Entity& entity) {
    const QByteArray type = entity.field("content-type");
    const qsizetype semicolon = type.indexOf(';');
    return (semicolon < 0 ? type : type.left(semicolon)).trimmed().toLower();
}

QByteArray parameter(const QByteArray& fieldValue, const QByteArray& name) {
    for (QByteArray part : fieldValue.split(';')) {
        part = part.trimmed();
        const qsizetype equals = part.indexOf('=');
        if (equals < 0 || part.left(equals).trimmed().toLower() != name)
            continue;
        QByteArray value = part.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

QByteArray decodedBody(const Entity& entity) {
    const QByteArray encoding = entity.field("content-transfer-encoding").trimmed().toLower();
    if (encoding == "base64")
        return QByteArray::fromBase64(entity.body);
    if (encoding == "quoted-printable") {
        QByteArray out;
        const QByteArray& in = entity.body;
        for (qsizetype i = 0; i < in.size(); ++i) {
            if (in[i] != '=') {
                out += in[i];
                continue;
            }
            if (i + 1 < in.size() && (in[i + 1] == '\n' || in[i + 1] == '\r')) {
                i += (in[i + 1] == '\r' && i + 2 < in.size() && in[i + 2] == '\n') ? 2 : 1;
                continue;
            }
            bool ok = false;
            const int byte = in.mid(i + 1, 2).toInt(&ok, 16);
            if (ok && i + 2 < in.size()) {
                out += char(byte);
                i += 2;
            } else {
                out += '=';
            }
        }
        return out;
    }
    return entity.body;
}

QList<QByteArray> multipartBodies(const Entity& entity) {
    const QByteArray boundary = parameter(entity.field("content-type"), "boundary");
    QList<QByteArray> parts;
    if (boundary.isEmpty())
        return parts;
    const QByteArray delimiter = "--" + boundary;
    const QByteArray& body = entity.body;
    qsizetype at = body.indexOf(delimiter);
    while (at >= 0 && parts.size() < kMostParts) {
        qsizetype start = body.indexOf('\n', at);
        if (start < 0 || body.mid(at + delimiter.size(), 2) == "--")
            break;
        ++start;
        const qsizetype next = body.indexOf(delimiter, start);
        if (next < 0) {
            parts << body.mid(start);
            break;
        }
        qsizetype end = next;
        if (end > start && body[end - 1] == '\n')
            --end;
        if (end > start && body[end - 1] == '\r')
            --end;
        parts << body.mid(start, end - start);
        at = next;
    }
    return parts;
}

QString cleanAddress(QByteArray value) {
    const qsizetype semicolon = value.indexOf(';');
    if (semicolon >= 0)
        value = value.mid(semicolon + 1);
    value = value.trimmed();
    if (value.startsWith('<') && value.endsWith('>'))
        value = value.mid(1, value.size() - 2).trimmed();
    return QString::fromLatin1(value);
}

QString typedText(const QByteArray& value) {
    const qsizetype semicolon = value.indexOf(';');
    return QString::fromUtf8((semicolon >= 0 ? value.mid(semicolon + 1) : value).trimmed());
}

void addMessageIds(QStringList& ids, const QByteArray& value) {
    static const QRegularExpression id(QStringLiteral("<([^<>\\s]+@[^<>\\s]+)>"));
    auto it = id.globalMatch(QString::fromLatin1(value));
    while (it.hasNext()) {
        const QString found = it.next().captured(1);
        if (!ids.contains(found, Qt::CaseInsensitive))
            ids << found;
    }
}

void readDeliveryStatus(const QByteArray& text, BounceReport& report) {
    const QList<Entity> blocks = headerBlocks(text);
    for (const Entity& block : blocks) {
        addMessageIds(report.messageIds, block.field("x-original-message-id"));
        const QByteArray recipient = block.field("final-recipient").isEmpty()
                                         ? block.field("original-recipient")
                                         : block.field("final-recipient");
        const QByteArray action = block.field("action").trimmed().toLower();
        if (recipient.isEmpty() || (action != "failed" && action != "delayed"))
            continue;
        if (report.recipients.size() >= kMostRecipients)
            return;
        report.recipients.append({cleanAddress(recipient), action == "failed",
                                  QString::fromLatin1(block.field("status").trimmed()),
                                  typedText(block.field("diagnostic-code")),
                                  QString::fromLatin1(block.field("will-retry-until").trimmed())});
    }
}

// A carrier's own words: "RCPT TO: <address>" near an SMTP reply or "Error:" line.
void readPlainBounce(const QByteArray& text, BounceReport& report) {
    static const QRegularExpression rcpt(QStringLiteral("RCPT TO:\\s*<?([^\\s<>]+@[^\\s<>]+)>?"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression reply(QStringLiteral("^\\s*([45]\\d\\d)[ -].*$"),
                                          QRegularExpression::MultilineOption);
    static const QRegularExpression messageId(QStringLiteral("^Message-ID:(.*)$"),
                                              QRegularExpression::MultilineOption |
                                                  QRegularExpression::CaseInsensitiveOption);
    const QString body = QString::fromLatin1(text.left(256 * 1024));
    auto ids = messageId.globalMatch(body);
    while (ids.hasNext())
        addMessageIds(report.messageIds, ids.next().captured(1).toLatin1());
    const auto replyMatch = reply.match(body);
    const QString diagnostic = replyMatch.hasMatch() ? replyMatch.captured(0).trimmed() : QString();
    const bool permanent = !replyMatch.hasMatch() || replyMatch.captured(1).startsWith('5');
    auto it = rcpt.globalMatch(body);
    while (it.hasNext() && report.recipients.size() < kMostRecipients) {
        const QString address = it.next().captured(1);
        bool seen = false;
        for (const RecipientStatus& r : std::as_const(report.recipients))
            seen |= r.address.compare(address, Qt::CaseInsensitive) == 0;
        if (!seen)
            report.recipients.append({address, permanent,
                                      permanent ? QStringLiteral("5.0.0") : QStringLiteral("4.0.0"),
                                      diagnostic, QString()});
    }
}

void walk(const Entity& entity, int depth, int& partsSeen, BounceReport& report,
          QByteArrayList& plainTexts) {
    if (depth > kDeepest || ++partsSeen > kMostParts)
        return;
    const QByteArray type = mediaType(entity);
    if (type.startsWith("multipart/")) {
        for (const QByteArray& part : multipartBodies(entity))
            walk(splitEntity(part), depth + 1, partsSeen, report, plainTexts);
    } else if (type == "message/delivery-status" || type == "message/global-delivery-status") {
        readDeliveryStatus(decodedBody(entity), report);
    } else if (type == "message/rfc822" || type == "text/rfc822-headers") {
        const Entity returned = splitEntity(decodedBody(entity));
        addMessageIds(report.messageIds, returned.field("message-id"));
    } else if (type.isEmpty() || type == "text/plain") {
        plainTexts << decodedBody(entity);
    }
}

} // namespace

BounceReport readBounce(const QByteArray& mail) {
    BounceReport report;
    const Entity top = splitEntity(mail);
    addMessageIds(report.messageIds, top.field("in-reply-to"));
    addMessageIds(report.messageIds, top.field("references"));
    int partsSeen = 0;
    QByteArrayList plainTexts;
    walk(top, 0, partsSeen, report, plainTexts);
    if (report.recipients.isEmpty())
        for (const QByteArray& text : std::as_const(plainTexts))
            readPlainBounce(text, report);
    return report;
}

} // namespace mail
