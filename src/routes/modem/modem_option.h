#pragma once

#include "model/route_option.h"
#include "routes/modem/modem_route.h"
#include "routes/modem/modem_texts.h"

namespace modem {
class TextModem;
}
namespace platform {
class SettingsStore;
}

namespace modem_route {

// Texts through the computer's modem, as the window offers them: while ModemManager reports a
// modem that can send texts. Its news is what the modem holds: delivery reports and texts
// received.
class ModemOption final : public model::RouteOption {
  public:
    // On the modem module beside the program, loaded once the window looks for the routes,
    // and only where ModemManager runs.
    explicit ModemOption(const model::RouteParts& parts);
    // `modem`: none where ModemManager does not run, and the route is never offered.
    ModemOption(modem::TextModem* modem, platform::SettingsStore& settings);
    ~ModemOption() override;
    QString id() const override { return kRouteId; }
    QString label() override;
    bool onADevice() const override { return true; }
    QString awayLabel() const override;
    void watch(std::function<void()> changed) override;
    void watchNews(std::function<void()> arrived) override;
    std::unique_ptr<model::Route> open(const model::CommandContext& c,
                                       const QList<model::PendingSend>& sent,
                                       const model::Knowledge& known) override;
    void bringNewsIntoLog(const model::CommandContext& c, model::Knowledge& known) override;

  private:
    std::unique_ptr<modem::TextModem> ownModem_;
    modem::TextModem* modem_;
    platform::SettingsStore& settings_;
};

// The route as the program offers it.
std::unique_ptr<model::RouteOption> makeOption(const model::RouteParts& parts);

} // namespace modem_route
