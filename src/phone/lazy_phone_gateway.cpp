#include "phone/lazy_phone_gateway.h"

namespace phone {

LazyPhoneGateway::LazyPhoneGateway(QString modulePath) : module_(std::move(modulePath)) {}

LazyPhoneGateway::~LazyPhoneGateway() = default;

HttpAnswer LazyPhoneGateway::ask(const PhoneLogin& login, const QByteArray& method,
                                 const QString& path, const QByteArray& body) {
    if (!loaded_)
        if (const auto create =
                reinterpret_cast<PhoneModuleFactory>(module_.resolve(kPhoneModuleFactory)))
            loaded_.reset(create());
    if (!loaded_)
        return {HttpAnswer::Problem::NoAnswer,
                0,
                {},
                QStringLiteral("the phone component could not be loaded: %1")
                    .arg(module_.errorString())};
    return loaded_->ask(login, method, path, body);
}

} // namespace phone
