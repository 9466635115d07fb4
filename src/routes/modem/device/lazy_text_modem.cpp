#include "routes/modem/device/lazy_text_modem.h"

#include <QDir>
#include <QFile>

namespace modem {

bool modemServiceRuns() {
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& process : processes) {
        QFile name(QStringLiteral("/proc/%1/comm").arg(process));
        if (name.open(QIODevice::ReadOnly) && name.readAll().trimmed() == "ModemManager")
            return true;
    }
    return false;
}

LazyTextModem::LazyTextModem(QString modulePath) : module_(std::move(modulePath)) {}

LazyTextModem::~LazyTextModem() = default;

TextModem* LazyTextModem::loaded() {
    // Where ModemManager does not run, nothing of D-Bus is loaded.
    if (!loaded_ && modemServiceRuns())
        if (const auto create =
                reinterpret_cast<ModemModuleFactory>(module_.resolve(kModemModuleFactory)))
            loaded_.reset(create());
    return loaded_.get();
}

QString LazyTextModem::available() {
    TextModem* modem = loaded();
    return modem ? modem->available() : QString();
}

ModemReady LazyTextModem::prepare() {
    if (TextModem* modem = loaded())
        return modem->prepare();
    if (!modemServiceRuns())
        return {ModemProblem::NoService, {}};
    return {
        ModemProblem::Failed,
        QStringLiteral("The modem component could not be loaded: %1").arg(module_.errorString())};
}

TextResult LazyTextModem::send(const QString& number, const QString& text) {
    if (TextModem* modem = loaded())
        return modem->send(number, text);
    TextResult refused{TextFate::Refused, {}, QStringLiteral("ModemManager does not run")};
    refused.modemGone = true;
    if (modemServiceRuns())
        refused.reason = module_.errorString();
    return refused;
}

QList<ModemMessage> LazyTextModem::received() {
    TextModem* modem = loaded();
    return modem ? modem->received() : QList<ModemMessage>();
}

void LazyTextModem::remove(const QString& path) {
    if (TextModem* modem = loaded())
        modem->remove(path);
}

void LazyTextModem::watch(std::function<void()> changed) {
    if (TextModem* modem = loaded())
        modem->watch(std::move(changed));
}

void LazyTextModem::watchMessages(std::function<void()> arrived) {
    if (TextModem* modem = loaded())
        modem->watchMessages(std::move(arrived));
}

} // namespace modem
