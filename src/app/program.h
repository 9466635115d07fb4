#pragma once

#include "app/main_window.h"
#include "connectivity/online_check.h"
#include "model/route_option.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace app {

// The routes the route list registers, in the order the route choice shows them.
QList<model::RouteMaker> registeredRoutes();

// What the program is made of. main builds it from the real parts; a test may give its own
// desktop, settings, clock, online check and routes, and the rest is wired as main wires it.
struct ProgramParts {
    QString programFolder; // the executable's folder: its modules, helper and files
    QString dataFolder;
    platform::Desktop* desktop = nullptr;                 // none: the real desktop
    platform::SettingsStore* settings = nullptr;          // none: the user's settings file
    const platform::Clock* clock = nullptr;               // none: the system clock
    std::optional<connectivity::OnlineCheck> onlineCheck; // none: the real check
    bool keyring = true; // false: the password stays in the settings, with no helper asked
    QList<model::RouteMaker> routes = registeredRoutes();
};

// The whole program: the keyring helper, each route with its module loaded on first use once
// the window has painted, and the main window on them.
class Program {
  public:
    explicit Program(ProgramParts parts);
    ~Program();
    // Runs the window's start-up and shows it, the notice in front.
    void start();
    Form1& window() { return *window_; }

  private:
    struct Owned;
    std::unique_ptr<Owned> owned_;
    std::vector<std::unique_ptr<model::RouteOption>> routes_;
    std::unique_ptr<Form1> window_;
};

} // namespace app
