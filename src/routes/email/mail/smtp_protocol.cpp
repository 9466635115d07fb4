#include "routes/email/mail/smtp_protocol.h"

#include <algorithm>

namespace mail {

namespace {
constexpr qsizetype kLongestReplyText = 400;

bool isReplyCode(const QByteArray& line) {
    return line.size() >= 3 && std::isdigit(uchar(line[0])) && std::isdigit(uchar(line[1])) &&
           std::isdigit(uchar(line[2]));
}

QString printable(const QByteArray& bytes, qsizetype longest) {
    QString text;
    for (const char c : bytes) {
        if (text.size() >= longest)
            break;
        text += (uchar(c) >= 0x20 && uchar(c) < 0x7f) ? QLatin1Char(c) : QLatin1Char('?');
    }
    return text;
}
} // namespace

QString SmtpReply::text() const {
    QString all = QString::number(code);
    for (qsizetype i = 0; i < lines.size(); ++i)
        all += (i ? QStringLiteral(" / ") : QStringLiteral(" ")) + printable(lines[i], 200);
    return all.left(kLongestReplyText);
}

std::optional<SmtpReply> SmtpReplyReader::finish(QByteArray& buffer, SmtpReply reply) {
    buffer.remove(0, lineStart_);
    partial_ = {};
    lineStart_ = scanned_ = 0;
    return reply;
}

std::optional<SmtpReply> SmtpReplyReader::take(QByteArray& buffer) {
    for (;;) {
        const qsizetype end = buffer.indexOf('\n', qMax(scanned_, lineStart_));
        if (end < 0) {
            scanned_ = buffer.size();
            if (scanned_ - lineStart_ > kLongestReplyLine)
                return finish(buffer, {0, {"a reply line longer than 4096 bytes"}});
            return std::nullopt;
        }
        if (end - lineStart_ > kLongestReplyLine)
            return finish(buffer, {0, {"a reply line longer than 4096 bytes"}});
        QByteArray line = buffer.mid(lineStart_, end - lineStart_);
        if (line.endsWith('\r'))
            line.chop(1);
        lineStart_ = scanned_ = end + 1;
        if (!isReplyCode(line))
            return finish(buffer, {0, {line}});
        partial_.code = line.left(3).toInt();
        partial_.lines << line.mid(4);
        if (line.size() < 4 || line[3] != '-')
            return finish(buffer, std::exchange(partial_, {}));
        if (partial_.lines.size() >= kMostReplyLines)
            return finish(buffer, {0, {"a reply of more than 100 lines"}});
    }
}

SmtpCapabilities capabilitiesOf(const SmtpReply& ehloReply) {
    SmtpCapabilities offered;
    for (qsizetype i = 1; i < ehloReply.lines.size(); ++i) { // the first line is the greeting
        const QByteArrayList words = ehloReply.lines[i].toUpper().simplified().split(' ');
        if (words.value(0) == "PIPELINING")
            offered.pipelining = true;
        if (words.value(0) == "CHUNKING")
            offered.chunking = true;
        if (words.value(0) == "STARTTLS")
            offered.startTls = true;
        if (words.value(0) == "AUTH" || words.value(0).startsWith("AUTH=")) {
            const QByteArrayList mechanisms =
                words.value(0) == "AUTH" ? words.mid(1) : QByteArrayList{words[0].mid(5)};
            offered.authPlain |= mechanisms.contains("PLAIN");
            offered.authLogin |= mechanisms.contains("LOGIN");
        }
    }
    return offered;
}

QByteArray dotStuffed(const QByteArray& message) {
    QByteArray out;
    out.reserve(message.size() + message.size() / 64 + 8);
    qsizetype at = 0;
    while (at < message.size()) {
        if (message[at] == '.')
            out += '.';
        const qsizetype end = message.indexOf('\n', at);
        const qsizetype next = end < 0 ? message.size() : end + 1;
        out += QByteArrayView(message).sliced(at, next - at);
        at = next;
    }
    if (!out.isEmpty() && !out.endsWith("\r\n"))
        out += "\r\n";
    return out + ".\r\n";
}

namespace {
struct RefusalRule {
    const char* code;   // the reply code, or its first digit
    const char* status; // the enhanced status code; ending in ".": its start; empty: any
    QString step;       // empty: any step
    MailFailure kind;
};

// The first rule that matches decides.
const RefusalRule kRefusalRules[] = {
    {"", "5.4.5", {}, MailFailure::DailyLimit},
    {"452", "4.5.3", smtp_step::kRcpt, MailFailure::TooManyRecipients},
    {"454", "4.7.0", smtp_step::kAuth, MailFailure::TooManyLogins},
    {"534", "5.7.9", {}, MailFailure::AppPasswordRequired},
    {"534", "5.7.14", {}, MailFailure::WebLoginRequired},
    {"535", "", {}, MailFailure::LoginRefused},
    {"530", "5.7.0", {}, MailFailure::LoginRefused},
    {"4", "", {}, MailFailure::TryLater},
    {"5", "", smtp_step::kRcpt, MailFailure::AddressRefused},
    {"5", "5.7.", smtp_step::kMessage, MailFailure::ContentRefused},
};

bool isEnhancedStatus(const QString& word) {
    const QStringList parts = word.split(QLatin1Char('.'));
    if (parts.size() != 3 || !QStringLiteral("245").contains(parts[0]) || parts[0].size() != 1)
        return false;
    return std::all_of(parts.begin() + 1, parts.end(), [](const QString& part) {
        return !part.isEmpty() && part.size() <= 3 &&
               std::all_of(part.begin(), part.end(), [](QChar c) { return c.isDigit(); });
    });
}
} // namespace

MailFailure classifyRefusal(const QString& step, const QString& reply) {
    const QString code = reply.left(3);
    QString status = reply.section(QLatin1Char(' '), 1, 1);
    if (!isEnhancedStatus(status))
        status.clear();
    for (const RefusalRule& rule : kRefusalRules) {
        const QString ruleStatus = QLatin1String(rule.status);
        const bool statusMatches = ruleStatus.endsWith(QLatin1Char('.'))
                                       ? status.startsWith(ruleStatus)
                                       : ruleStatus.isEmpty() || status == ruleStatus;
        if (code.startsWith(QLatin1String(rule.code)) && statusMatches &&
            (rule.step.isEmpty() || rule.step == step))
            return rule.kind;
    }
    return MailFailure::Refused;
}

SubmitResult classifyExchange(const SmtpExchange& e) {
    using Network = LinkProblem;
    if (e.accepted)
        return {};
    if (!e.refusedCommand.isEmpty()) {
        MailFailure kind = classifyRefusal(e.refusedCommand, e.refusal);
        QString refusal = e.refusal;
        // A recipient refused for good outweighs one refused for now, whichever came first.
        if (kind == MailFailure::TryLater && e.refusedCommand == smtp_step::kRcpt &&
            !e.refusedAddresses.isEmpty()) {
            refusal = e.addressRefusal;
            kind = classifyRefusal(smtp_step::kRcpt, refusal);
        }
        const bool recipients =
            kind == MailFailure::AddressRefused || kind == MailFailure::TooManyRecipients;
        SubmitResult result{
            kind, QStringLiteral("The server refused %1: %2").arg(e.refusedCommand, refusal),
            recipients ? e.refusedAddresses : QStringList(), refusal};
        if (recipients)
            result.deferredAddresses = e.deferredAddresses;
        result.refusedStep = e.refusedCommand;
        return result;
    }
    const QString after =
        e.lastCommand.isEmpty() ? QString() : QStringLiteral(" (after %1)").arg(e.lastCommand);
    switch (e.network) {
    case Network::Untrusted:
        return {MailFailure::Untrusted, e.networkReason};
    case Network::Unreachable:
        return {MailFailure::Unreachable, e.networkReason};
    case Network::Closed:
    case Network::Stalled:
        if (!e.greeted)
            return {MailFailure::Unreachable, e.networkReason};
        return {MailFailure::General, e.networkReason + after};
    case Network::Deadline:
        return {MailFailure::General, e.networkReason + after};
    case Network::None:
        break;
    }
    return {MailFailure::General,
            QStringLiteral("The server ended the exchange unexpectedly.") + after};
}

} // namespace mail
