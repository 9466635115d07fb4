#include "routes/email/net/bounce_reader.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <mutex>

// GLib names a member "signals", which Qt defines as a keyword.
#undef signals
#include <gmime/gmime.h>

namespace mail {

namespace {

constexpr int kMostParts = 64;
constexpr int kDeepest = 6;
constexpr qsizetype kMostRecipients = 500;
constexpr qsizetype kLongestText = 256 * 1024;
constexpr qsizetype kLongestDiagnostic = 300;

// --- Lines and fields ---------------------------------------------------------------------

QByteArrayList linesOf(const QByteArray& text) {
    QByteArrayList lines = text.left(kLongestText).split('\n');
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

// A parameter that some mail systems put on a line of its own, without the indent of a
// folded line ("boundary=..." after "Content-Type: multipart/report;").
bool isBareParameter(const QByteArray& line) {
    static const QRegularExpression parameter(
        QStringLiteral("^[A-Za-z][A-Za-z0-9_-]*\\*?\\d*\\*?="));
    return parameter.match(QString::fromLatin1(line.left(80))).hasMatch();
}

// The mail with such parameter lines indented, so that they continue their field.
QByteArray withParametersFolded(const QByteArray& mail) {
    QByteArray out;
    out.reserve(mail.size() + 16);
    qsizetype at = 0;
    bool afterSemicolon = false;
    while (at < mail.size()) {
        qsizetype end = mail.indexOf('\n', at);
        end = end < 0 ? mail.size() : end + 1;
        const QByteArrayView line = QByteArrayView(mail).sliced(at, end - at);
        if (afterSemicolon && isBareParameter(line.toByteArray()))
            out += ' ';
        out += line;
        afterSemicolon = line.trimmed().endsWith(';');
        at = end;
    }
    return out;
}

struct Field {
    QByteArray name; // lower case
    QByteArray value;
};
using Fields = QList<Field>;

QByteArray fieldOf(const Fields& fields, const QByteArray& name) {
    for (const Field& f : fields)
        if (f.name == name)
            return f.value;
    return {};
}

bool hasField(const Fields& fields, const QByteArray& name) {
    return std::any_of(fields.begin(), fields.end(),
                       [&](const Field& f) { return f.name == name; });
}

// The per-recipient groups of a delivery-status body. Folded lines continue their field, and
// so does a line without a colon; a recipient field where the group already has one starts
// the next group even without a blank line between them.
QList<Fields> statusGroups(const QByteArray& text) {
    QList<Fields> groups{{}};
    for (const QByteArray& line : linesOf(text)) {
        if (line.trimmed().isEmpty()) {
            if (!groups.last().isEmpty())
                groups.append(Fields());
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        const bool continues = line.startsWith(' ') || line.startsWith('\t') || colon <= 0 ||
                               line.left(colon).contains(' ');
        if (continues) {
            if (!groups.last().isEmpty())
                groups.last().last().value += ' ' + line.trimmed();
            continue;
        }
        const QByteArray name = line.left(colon).trimmed().toLower();
        const Fields& group = groups.last();
        // Fields come in any order (some systems write Action first); a second recipient
        // field is what begins the next recipient.
        if ((name == "final-recipient" && hasField(group, name)) ||
            (name == "original-recipient" &&
             (hasField(group, name) || hasField(group, "final-recipient"))))
            groups.append(Fields());
        groups.last().append({name, line.mid(colon + 1).trimmed()});
        if (groups.size() > kMostRecipients + 1)
            break;
    }
    return groups;
}

// --- Addresses, statuses, Message-IDs ------------------------------------------------------

// "rfc822; <a@b>" or "a@b>" as the address it names.
QString addressOf(QByteArray value) {
    const qsizetype semicolon = value.indexOf(';');
    if (semicolon >= 0)
        value = value.mid(semicolon + 1);
    value = value.trimmed();
    while (value.startsWith('<') || value.startsWith('"'))
        value = value.mid(1).trimmed();
    while (value.endsWith('>') || value.endsWith('"') || value.endsWith('.') || value.endsWith(','))
        value.chop(1);
    return QString::fromLatin1(value.trimmed());
}

bool isPlainMailbox(const QString& address) {
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    return at > 0 && at < address.size() - 1 && !address.startsWith(QLatin1Char('|')) &&
           !address.startsWith(QLatin1Char('/')) && !address.startsWith(QLatin1Char('@')) &&
           !address.contains(QLatin1Char(' ')) && !address.contains(QLatin1Char(':'));
}

// The enhanced status code in a text ("5.1.1"), or nothing.
QString enhancedStatusIn(const QString& text) {
    static const QRegularExpression status(
        QStringLiteral("(?<![\\d.])([245]\\.\\d{1,3}\\.\\d{1,3})(?![\\d.])"));
    return status.match(text).captured(1);
}

// The SMTP reply code in a text ("550"), or nothing.
QString replyCodeIn(const QString& text) {
    static const QRegularExpression code(QStringLiteral("(?<![\\d.])([45]\\d\\d)(?=[ -]|$)"));
    return code.match(text).captured(1);
}

void addMessageIds(QStringList& ids, const QString& value) {
    static const QRegularExpression id(QStringLiteral("<([^<>\\s]+@[^<>\\s]+)>"));
    auto it = id.globalMatch(value);
    while (it.hasNext()) {
        ids << it.next().captured(1); // duplicates go once the whole mail is read
    }
}

// Message-ID lines anywhere in a text: the returned message's headers, quoted or not.
void addMessageIdLines(QStringList& ids, const QByteArray& text) {
    static const QRegularExpression line(QStringLiteral("^[\\s>]*Message-ID:\\s*(<[^<>\\s]+>)"),
                                         QRegularExpression::MultilineOption |
                                             QRegularExpression::CaseInsensitiveOption);
    auto it = line.globalMatch(QString::fromLatin1(text.left(kLongestText)));
    while (it.hasNext())
        addMessageIds(ids, it.next().captured(1));
}

QString cleanText(const QByteArray& value) {
    const qsizetype semicolon = value.indexOf(';');
    const QByteArray text = semicolon >= 0 && semicolon < 12 ? value.mid(semicolon + 1) : value;
    return QString::fromUtf8(text.simplified().left(kLongestDiagnostic));
}

// A report as it is read, with the addresses it names already (lower case), so that each
// address is looked up once.
struct Reading {
    BounceReport report;
    QSet<QString> named;

    bool full() const { return report.recipients.size() >= kMostRecipients; }
    bool names(const QString& address) const { return named.contains(address.toLower()); }
};

void addRecipient(Reading& reading, RecipientStatus status) {
    if (reading.full() || reading.names(status.address))
        return;
    reading.named.insert(status.address.toLower());
    reading.report.recipients.append(std::move(status));
}

// The status of a recipient: the report's own when it is specific, otherwise the
// diagnostic's, otherwise the class that the action or the reply code gives.
QString statusFor(const QString& reported, const QString& diagnostic, bool failed) {
    const QString own = enhancedStatusIn(reported);
    if (!own.isEmpty() && !own.endsWith(QLatin1String(".0.0")))
        return own;
    const QString told = enhancedStatusIn(diagnostic);
    if (!told.isEmpty() && told.front() == (failed ? QLatin1Char('5') : QLatin1Char('4')))
        return told;
    if (!own.isEmpty())
        return own;
    return failed ? QStringLiteral("5.0.0") : QStringLiteral("4.0.0");
}

// --- RFC 3464 reports -----------------------------------------------------------------------

void readDeliveryStatus(const QByteArray& text, Reading& reading) {
    for (const Fields& group : statusGroups(text)) {
        addMessageIds(reading.report.messageIds,
                      QString::fromLatin1(fieldOf(group, "x-original-message-id")));
        const QByteArray action = fieldOf(group, "action").trimmed().toLower().split(' ').value(0);
        QString address = addressOf(fieldOf(group, "final-recipient"));
        const QString original = addressOf(fieldOf(group, "original-recipient"));
        if (!isPlainMailbox(address))
            address = original;
        if (!isPlainMailbox(address))
            continue;
        // A success (delivered, relayed, expanded, deliverable, or any 2.x.x status) is never a
        // failure, and the report's text cannot make it one.
        static const QByteArrayList successes{"delivered", "relayed", "expanded", "deliverable"};
        if (successes.contains(action) || fieldOf(group, "status").trimmed().startsWith("2.")) {
            reading.named.insert(address.toLower());
            continue;
        }
        if (action != "failed" && action != "delayed")
            continue;
        const bool failed = action == "failed";
        const QString diagnostic = cleanText(fieldOf(group, "diagnostic-code"));
        addRecipient(reading,
                     {address, failed,
                      statusFor(QString::fromLatin1(fieldOf(group, "status")), diagnostic, failed),
                      diagnostic,
                      QString::fromLatin1(fieldOf(group, "will-retry-until").trimmed())});
    }
}

// --- Plain-text bounces ----------------------------------------------------------------------

// Where a returned copy of the message begins in a plain-text bounce: its addresses are the
// message's own, not the refused ones.
qsizetype returnedCopyStart(const QByteArrayList& lines) {
    static const QRegularExpression marker(
        QStringLiteral("^\\s*-*\\s*(this is a copy of|original message|below this line is a copy|"
                       "the (original )?message (headers? )?follows?|returned message|"
                       "message headers follow|the header of the original message|"
                       "original message headers|unsent message below)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression header(
        QStringLiteral("^(Received|Return-Path|DKIM-Signature|X-Google-DKIM-Signature|"
                       "Authentication-Results|MIME-Version|X-Received):"),
        QRegularExpression::CaseInsensitiveOption);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromLatin1(lines[i]);
        if (marker.match(line).hasMatch() || header.match(line).hasMatch())
            return i;
    }
    return lines.size();
}

struct PlainNote {
    QString code;       // the SMTP reply code given for the address, if any
    QString status;     // its enhanced status, if any
    QString diagnostic; // the line that gave them
};

const QRegularExpression& addressPattern() {
    static const QRegularExpression address(QStringLiteral(
        "[A-Za-z0-9.!#$%&'*+/=?^_`{|}~-]+@[A-Za-z0-9](?:[A-Za-z0-9.-]*[A-Za-z0-9])?"));
    return address;
}

// The first line before `end` on which each address stands (by its lower-case form): one pass
// over the text, so that what the text says of every address is found without searching.
QHash<QString, qsizetype> firstLines(const QByteArrayList& lines, qsizetype end) {
    QHash<QString, qsizetype> first;
    for (qsizetype i = 0; i < end; ++i) {
        auto it = addressPattern().globalMatch(QString::fromLatin1(lines[i]));
        while (it.hasNext())
            first.insert(it.next().captured(0).toLower(), i); // keeps an earlier line
    }
    return first;
}

// What the text says of an address whose first line is `i`: a reply code or enhanced status
// on that line, on the few lines that follow it or, failing those, on the few before it (some
// carriers give the reply first), never past a line that names another address.
PlainNote noteFor(const QString& address, const QByteArrayList& lines, qsizetype i, qsizetype end) {
    static const QRegularExpression anyAddress(QStringLiteral("[^\\s<>\"]+@[^\\s<>\"]+"));
    const auto noteOn = [&](qsizetype j) -> std::optional<PlainNote> {
        const QString near = QString::fromLatin1(lines[j]).simplified();
        QString rest = near;
        rest.remove(address, Qt::CaseInsensitive);
        if (anyAddress.match(rest).hasMatch())
            return PlainNote{}; // another address: what stands there is its own
        const QString code = replyCodeIn(rest);
        const QString status = enhancedStatusIn(rest);
        if (code.isEmpty() && status.isEmpty())
            return std::nullopt;
        return PlainNote{code, status, near.left(kLongestDiagnostic)};
    };
    if (i < 0 || i >= end)
        return {};
    for (qsizetype j = i; j < qMin(end, i + 5); ++j) {
        const auto note = noteOn(j);
        if (note && !note->diagnostic.isEmpty())
            return *note;
        if (note && j > i)
            break;
    }
    for (qsizetype j = i - 1; j >= qMax<qsizetype>(0, i - 4); --j)
        if (const auto note = noteOn(j))
            return *note;
    return {};
}

RecipientStatus plainStatus(const QString& address, const PlainNote& note) {
    const bool failed = note.code.isEmpty() ? !note.status.startsWith(QLatin1Char('4'))
                                            : note.code.startsWith(QLatin1Char('5'));
    return {address, failed, statusFor(note.status, note.diagnostic, failed), note.diagnostic, {}};
}

// The addresses a plain-text bounce names before its returned copy, each with what the text
// says of it.
void readPlainBounce(const QByteArray& text, Reading& reading) {
    const QByteArrayList lines = linesOf(text);
    const qsizetype end = returnedCopyStart(lines);
    for (qsizetype i = 0; i < end && !reading.full(); ++i) {
        auto it = addressPattern().globalMatch(QString::fromLatin1(lines[i]));
        while (it.hasNext() && !reading.full()) {
            const QString found = it.next().captured(0);
            if (!reading.names(found)) // its first line is this one
                addRecipient(reading, plainStatus(found, noteFor(found, lines, i, end)));
        }
    }
}

// --- The MIME structure -----------------------------------------------------------------------

void initialiseMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

QByteArray mimeTypeOf(GMimeObject* object) {
    char* type = g_mime_content_type_get_mime_type(g_mime_object_get_content_type(object));
    const QByteArray text = QByteArray(type).toLower();
    g_free(type);
    return text;
}

QByteArray decodedContent(GMimePart* part) {
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content)
        return {};
    GMimeStream* memory = g_mime_stream_mem_new();
    g_mime_data_wrapper_write_to_stream(content, memory);
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory));
    const QByteArray text(reinterpret_cast<const char*>(bytes->data),
                          qMin<qsizetype>(bytes->len, kLongestText));
    g_object_unref(memory);
    return text;
}

QByteArray wholeText(GMimeObject* object) {
    char* text = g_mime_object_to_string(object, nullptr);
    const QByteArray copy = QByteArray(text).left(kLongestText);
    g_free(text);
    return copy;
}

struct Walk {
    Reading& reading;
    QByteArrayList texts; // the plain-text parts, decoded
    int parts = 0;
};

void walk(GMimeObject* object, int depth, Walk& w) {
    if (!object || depth > kDeepest || ++w.parts > kMostParts)
        return;
    const QByteArray type = mimeTypeOf(object);
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(object);
        const int count = g_mime_multipart_get_count(multipart);
        if (count == 0) { // parts that could not be split: their text is still read
            w.texts << QByteArray(g_mime_multipart_get_prologue(multipart));
            addMessageIdLines(w.reading.report.messageIds, w.texts.last());
        }
        for (int i = 0; i < count; ++i)
            walk(g_mime_multipart_get_part(multipart, i), depth + 1, w);
    } else if (GMIME_IS_MESSAGE_PART(object)) {
        // The returned message: its own Message-ID, wherever its headers stand.
        GMimeMessage* returned = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
        if (!returned)
            return;
        if (const char* id = g_mime_message_get_message_id(returned))
            addMessageIds(w.reading.report.messageIds,
                          QStringLiteral("<%1>").arg(QString::fromLatin1(id)));
        addMessageIdLines(w.reading.report.messageIds, wholeText(GMIME_OBJECT(returned)));
    } else if (GMIME_IS_PART(object)) {
        const QByteArray text = decodedContent(GMIME_PART(object));
        if (type == "message/delivery-status" || type == "message/global-delivery-status")
            readDeliveryStatus(text, w.reading);
        else if (type == "text/rfc822-headers" || type == "message/rfc822-headers")
            addMessageIdLines(w.reading.report.messageIds, text);
        else if (type == "text/plain" || type.isEmpty()) {
            w.texts << text;
            addMessageIdLines(w.reading.report.messageIds, text);
        }
    }
}

