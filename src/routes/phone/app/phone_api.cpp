#include "routes/phone/app/phone_api.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

namespace phone {

namespace {
constexpr int kDefaultPort = 8080;
constexpr qsizetype kMostRecipients = 100;
constexpr qsizetype kMostInboxTexts = 500;
constexpr qsizetype kLongestText = 1600;

QString cut(const QJsonValue& value, qsizetype most) {
    return value.toString().left(most);
}

TextState stateOf(const QString& name) {
    static const QList<std::pair<QString, TextState>> states{
        {QStringLiteral("Pending"), TextState::Pending},
        {QStringLiteral("Processed"), TextState::Processed},
        {QStringLiteral("Sent"), TextState::Sent},
        {QStringLiteral("Delivered"), TextState::Delivered},
        {QStringLiteral("Failed"), TextState::Failed}};
    for (const auto& [word, state] : states)
        if (name == word)
            return state;
    return TextState::Unknown;
}

// How a request ended, from the HTTP answer; `expected` is the status of success.
Answer answerOf(const HttpAnswer& http, int expected) {
    using Problem = HttpAnswer::Problem;
    switch (http.problem) {
    case Problem::None:
        break;
    case Problem::NoAnswer:
        return {Outcome::NoAnswer, http.reason};
    case Problem::Untrusted:
        return {Outcome::Untrusted, http.reason};
    case Problem::NotOwnNetwork:
        return {Outcome::NotOwnNetwork, http.reason};
    case Problem::TimedOut:
        return {Outcome::BadAnswer,
                QStringLiteral("its answer did not end within %1 s").arg(kAnswerLimitMs / 1000)};
    case Problem::TooLong:
        return {Outcome::BadAnswer, QStringLiteral("its answer was longer than Parlivo reads")};
    }
    const QString said = errorMessageOf(http.body);
    if (http.status == expected)
        return {};
    switch (http.status) {
    case 401:
    case 403:
        return {Outcome::WrongLogin, said};
    case 409:
        return {Outcome::Exists, said};
    case 503:
        return {Outcome::Busy, said};
    default:
        return {Outcome::Refused,
                said.isEmpty() ? QStringLiteral("HTTP status %1").arg(http.status) : said};
    }
}

QString isoUtc(const QDateTime& when) {
    return when.toUTC().toString(Qt::ISODate);
}
} // namespace

bool onOwnNetwork(const QString& host) {
    const QString name = host.toLower();
    if (name.endsWith(QLatin1String(".local")) || name == QLatin1String("localhost"))
        return true;
    // IPv6: the loopback, unique local (fc00::/7) and link-local (fe80::/10) addresses.
    if (name.contains(QLatin1Char(':')))
        return name == QLatin1String("::1") || name.startsWith(QLatin1String("fc")) ||
               name.startsWith(QLatin1String("fd")) || name.startsWith(QLatin1String("fe8")) ||
               name.startsWith(QLatin1String("fe9")) || name.startsWith(QLatin1String("fea")) ||
               name.startsWith(QLatin1String("feb"));
    // IPv4: the private ranges, link-local and the loopback.
    const QStringList parts = name.split(QLatin1Char('.'));
    QList<int> octets;
    for (const QString& part : parts) {
        bool number = false;
        const int octet = part.toInt(&number);
        if (!number || octet < 0 || octet > 255 || part.size() > 3)
            return false;
        octets << octet;
    }
    if (octets.size() != 4)
        return false;
    return octets[0] == 10 || octets[0] == 127 || (octets[0] == 172 && (octets[1] & 0xF0) == 16) ||
           (octets[0] == 192 && octets[1] == 168) || (octets[0] == 169 && octets[1] == 254);
}

PhoneAddress phoneAddress(const QString& typed) {
    QString text = typed.trimmed();
    if (!text.contains(QLatin1String("://")))
        text.prepend(QLatin1String("http://"));
    QUrl url(text, QUrl::StrictMode);
    const QString shown = typed.trimmed().left(80);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) ||
        !url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment())
        return {{},
                QStringLiteral("\"%1\" is no address of a phone: type it as the app shows it "
                               "under Local Server, such as 192.168.1.20:8080.")
                    .arg(shown)};
    if (url.scheme() == QLatin1String("http") && !onOwnNetwork(url.host()))
        return {{},
                QStringLiteral("%1 is not on your own network, and plain HTTP would carry the "
                               "phone's password readable to anyone on the way. Use the phone "
                               "on this network (an address such as 192.168.1.20 or a name "
                               "ending in .local), or an https:// address with a valid "
                               "certificate.")
                    .arg(url.host())};
    if (url.port() < 0 && url.scheme() == QLatin1String("http"))
        url.setPort(kDefaultPort);
    if (url.path().endsWith(QLatin1Char('/')))
        url.setPath(url.path().chopped(1));
    return {url, {}};
}

