// The phone module: Qt Network, loaded by the program when a text first goes through the phone.
#include "routes/phone/app/lazy_phone_gateway.h"
#include "routes/phone/http/http_phone_gateway.h"

extern "C" Q_DECL_EXPORT phone::PhoneGateway* parlivo_create_phone_gateway() {
    return new phone::HttpPhoneGateway();
}
