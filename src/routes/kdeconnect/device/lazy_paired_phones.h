#pragma once

#include "routes/kdeconnect/device/paired_phones.h"

#include <QLibrary>
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
    void watch(std::function<void()> changed) override;
    void watchTexts(std::function<void()> arrived) override;

  private:
    PairedPhones* loaded();

    QLibrary module_;
    std::unique_ptr<PairedPhones> loaded_;
};

// The name under which the module exports its factory.
inline constexpr char kPairedModuleFactory[] = "parlivo_create_paired_phones";
using PairedModuleFactory = PairedPhones* (*)();

} // namespace paired
