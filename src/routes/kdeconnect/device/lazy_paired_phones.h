#pragma once

#include "routes/kdeconnect/device/paired_phones.h"

#include <QLibrary>
#include <QTimer>
#include <memory>

namespace paired {

// The paired phones' module beside the program, loaded on first use and only where KDE
// Connect or GSConnect runs, so that a start that never texts through them loads no D-Bus.
class LazyPairedPhones final : public PairedPhones {
  public:
    explicit LazyPairedPhones(QString modulePath);
    ~LazyPairedPhones() override;
    QList<PairedPhone> phones() override;
    HandOver send(const PairedPhone& phone, const QString& number, const QString& text) override;
    QList<PhoneText> texts(const PairedPhone& phone) override;
    // Where no service runs yet, the watch waits for one to start (KDE Connect started after
    // the program, say), looking every `lookEveryMs`; then `changed` runs.
    void watch(std::function<void()> changed) override;
    void watchTexts(std::function<void()> arrived) override;

    static constexpr int lookEveryMs = 10000;

  private:
    PairedPhones* loaded();
    void lookForService();

    QLibrary module_;
    std::unique_ptr<PairedPhones> loaded_;
    std::function<void()> changed_;
    std::function<void()> arrived_;
    std::unique_ptr<QTimer> waiting_;
};

// The name under which the module exports its factory.
inline constexpr char kPairedModuleFactory[] = "parlivo_create_paired_phones";
using PairedModuleFactory = PairedPhones* (*)();

} // namespace paired
