#pragma once

#include "routes/phone/app/phone_gateway.h"

#include <QLibrary>
#include <memory>

namespace phone {

// The phone module beside the program (Qt Network), loaded on first use, so that a start that
// never texts through a phone loads no network library.
class LazyPhoneGateway final : public PhoneGateway {
  public:
    explicit LazyPhoneGateway(QString modulePath);
    ~LazyPhoneGateway() override;
    QList<HttpAnswer> askTogether(const PhoneLogin& login,
                                  const QList<HttpRequest>& requests) override;

  private:
    QLibrary module_;
    std::unique_ptr<PhoneGateway> loaded_;
};

// The name under which the module exports its factory.
inline constexpr char kPhoneModuleFactory[] = "parlivo_create_phone_gateway";
using PhoneModuleFactory = PhoneGateway* (*)();

} // namespace phone
