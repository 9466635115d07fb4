#include "routes/phone/app/lazy_phone_gateway.h"

#include "routes/phone/app/phone_api.h"

namespace phone {

LazyPhoneGateway::LazyPhoneGateway(QString modulePath) : module_(std::move(modulePath)) {}

LazyPhoneGateway::~LazyPhoneGateway() = default;

QList<HttpAnswer> LazyPhoneGateway::askTogether(const PhoneLogin& login,
                                                const QList<HttpRequest>& requests) {
    // Wherever the address came from (set-up, the settings file, an older version), no
    // request goes where plain HTTP would carry the password off the user's own network.
    if (const QString problem = phoneAddress(login.base.toString()).problem; !problem.isEmpty())
        return QList<HttpAnswer>(requests.size(),
                                 {HttpAnswer::Problem::NotOwnNetwork, 0, {}, problem});
    if (!loaded_)
        if (const auto create =
                reinterpret_cast<PhoneModuleFactory>(module_.resolve(kPhoneModuleFactory)))
            loaded_.reset(create());
    if (!loaded_)
        return QList<HttpAnswer>(requests.size(),
                                 {HttpAnswer::Problem::NoAnswer,
                                  0,
                                  {},
                                  QStringLiteral("the phone component could not be loaded: %1")
                                      .arg(module_.errorString())});
    return loaded_->askTogether(login, requests);
}

} // namespace phone