// A carrier's report that quotes the original's To, Subject and Date after its text ("Message
// could not be delivered to mobile ..."): the quoted To failed, and the quote ties it to a send.
void readQuotedOriginal(const QByteArrayList& lines, qsizetype start, Reading& reading) {
    QString to;
    QString subject;
    QString date;
    bool subjectSeen = false;
    for (qsizetype i = start; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]).trimmed();
        if (to.isEmpty() && line.startsWith(QLatin1String("To:"), Qt::CaseInsensitive))
            to = addressOf(lines[i].trimmed().mid(3));
        else if (!subjectSeen && line.startsWith(QLatin1String("Subject:"), Qt::CaseInsensitive))
            subject = line.mid(8).trimmed(), subjectSeen = true;
        else if (date.isEmpty() && line.startsWith(QLatin1String("Date:"), Qt::CaseInsensitive))
            date = line.mid(5).trimmed();
    }
    const QDateTime when = QDateTime::fromString(date, Qt::RFC2822Date);
    if (!isPlainMailbox(to) || !subjectSeen || !when.isValid())
        return;
    QString said;
    for (qsizetype i = 0; i < qMin(start, lines.size()) && said.isEmpty(); ++i)
        said = cleanText(lines[i]);
    reading.report.quotedTo = to;
    reading.report.quotedSubject = subject;
    reading.report.quotedDate = when.toUTC();
    addRecipient(reading, {to, true, QStringLiteral("5.0.0"), said, {}});
}

