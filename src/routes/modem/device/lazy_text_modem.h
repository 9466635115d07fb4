#pragma once

#include "routes/modem/device/text_modem.h"

#include <QLibrary>
#include <memory>

namespace modem {

// The modem module beside the program, loaded on first use and only where ModemManager runs,
// so that a start that never texts through a modem loads no D-Bus library.
class LazyTextModem final : public TextModem {
  public:
    explicit LazyTextModem(QString modulePath);
    ~LazyTextModem() override;
    QString available() override;
    ModemReady prepare() override;
    TextResult send(const QString& number, const QString& text) override;
    QList<ModemMessage> received() override;
    void remove(const QString& path) override;
    void watch(std::function<void()> changed) override;
    void watchMessages(std::function<void()> arrived) override;

  private:
    TextModem* loaded();

    QLibrary module_;
    std::unique_ptr<TextModem> loaded_;
};

// The name under which the module exports its factory.
inline constexpr char kModemModuleFactory[] = "parlivo_create_text_modem";
using ModemModuleFactory = TextModem* (*)();

} // namespace modem
