#include "platform/curl_mail_submitter.h"

#include "platform/mime_message.h"

#include <QRandomGenerator>
#include <curl/curl.h>
#include <memory>

namespace platform {

namespace {

struct Upload {
    QByteArray data;
    qsizetype position = 0;
};

size_t readUpload(char* buffer, size_t size, size_t count, void* userData) {
    auto* upload = static_cast<Upload*>(userData);
    const qsizetype room = qsizetype(size * count);
    const qsizetype length = qMin(room, upload->data.size() - upload->position);
    memcpy(buffer, upload->data.constData() + upload->position, size_t(length));
    upload->position += length;
    return size_t(length);
}

// Watches the protocol lines to learn how far the exchange got. Credentials sent after
// AUTH are never kept.
int watchExchange(CURL*, curl_infotype type, char* data, size_t size, void* userData) {
    auto* exchange = static_cast<SmtpExchange*>(userData);
    const QString line = QString::fromUtf8(data, qsizetype(size)).trimmed();
    if (line.isEmpty())
        return 0;
    if (type == CURLINFO_HEADER_IN) {
        exchange->lastReply = line.section(QLatin1Char('\n'), -1).trimmed();
        if (line.startsWith(QLatin1String("235")))
            exchange->authenticated = true;
        if (line.startsWith(QLatin1Char('4')) || line.startsWith(QLatin1Char('5'))) {
            exchange->refusedCommand = exchange->lastCommand;
            exchange->refusal = exchange->lastReply;
        }
    } else if (type == CURLINFO_HEADER_OUT) {
        const QString verb = line.section(QLatin1Char(' '), 0, 0).toUpper();
        const bool isCommand = verb.size() == 4 && verb.front().isLetter();
        if (isCommand)
            exchange->lastCommand = verb;
    }
    return 0;
}

bool isReachOrLoginFailure(int code) {
    switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_USE_SSL_FAILED:
    case CURLE_LOGIN_DENIED:
    case CURLE_AUTH_ERROR:
        return true;
    default:
        return false;
    }
}

QString describe(const SmtpExchange& exchange) {
    QString text = exchange.curlText;
    const QString& reply = exchange.refusal.isEmpty() ? exchange.lastReply : exchange.refusal;
    if (!reply.isEmpty())
        text += QStringLiteral(" (server reply: %1)").arg(reply);
    return text;
}

QByteArray uniqueToken() {
    const quint64 a = QRandomGenerator::global()->generate64();
    const quint64 b = QRandomGenerator::global()->generate64();
    return QByteArray::number(a, 36) + '.' + QByteArray::number(b, 36);
}

using EasyHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using StringList = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

StringList toSlist(const QStringList& items, const char* before = "", const char* after = "") {
    curl_slist* list = nullptr;
    for (const QString& item : items)
        list = curl_slist_append(list, (QByteArray(before) + item.toUtf8() + after).constData());
    return StringList(list, &curl_slist_free_all);
}

} // namespace

SubmitResult classifyExchange(const SmtpExchange& exchange) {
    if (exchange.curlCode == CURLE_OK)
        return {};
    if (exchange.refusedCommand == QLatin1String("RCPT"))
        return {MailFailure::RecipientsRefused, describe(exchange)};
    if (!exchange.authenticated && (isReachOrLoginFailure(exchange.curlCode) ||
                                    exchange.refusedCommand == QLatin1String("MAIL")))
        return {MailFailure::NotDelivered, describe(exchange)};
    return {MailFailure::General, describe(exchange)};
}

CurlMailSubmitter::CurlMailSubmitter(CurlMailOptions options, const Clock* clock)
    : options_(std::move(options)), clock_(clock) {}

SubmitResult CurlMailSubmitter::submit(const MailMessage& message) {
    if (const auto reason = unsafeMessageReason(message))
        return {MailFailure::General, *reason};
    if (message.recipients.isEmpty())
        return {MailFailure::General,
                QStringLiteral("The message has no recipients: tick at least one carrier.")};

    // The TLS library is set up on the first send, not at start-up: most runs never send.
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (!initialised)
        return {MailFailure::General, QStringLiteral("The mail library could not be started.")};

    const QDateTime date = clock_ ? clock_->now() : QDateTime::currentDateTime();
    Upload upload{composeMessage(message, date, uniqueToken())};
    SmtpExchange exchange;
    char errorText[CURL_ERROR_SIZE] = {};

    EasyHandle curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl)
        return {MailFailure::General, QStringLiteral("The mail library could not be started.")};
    const QByteArray url = options_.url.toUtf8();
    const QByteArray user = message.userAddress.toUtf8();
    const QByteArray password = message.password.toUtf8();
    const QByteArray sender = "<" + user + ">";
    const QByteArray caFile = options_.caFile.toUtf8();
    const StringList recipients = toSlist(message.recipients, "<", ">");
    const StringList connectTo = toSlist(options_.connectTo);

    CURL* h = curl.get();
    curl_easy_setopt(h, CURLOPT_URL, url.constData());
    curl_easy_setopt(h, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile.isEmpty())
        curl_easy_setopt(h, CURLOPT_CAINFO, caFile.constData());
    if (connectTo)
        curl_easy_setopt(h, CURLOPT_CONNECT_TO, connectTo.get());
    curl_easy_setopt(h, CURLOPT_USERNAME, user.constData());
    curl_easy_setopt(h, CURLOPT_PASSWORD, password.constData());
    curl_easy_setopt(h, CURLOPT_MAIL_FROM, sender.constData());
    curl_easy_setopt(h, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(h, CURLOPT_READFUNCTION, &readUpload);
    curl_easy_setopt(h, CURLOPT_READDATA, &upload);
    curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, curl_off_t(upload.data.size()));
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, options_.connectTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, options_.stallSeconds);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, options_.stallSeconds);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, &watchExchange);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, &exchange);
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);

    const CURLcode code = curl_easy_perform(h);
    exchange.curlCode = code;
    exchange.curlText = QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(code));
    return classifyExchange(exchange);
}

} // namespace platform