// Only a mail that says it reports a failure or delay has its plain text read for addresses.
bool looksLikeBounce(GMimeMessage* message) {
    static const QRegularExpression sender(QStringLiteral("mailer-daemon|postmaster|post_master|"
                                                          "mail delivery|mailer_daemon"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression subject(
        QStringLiteral("undeliver|not (be )?delivered|delivery (status notification \\((failure|"
                       "delay)|failure|has failed|problem|incomplete)|failure notice|"
                       "returned mail|mail delivery failed|delayed mail|could not be delivered|"
                       "non.?delivery|rejected|failed"),
        QRegularExpression::CaseInsensitiveOption);
    const GMimeObject* object = GMIME_OBJECT(message);
    const char* from = g_mime_object_get_header(const_cast<GMimeObject*>(object), "From");
    const char* title = g_mime_object_get_header(const_cast<GMimeObject*>(object), "Subject");
    return sender.match(QString::fromUtf8(from ? from : "")).hasMatch() ||
           subject.match(QString::fromUtf8(title ? title : "")).hasMatch();
}

// The Message-IDs once each, in the order first named, whatever their letter case.
QStringList withoutRepeats(const QStringList& ids) {
    QStringList once;
    QSet<QString> seen;
    for (const QString& id : ids)
        if (!seen.contains(id.toLower())) {
            seen.insert(id.toLower());
            once << id;
        }
    return once;
}

} // namespace

namespace {

// The authserv-id Gmail's receiving servers write in the Authentication-Results they add.
const QString kGmailServer = QStringLiteral("mx.google.com");

QString domainOf(const QString& address) {
    return address.mid(address.lastIndexOf(QLatin1Char('@')) + 1).toLower();
}

// One domain in line with the other: the same, or one a subdomain of the other.
bool aligned(const QString& domain, const QString& fromDomain) {
    return !domain.isEmpty() &&
           (domain == fromDomain || fromDomain.endsWith(QLatin1Char('.') + domain) ||
            domain.endsWith(QLatin1Char('.') + fromDomain));
}

// Whether the topmost Authentication-Results, Gmail's own, shows `fromDomain` passing: DKIM
// signed by that domain, DMARC passing for it, or SPF passing for an envelope sender in it.
// Results lower down, or under another server's id, can be written by the sender itself.
bool gmailVouchesFor(GMimeMessage* message, const QString& fromDomain) {
    GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(message));
    QString results;
    for (int i = 0; headers && i < g_mime_header_list_get_count(headers); ++i) {
        GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
        if (g_ascii_strcasecmp(g_mime_header_get_name(header), "Authentication-Results") == 0) {
            const char* value = g_mime_header_get_value(header);
            results = QString::fromUtf8(value ? value : "");
            break;
        }
    }
    static const QRegularExpression comment(QStringLiteral("\\([^()]*\\)"));
    results.remove(comment);
    const QStringList parts = results.split(QLatin1Char(';'));
    if (fromDomain.isEmpty() || parts.first()
                                        .simplified()
                                        .section(QLatin1Char(' '), 0, 0)
                                        .compare(kGmailServer, Qt::CaseInsensitive) != 0)
        return false;
    for (const QString& part : parts.mid(1)) {
        const QStringList words = part.simplified().toLower().split(QLatin1Char(' '));
        const auto property = [&](const QString& name) {
            for (const QString& word : words)
                if (word.startsWith(name + QLatin1Char('=')))
                    return domainOf(word.mid(name.size() + 1).remove(QLatin1Char('"')));
            return QString();
        };
        const QString method = words.first();
        if ((method == QLatin1String("dkim=pass") &&
             (aligned(property(QStringLiteral("header.d")), fromDomain) ||
              aligned(property(QStringLiteral("header.i")), fromDomain))) ||
            (method == QLatin1String("dmarc=pass") &&
             aligned(property(QStringLiteral("header.from")), fromDomain)) ||
            (method == QLatin1String("spf=pass") &&
             aligned(property(QStringLiteral("smtp.mailfrom")), fromDomain)))
            return true;
    }
    return false;
}

// The address of the mail's first From mailbox, or nothing.
QString senderOf(GMimeMessage* message) {
    InternetAddressList* from = g_mime_message_get_from(message);
    InternetAddress* first = from && internet_address_list_length(from) > 0
                                 ? internet_address_list_get_address(from, 0)
                                 : nullptr;
    return first && INTERNET_ADDRESS_IS_MAILBOX(first)
               ? QString::fromUtf8(
                     internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(first)))
               : QString();
}

