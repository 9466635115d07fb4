#pragma once

#include "routes/phone/app/phone_gateway.h"

#include <QSslConfiguration>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

namespace phone {

// The phone's app over Qt's HTTP client: Basic authentication on every request, no redirect
// followed, HTTPS only with a certificate that verifies, each answer bounded in size and time;
// the requests wait on the event loop.
class HttpPhoneGateway final : public PhoneGateway {
  public:
    // `tls`: whom HTTPS trusts; the system's certificates unless given.
    explicit HttpPhoneGateway(std::optional<QSslConfiguration> tls = std::nullopt,
                              int limitMs = kAnswerLimitMs);
    ~HttpPhoneGateway() override;
    QList<HttpAnswer> askTogether(const PhoneLogin& login,
                                  const QList<HttpRequest>& requests) override;

  private:
    // The request as it goes: the login, no redirect followed, JSON, whom HTTPS trusts.
    QNetworkRequest networkRequest(const PhoneLogin& login, const HttpRequest& asked) const;
    // The answer as it came, bounded, or the problem; the reply let go.
    static void finishAnswer(QNetworkReply& reply, HttpAnswer& answer);

    std::unique_ptr<QNetworkAccessManager> network_;
    std::optional<QSslConfiguration> tls_;
    int limitMs_;
};

} // namespace phone
