#pragma once

#include "model/route_option.h"
#include "routes/kdeconnect/device/paired_phones.h"

#include <map>
#include <memory>

namespace platform {
class SettingsStore;
}

namespace kdeconnect_route {

// Texts through one paired phone, as the route choice offers it while the phone is reachable.
class PairedChoice final : public model::RouteOption {
  public:
    PairedChoice(paired::PairedPhones& phones, platform::SettingsStore& settings,
                 paired::PairedPhone phone)
        : phones_(phones), settings_(settings), phone_(std::move(phone)) {}
    QString id() const override;
    QString label() override;
    bool onADevice() const override { return true; }
    QString awayLabel() const override;
    std::unique_ptr<model::Route> open(const model::CommandContext& c,
                                       const QList<model::PendingSend>& sent,
                                       const model::Knowledge& known) override;

    const paired::PairedPhone& phone() const { return phone_; }
    void seenAs(const paired::PairedPhone& phone) { phone_ = phone; }

  private:
    paired::PairedPhones& phones_;
    platform::SettingsStore& settings_;
    paired::PairedPhone phone_;
};

// Texts through the phones paired with this desktop by KDE Connect or GSConnect: one choice a
// phone, each coming and going with its phone. Its news is what the phones' conversations show.
class KdeConnectOption final : public model::RouteOption {
  public:
    // On the paired phones' module beside the program, loaded once the window looks for the
    // routes, and only where KDE Connect or GSConnect runs.
    explicit KdeConnectOption(const model::RouteParts& parts);
    // `phones`: none where no pairing service runs, and no phone is offered.
    KdeConnectOption(paired::PairedPhones* phones, platform::SettingsStore& settings);
    ~KdeConnectOption() override;
    QString id() const override { return QStringLiteral("kdeconnect"); }
    QString label() override { return {}; }
    bool onADevice() const override { return true; }
    QList<model::RouteOption*> choices() override;
    void watch(std::function<void()> changed) override;
    void watchNews(std::function<void()> arrived) override;
    std::unique_ptr<model::Route> open(const model::CommandContext& c,
                                       const QList<model::PendingSend>& sent,
                                       const model::Knowledge& known) override;
    void bringNewsIntoLog(const model::CommandContext& c, model::Knowledge& known) override;

  private:
    PairedChoice& choiceFor(const paired::PairedPhone& phone);

    std::unique_ptr<paired::PairedPhones> ownPhones_;
    paired::PairedPhones* phones_;
    platform::SettingsStore& settings_;
    // Every phone seen this run or remembered from before, by route id; kept for the run.
    std::map<QString, std::unique_ptr<PairedChoice>> choices_;
};

// The route as the program offers it.
std::unique_ptr<model::RouteOption> makeOption(const model::RouteParts& parts);

} // namespace kdeconnect_route