// The mail parsed by GMime (the caller unrefs it), or null when it is no message.
GMimeMessage* parsedMessage(const QByteArray& mail) {
    initialiseMime();
    const QByteArray repaired = withParametersFolded(mail.left(kLongestText));
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(repaired.constData(), repaired.size());
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
    g_object_unref(stream);
    return message;
}
} // namespace

BounceReport readBounce(const QByteArray& mail) {
    Reading reading;
    BounceReport& report = reading.report;
    GMimeMessage* message = parsedMessage(mail);
    if (!message)
        return report;
    GMimeObject* top = GMIME_OBJECT(message);
    for (const char* name : {"In-Reply-To", "References"})
        if (const char* value = g_mime_object_get_header(top, name))
            addMessageIds(report.messageIds, QString::fromLatin1(value));

    Walk w{reading, {}, 0};
    walk(g_mime_message_get_mime_part(message), 0, w);

    // Mail systems that write no report name the refused addresses in X-Failed-Recipients
    // and in their text, with the reply each got; some write a report with only the class of
    // the status and give the reply in the text.
    const bool bounce = !report.recipients.isEmpty() || looksLikeBounce(message);
    QByteArrayList lines;
    for (const QByteArray& text : std::as_const(w.texts))
        lines << linesOf(text);
    const qsizetype end = returnedCopyStart(lines);
    const QHash<QString, qsizetype> first = firstLines(lines, end);
    const auto firstLine = [&](const QString& address) {
        return first.value(address.toLower(), -1);
    };
    for (RecipientStatus& r : report.recipients) {
        if (!r.status.endsWith(QLatin1String(".0.0")) || !r.diagnostic.isEmpty())
            continue;
        const PlainNote note = noteFor(r.address, lines, firstLine(r.address), end);
        const QString status = statusFor(note.status, note.diagnostic, r.failed);
        if (!status.endsWith(QLatin1String(".0.0")) && status.front() == r.status.front()) {
            r.status = status;
            r.diagnostic = note.diagnostic;
        }
    }
    if (const char* failed = g_mime_object_get_header(top, "X-Failed-Recipients")) {
        for (const QByteArray& item : QByteArray(failed).split(',')) {
            const QString address = addressOf(item);
            if (!isPlainMailbox(address))
                continue;
            RecipientStatus status =
                plainStatus(address, noteFor(address, lines, firstLine(address), end));
            status.failed = true; // the header lists failures only
            status.status = statusFor(status.status, status.diagnostic, true);
            addRecipient(reading, status);
        }
    }
    if (report.recipients.isEmpty() && bounce)
        for (const QByteArray& text : std::as_const(w.texts))
            readPlainBounce(text, reading);
    if (report.recipients.isEmpty() && report.messageIds.isEmpty() && bounce)
        readQuotedOriginal(lines, end < lines.size() ? end : 0, reading);
    report.fromDomain = domainOf(senderOf(message));
    report.verified = gmailVouchesFor(message, report.fromDomain);
    g_object_unref(message);
    report.messageIds = withoutRepeats(report.messageIds);
    return report;
}

