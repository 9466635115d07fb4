// The modem module: Qt D-Bus, loaded by the program when a text first goes through the modem.
#include "routes/modem/dbus/mm_text_modem.h"
#include "routes/modem/device/lazy_text_modem.h"

extern "C" Q_DECL_EXPORT modem::TextModem* parlivo_create_text_modem() {
    return new modem::MmTextModem();
}
