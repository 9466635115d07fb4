#pragma once

#include "routes/kdeconnect/device/paired_phones.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QHash>
#include <QObject>
#include <memory>

namespace paired {

// The phones KDE Connect's daemon and GSConnect's service offer on the session bus. Every
// call waits on the event loop, so the window keeps painting, and within a time limit.
class BusPairedPhones final : public PairedPhones {
  public:
    // By default on a connection of its own to the session bus as the environment names it.
    explicit BusPairedPhones(QDBusConnection bus = ownSessionBus(), int callLimitMs = 25000);
    ~BusPairedPhones() override;
    QList<PairedPhone> phones() override;
    HandOver send(const PairedPhone& phone, const QString& number, const QString& text) override;
    QList<PhoneText> texts(const PairedPhone& phone) override;
    void watch(std::function<void()> changed) override;
    void watchTexts(std::function<void()> arrived) override;

    // A message a phone's conversations showed, as a signal carries it.
    void heard(const QString& devicePath, const QVariant& message);

    static QDBusConnection ownSessionBus();

  private:
    QDBusMessage call(const QString& service, const QString& path, const QString& interface,
                      const QString& method, const QVariantList& arguments = {});
    QList<PairedPhone> kdeConnectPhones();
    QList<PairedPhone> gsConnectPhones();
    QObject* announcements();

    QDBusConnection bus_;
    int callLimitMs_;
    std::unique_ptr<QObject> announcements_;
    std::function<void()> changed_;
    std::function<void()> arrived_;
    // What each phone's conversations showed while watched, by device path; bounded.
    QHash<QString, QList<PhoneText>> heard_;
};

} // namespace paired