namespace {

// The first part of `type` (text/plain, text/html), in UTF-8, within the same bounds as a
// bounce's parts; null when there is none.
QString firstText(GMimeObject* object, int depth, int& parts, const QByteArray& type) {
    if (!object || depth > kDeepest || ++parts > kMostParts)
        return {};
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(object);
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
            const QString text =
                firstText(g_mime_multipart_get_part(multipart, i), depth + 1, parts, type);
            if (!text.isNull())
                return text;
        }
        return {};
    }
    if (!GMIME_IS_TEXT_PART(object) || mimeTypeOf(object) != type)
        return {};
    char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(object));
    const QString copy = QString::fromUtf8(QByteArray(text ? text : "").left(kLongestText));
    g_free(text);
    return copy;
}

// What an HTML part shows as text: its tags and style or script blocks gone, the common
// character references written out.
QString htmlText(QString html) {
    if (html.isNull())
        return {};
    static const QRegularExpression hidden(QStringLiteral("<(style|script|head)\\b.*?</\\1\\s*>"),
                                           QRegularExpression::CaseInsensitiveOption |
                                               QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    static const QRegularExpression number(QStringLiteral("&#(x?)([0-9a-fA-F]{1,6});"));
    html.remove(hidden).replace(tag, QStringLiteral(" "));
    QString text;
    qsizetype at = 0;
    for (auto it = number.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const char32_t code = m.captured(2).toUInt(nullptr, m.captured(1).isEmpty() ? 10 : 16);
        text += html.mid(at, m.capturedStart() - at);
        if (code > 0 && code <= 0x10ffff)
            text += QString::fromUcs4(&code, 1);
        at = m.capturedEnd();
    }
    text += html.mid(at);
    return text.replace(QLatin1String("&nbsp;"), QLatin1String(" "))
        .replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&amp;"), QLatin1String("&"))
        .simplified();
}

} // namespace