Answer health(PhoneGateway& gateway, const PhoneLogin& login) {
    const HttpAnswer http = gateway.ask(login, "GET", QStringLiteral("/health"), {});
    Answer answer = answerOf(http, 200);
    // The app answers 500 (its published file says 503) while a check of its own fails.
    if (answer.outcome == Outcome::Refused || answer.outcome == Outcome::Busy)
        answer.outcome = Outcome::NotReady;
    return answer;
}

QList<InboxText> inbox(PhoneGateway& gateway, const PhoneLogin& login, const QDateTime& since,
                       Answer* answer, int limit) {
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("type"), QStringLiteral("SMS"));
    query.addQueryItem(QStringLiteral("limit"), QString::number(qBound(1, limit, 500)));
    if (since.isValid())
        query.addQueryItem(QStringLiteral("from"), isoUtc(since));
    const HttpAnswer http = gateway.ask(
        login, "GET", QStringLiteral("/inbox?") + query.toString(QUrl::FullyEncoded), {});
    *answer = answerOf(http, 200);
    if (answer->outcome != Outcome::Done)
        return {};
    const auto texts = readInbox(http.body);
    if (!texts)
        *answer = {Outcome::BadAnswer, QStringLiteral("its list of texts received is unreadable")};
    return texts.value_or(QList<InboxText>());
}

namespace {
HttpRequest sendRequest(const QString& id, const QString& number, const QString& text,
                        int ttlSeconds) {
    const QJsonObject request{
        {QStringLiteral("id"), id},
        {QStringLiteral("textMessage"), QJsonObject{{QStringLiteral("text"), text}}},
        {QStringLiteral("phoneNumbers"), QJsonArray{number}},
        {QStringLiteral("withDeliveryReport"), true},
        {QStringLiteral("ttl"), ttlSeconds}};
    return {"POST", QStringLiteral("/messages"),
            QJsonDocument(request).toJson(QJsonDocument::Compact)};
}

HttpRequest statusRequest(const QString& id) {
    return {
        "GET", QStringLiteral("/messages/") + QString::fromLatin1(QUrl::toPercentEncoding(id)), {}};
}

// The state an answer gives of the text `id`, or how the call ended.
MessageStatus statusFrom(const HttpAnswer& http, const QString& id, int expected,
                         const QString& unreadable) {
    MessageStatus status;
    status.answer = answerOf(http, expected);
    status.id = id;
    if (status.answer.outcome != Outcome::Done)
        return status;
    if (const auto read = readMessageStatus(http.body))
        return *read;
    status.answer = {Outcome::BadAnswer, unreadable};
    return status;
}

MessageStatus sentStatus(const HttpAnswer& http, const QString& id) {
    return statusFrom(http, id, 202, QStringLiteral("its answer to the text is unreadable"));
}

MessageStatus readStatus(const HttpAnswer& http, const QString& id) {
    return statusFrom(http, id, 200, QStringLiteral("its state of the text is unreadable"));
}
} // namespace

MessageStatus sendText(PhoneGateway& gateway, const PhoneLogin& login, const QString& id,
                       const QString& number, const QString& text, int ttlSeconds) {
    return sentStatus(
        gateway.askTogether(login, {sendRequest(id, number, text, ttlSeconds)}).value(0), id);
}

