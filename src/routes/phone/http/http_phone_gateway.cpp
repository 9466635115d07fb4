#include "routes/phone/http/http_phone_gateway.h"

#include "routes/phone/app/phone_api.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <algorithm>

namespace phone {

HttpPhoneGateway::HttpPhoneGateway(std::optional<QSslConfiguration> tls, int limitMs)
    : network_(std::make_unique<QNetworkAccessManager>()), tls_(std::move(tls)), limitMs_(limitMs) {
}

HttpPhoneGateway::~HttpPhoneGateway() = default;

QList<HttpAnswer> HttpPhoneGateway::askTogether(const PhoneLogin& login,
                                                const QList<HttpRequest>& requests) {
    // The phone is on the user's own network: its password never goes through a proxy.
    network_->setProxy(onOwnNetwork(login.base.host()) ? QNetworkProxy::NoProxy
                                                       : QNetworkProxy::DefaultProxy);
    QList<HttpAnswer> answers(requests.size());
    QList<QNetworkReply*> replies;
    QEventLoop loop;
    for (qsizetype i = 0; i < requests.size(); ++i) {
        QNetworkReply* reply = network_->sendCustomRequest(networkRequest(login, requests[i]),
                                                           requests[i].method, requests[i].body);
        replies << reply;
        HttpAnswer& answer = answers[i];
        QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&answer, reply] {
            answer.body += reply->read(kLongestAnswer + 1 - answer.body.size());
            if (answer.body.size() > kLongestAnswer &&
                answer.problem == HttpAnswer::Problem::None) {
                answer.problem = HttpAnswer::Problem::TooLong;
                reply->abort();
            }
        });
    }
    const auto allFinished = [&replies] {
        return std::all_of(replies.cbegin(), replies.cend(),
                           [](const QNetworkReply* reply) { return reply->isFinished(); });
    };
    for (QNetworkReply* reply : std::as_const(replies))
        QObject::connect(reply, &QNetworkReply::finished, &loop, [&] {
            if (allFinished())
                loop.quit();
        });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        for (qsizetype i = 0; i < replies.size(); ++i)
            if (!replies[i]->isFinished()) {
                answers[i].problem = HttpAnswer::Problem::TimedOut;
                replies[i]->abort();
            }
    });
    limit.start(limitMs_);
    if (!allFinished())
        loop.exec();
    for (qsizetype i = 0; i < replies.size(); ++i)
        finishAnswer(*replies[i], answers[i]);
    return answers;
}

QNetworkRequest HttpPhoneGateway::networkRequest(const PhoneLogin& login,
                                                 const HttpRequest& asked) const {
    QNetworkRequest request(QUrl(login.base.toString() + asked.path));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setRawHeader("Authorization",
                         "Basic " +
                             (login.user + QLatin1Char(':') + login.password).toUtf8().toBase64());
    request.setRawHeader("Accept", "application/json");
    if (!asked.body.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    if (tls_)
        request.setSslConfiguration(*tls_);
    return request;
}

void HttpPhoneGateway::finishAnswer(QNetworkReply& reply, HttpAnswer& answer) {
    if (answer.problem == HttpAnswer::Problem::None)
        answer.body += reply.read(kLongestAnswer + 1 - answer.body.size());
    answer.status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (answer.problem == HttpAnswer::Problem::None && answer.body.size() > kLongestAnswer)
        answer.problem = HttpAnswer::Problem::TooLong;
    if (answer.problem == HttpAnswer::Problem::None && answer.status == 0) {
        const bool tls = reply.error() == QNetworkReply::SslHandshakeFailedError;
        answer.problem = tls ? HttpAnswer::Problem::Untrusted : HttpAnswer::Problem::NoAnswer;
        answer.reason = reply.errorString();
    }
    if (answer.problem != HttpAnswer::Problem::None)
        answer.body.clear();
    reply.deleteLater();
}

} // namespace phone