std::optional<PhoneReply> readReply(const QByteArray& mail) {
    GMimeMessage* message = parsedMessage(mail);
    if (!message)
        return std::nullopt;
    std::optional<PhoneReply> reply;
    static const QRegularExpression phone(QStringLiteral("^\\+?[0-9]{7,15}@"));
    const QString sender = senderOf(message);
    GMimeObject* body = g_mime_message_get_mime_part(message);
    const bool report = body && mimeTypeOf(body) == "multipart/report";
    // A phone's answer to something ("Re: Payment failed") is no bounce, whatever it says.
    static const QRegularExpression answer(QStringLiteral("^\\s*(re|aw|sv|fwd?)\\s*:"),
                                           QRegularExpression::CaseInsensitiveOption);
    const char* subject = g_mime_message_get_subject(message);
    const bool answers = answer.match(QString::fromUtf8(subject ? subject : "")).hasMatch();
    if (phone.match(sender).hasMatch() && isPlainMailbox(sender) && !report &&
        (answers || !looksLikeBounce(message))) {
        PhoneReply found;
        found.from = sender;
        if (GDateTime* date = g_mime_message_get_date(message))
            found.date = QDateTime::fromSecsSinceEpoch(g_date_time_to_unix(date), Qt::UTC);
        int parts = 0;
        found.text = firstText(body, 0, parts, "text/plain");
        if (found.text.isNull()) {
            parts = 0;
            found.text = htmlText(firstText(body, 0, parts, "text/html"));
        }
        found.verified = gmailVouchesFor(message, domainOf(sender));
        const char* id = g_mime_message_get_message_id(message);
        found.messageId = id ? QString::fromLatin1(id)
                             : sender + QLatin1Char(' ') + found.date.toString(Qt::ISODate);
        reply = found;
    }
    g_object_unref(message);
    return reply;
}

} // namespace mail
