#include "routes/kdeconnect/device/lazy_paired_phones.h"

#include <QDir>
#include <QFile>

namespace paired {

bool pairingServiceRuns() {
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& process : processes) {
        // A process that ended and was not yet reaped has no command line: it runs nothing.
        QFile command(QStringLiteral("/proc/%1/cmdline").arg(process));
        const QByteArray line = command.open(QIODevice::ReadOnly) ? command.read(4096) : "";
        if (line.isEmpty())
            continue;
        // GSConnect's service is a script run by gjs from the extension's folder.
        QFile name(QStringLiteral("/proc/%1/comm").arg(process));
        if (line.contains("gsconnect") ||
            (name.open(QIODevice::ReadOnly) && name.readAll().trimmed() == "kdeconnectd"))
            return true;
    }
    return false;
}

LazyPairedPhones::LazyPairedPhones(QString modulePath) : module_(std::move(modulePath)) {}

LazyPairedPhones::~LazyPairedPhones() = default;

PairedPhones* LazyPairedPhones::loaded() {
    if (!loaded_ && pairingServiceRuns())
        if (const auto create =
                reinterpret_cast<PairedModuleFactory>(module_.resolve(kPairedModuleFactory)))
            loaded_.reset(create());
    return loaded_.get();
}

QList<PairedPhone> LazyPairedPhones::phones() {
    PairedPhones* phones = loaded();
    return phones ? phones->phones() : QList<PairedPhone>();
}

HandOver LazyPairedPhones::send(const PairedPhone& phone, const QString& number,
                                const QString& text) {
    if (PairedPhones* phones = loaded())
        return phones->send(phone, number, text);
    return {HandOverFate::Gone, pairingServiceRuns() ? module_.errorString() : QString()};
}

QList<PhoneText> LazyPairedPhones::texts(const PairedPhone& phone) {
    PairedPhones* phones = loaded();
    return phones ? phones->texts(phone) : QList<PhoneText>();
}

void LazyPairedPhones::watch(std::function<void()> changed) {
    changed_ = std::move(changed);
    if (PairedPhones* phones = loaded()) {
        phones->watch(changed_);
        return;
    }
    waiting_ = std::make_unique<QTimer>();
    QObject::connect(waiting_.get(), &QTimer::timeout, [this] { lookForService(); });
    waiting_->start(lookEveryMs);
}

void LazyPairedPhones::watchTexts(std::function<void()> arrived) {
    arrived_ = std::move(arrived);
    if (PairedPhones* phones = loaded())
        phones->watchTexts(arrived_);
}

void LazyPairedPhones::lookForService() {
    PairedPhones* phones = loaded();
    if (!phones)
        return;
    waiting_.release()->deleteLater(); // this runs from its timeout
    phones->watch(changed_);
    if (arrived_)
        phones->watchTexts(arrived_);
    if (changed_)
        changed_();
}

} // namespace paired
