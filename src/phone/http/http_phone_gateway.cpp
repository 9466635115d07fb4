#include "phone/http/http_phone_gateway.h"

#include "phone/phone_api.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace phone {

HttpPhoneGateway::HttpPhoneGateway(std::optional<QSslConfiguration> tls, int limitMs)
    : network_(std::make_unique<QNetworkAccessManager>()), tls_(std::move(tls)), limitMs_(limitMs) {
}

HttpPhoneGateway::~HttpPhoneGateway() = default;

HttpAnswer HttpPhoneGateway::ask(const PhoneLogin& login, const QByteArray& method,
                                 const QString& path, const QByteArray& body) {
    // The phone is on the user's own network: its password never goes through a proxy.
    network_->setProxy(onOwnNetwork(login.base.host()) ? QNetworkProxy::NoProxy
                                                       : QNetworkProxy::DefaultProxy);
    QNetworkRequest request(QUrl(login.base.toString() + path));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setRawHeader("Authorization",
                         "Basic " +
                             (login.user + QLatin1Char(':') + login.password).toUtf8().toBase64());
    request.setRawHeader("Accept", "application/json");
    if (!body.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    if (tls_)
        request.setSslConfiguration(*tls_);
    QNetworkReply* reply = network_->sendCustomRequest(request, method, body);
    HttpAnswer answer;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        answer.problem = HttpAnswer::Problem::TimedOut;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        answer.body += reply->read(kLongestAnswer + 1 - answer.body.size());
        if (answer.body.size() > kLongestAnswer && answer.problem == HttpAnswer::Problem::None) {
            answer.problem = HttpAnswer::Problem::TooLong;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    limit.start(limitMs_);
    if (!reply->isFinished())
        loop.exec();
    if (answer.problem == HttpAnswer::Problem::None)
        answer.body += reply->read(kLongestAnswer + 1 - answer.body.size());
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError error = reply->error();
    if (answer.problem == HttpAnswer::Problem::None && answer.body.size() > kLongestAnswer)
        answer.problem = HttpAnswer::Problem::TooLong;
    if (answer.problem == HttpAnswer::Problem::None && answer.status == 0) {
        const bool tls = error == QNetworkReply::SslHandshakeFailedError;
        answer.problem = tls ? HttpAnswer::Problem::Untrusted : HttpAnswer::Problem::NoAnswer;
        answer.reason = reply->errorString();
    }
    if (answer.problem != HttpAnswer::Problem::None)
        answer.body.clear();
    reply->deleteLater();
    return answer;
}

} // namespace phone
