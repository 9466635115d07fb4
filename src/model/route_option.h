#pragma once

#include "model/command_context.h"
#include "model/knowledge.h"
#include "model/route.h"
#include "model/send_plan.h"
#include "model/send_records.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>

namespace core {
class KeptLogin;
}
namespace platform {
class Clock;
class Keyring;
class SettingsStore;
} // namespace platform

namespace model {

// What a route is made with: the program's folder (its modules beside it), the settings, the
// keyring and the clock.
struct RouteParts {
    QString programFolder;
    platform::SettingsStore& settings;
    platform::Keyring* keyring; // none: passwords stay in the settings file
    QString settingsFile;       // named when a password must stay in it
    const platform::Clock& clock;
};

// One route the window offers: its name in the route choice, the route a send takes through
// it, and what it has heard of recent sends. Each route's room holds one; the program wires
// them, and nothing else names a route.
class RouteOption {
  public:
    virtual ~RouteOption() = default;
    // How the files and the settings name the route: "email", "modem".
    virtual QString id() const = 0;
    // The route as the route choice shows it; nothing while it cannot be used here (no modem
    // found, say). A route on a device asks the device: only once the window has painted.
    virtual QString label() = 0;
    // Whether `label` asks a device (a modem); such a route is looked for only once the window
    // has painted, and taken as away until then.
    virtual bool onADevice() const { return false; }
    // The entries the route choice shows for the route: the route itself, or one for each
    // device it can send through (each paired phone, say), each with its own id, labels and
    // route, and kept for as long as the route. Asked as `label` is; the route's own `watch`
    // and news stand for all its entries.
    virtual QList<RouteOption*> choices() { return {this}; }
    // The route as the choice shows it while the user chose it and its device is away, so
    // that the choice is not lost; nothing: not shown while away.
    virtual QString awayLabel() const { return {}; }
    // Whether the window's Gmail login and carrier list are what the route sends with; the
    // window says they are unused while another route is chosen.
    virtual bool takesLoginAndCarriers() const { return false; }
    // The login the route keeps and sends with, which the window's login boxes show and edit;
    // none for a route that keeps its own out of sight or needs none.
    virtual core::KeptLogin* windowLogin() { return nullptr; }
    // `changed` runs whenever `label` may have changed (a modem plugged in or taken away).
    // Asked once the window has painted.
    virtual void watch(std::function<void()> changed) { Q_UNUSED(changed); }
    // What the route choice offers for setting the route up (where the user tells it where
    // and how to send), or nothing for a route that needs no setting up.
    virtual QString setUpLabel() { return {}; }
    // Asks the user what the route needs, tries it, and tells how that went; true when the
    // route is here afterwards.
    virtual bool setUp(const CommandContext& c) {
        Q_UNUSED(c);
        return false;
    }
    // The route one send takes, with the sends of the last days as the send's ledger holds
    // them (growing while it runs) and what is known of each phone.
    virtual std::unique_ptr<Route> open(const CommandContext& c, const QList<PendingSend>& sent,
                                        const Knowledge& known) = 0;
    // `arrived` runs on the event loop whenever news for the log may have come to the route
    // (a text or a delivery report the modem received); the caller then brings it in.
    virtual void watchNews(std::function<void()> arrived) { Q_UNUSED(arrived); }
    // How often a route that must be asked for its news is asked while the program runs, in
    // seconds; 0: never.
    virtual int newsEverySeconds() { return 0; }
    // Asked every newsEverySeconds: brings in what the route heard of its recent sends, as
    // bringNewsIntoLog does.
    virtual void pollNews(const CommandContext& c, Knowledge& known) {
        Q_UNUSED(c);
        Q_UNUSED(known);
    }
    // What the route heard of recent sends (bounces, delivery reports, replies), brought into
    // the log before "View Log" opens it; `known` learns from it. Shows only what concerns
    // the user (a list kept aside, say).
    virtual void bringNewsIntoLog(const CommandContext& c, Knowledge& known) {
        Q_UNUSED(c);
        Q_UNUSED(known);
    }
    // "Help": shows how to set the route's account up; false when it has nothing to show.
    virtual bool showHelp(const CommandContext& c) {
        Q_UNUSED(c);
        return false;
    }
};

// Makes a route the program offers; each route's folder holds one, and the route list names
// them in the order the route choice shows them.
using RouteMaker = std::unique_ptr<RouteOption> (*)(const RouteParts& parts);

} // namespace model
