// The paired phones' module: Qt D-Bus, loaded by the program once it looks for the routes and
// only where KDE Connect or GSConnect runs.
#include "routes/kdeconnect/dbus/bus_paired_phones.h"
#include "routes/kdeconnect/device/lazy_paired_phones.h"

extern "C" Q_DECL_EXPORT paired::PairedPhones* parlivo_create_paired_phones() {
    return new paired::BusPairedPhones();
}