MessageStatus statusOf(PhoneGateway& gateway, const PhoneLogin& login, const QString& id) {
    return readStatus(gateway.askTogether(login, {statusRequest(id)}).value(0), id);
}

std::pair<MessageStatus, MessageStatus>
statusOfWhileSending(PhoneGateway& gateway, const PhoneLogin& login, const QString& readId,
                     const QString& id, const QString& number, const QString& text,
                     int ttlSeconds) {
    const QList<HttpAnswer> answers = gateway.askTogether(
        login, {statusRequest(readId), sendRequest(id, number, text, ttlSeconds)});
    return {readStatus(answers.value(0), readId), sentStatus(answers.value(1), id)};
}

namespace {
std::optional<MessageStatus> statusIn(const QJsonObject& object) {
    if (!object.value(QLatin1String("id")).isString() ||
        !object.value(QLatin1String("state")).isString() ||
        !object.value(QLatin1String("recipients")).isArray())
        return std::nullopt;
    MessageStatus status;
    status.id = cut(object.value(QLatin1String("id")), 64);
    status.state = stateOf(object.value(QLatin1String("state")).toString());
    const QJsonArray recipients = object.value(QLatin1String("recipients")).toArray();
    for (qsizetype i = 0; i < qMin(recipients.size(), kMostRecipients); ++i) {
        const QJsonObject r = recipients.at(i).toObject();
        status.recipients << RecipientState{cut(r.value(QLatin1String("phoneNumber")), 128),
                                            stateOf(r.value(QLatin1String("state")).toString()),
                                            cut(r.value(QLatin1String("error")), 200)};
    }
    return status;
}
} // namespace

QList<MessageStatus> recentStates(PhoneGateway& gateway, const PhoneLogin& login,
                                  const QDateTime& since, Answer* answer) {
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("limit"), QStringLiteral("500"));
    if (since.isValid())
        query.addQueryItem(QStringLiteral("from"), isoUtc(since));
    const HttpAnswer http = gateway.ask(
        login, "GET", QStringLiteral("/messages?") + query.toString(QUrl::FullyEncoded), {});
    *answer = answerOf(http, 200);
    if (answer->outcome != Outcome::Done)
        return {};
    const auto states = readMessageStates(http.body);
    if (!states)
        *answer = {Outcome::BadAnswer, QStringLiteral("its list of texts sent is unreadable")};
    return states.value_or(QList<MessageStatus>());
}

std::optional<MessageStatus> readMessageStatus(const QByteArray& json) {
    if (json.size() > kLongestAnswer)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(json);
    return document.isObject() ? statusIn(document.object()) : std::nullopt;
}

std::optional<QList<MessageStatus>> readMessageStates(const QByteArray& json) {
    if (json.size() > kLongestAnswer)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isArray())
        return std::nullopt;
    QList<MessageStatus> states;
    const QJsonArray items = document.array();
    for (qsizetype i = 0; i < qMin(items.size(), kMostInboxTexts); ++i)
        if (const auto status = statusIn(items.at(i).toObject()))
            states << *status;
    return states;
}

std::optional<QList<InboxText>> readInbox(const QByteArray& json) {
    if (json.size() > kLongestAnswer)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isArray())
        return std::nullopt;
    QList<InboxText> texts;
    const QJsonArray items = document.array();
    for (qsizetype i = 0; i < qMin(items.size(), kMostInboxTexts); ++i) {
        const QJsonObject item = items.at(i).toObject();
        InboxText text{cut(item.value(QLatin1String("id")), 64),
                       cut(item.value(QLatin1String("sender")), 64),
                       QDateTime::fromString(item.value(QLatin1String("createdAt")).toString(),
                                             Qt::ISODateWithMs),
                       cut(item.value(QLatin1String("contentPreview")), kLongestText)};
        if (!text.id.isEmpty() && !text.sender.isEmpty())
            texts << text;
    }
    return texts;
}

QString errorMessageOf(const QByteArray& json) {
    if (json.size() > kLongestAnswer)
        return {};
    return cut(QJsonDocument::fromJson(json).object().value(QLatin1String("message")), 200)
        .simplified();
}

} // namespace phone
