#pragma once

#include "routes/modem/device/text_modem.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <memory>

namespace modem {

// The modem through ModemManager's D-Bus interface on the system bus. Every call waits on
// the event loop, so the window keeps painting, and within a time limit.
class MmTextModem final : public TextModem {
  public:
    explicit MmTextModem(QDBusConnection bus = QDBusConnection::systemBus(),
                         int callLimitMs = 30000);
    QString available() override;
    ModemReady prepare() override;
    TextResult send(const QString& number, const QString& text) override;
    QList<ModemMessage> received() override;
    void remove(const QString& path) override;
    void watch(std::function<void()> changed) override;
    void watchMessages(std::function<void()> arrived) override;

  private:
    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments = {});
    QVariant property(const QString& path, const QString& interface, const QString& name);
    // The first modem object that can send texts, or nothing.
    QString modemPath(QDBusMessage* failure);

    QDBusConnection bus_;
    int callLimitMs_;
    QString modem_;
    // What tells of modems added and removed, and of messages stored.
    QObject* announcements();
    std::unique_ptr<QObject> watcher_;
    std::function<void()> changed_;
    std::function<void()> arrived_;
};

// A D-Bus error of ModemManager's in plain words.
QString plainWords(const QString& errorName, const QString& message);

} // namespace modem
