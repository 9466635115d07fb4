#include "app/program.h"

#include "core/settings.h"
#include "notice/companion_notice.h"
#include "platform/clock.h"
#include "platform/helper_keyring.h"
#include "platform/qsettings_store.h"
#include "platform/qt_desktop.h"
#include "platform/random_source.h"

// The route list, made by the build from the routes src/routes/CMakeLists.txt registers.
namespace route_lists {
QList<model::RouteMaker> parlivo_routes();
}

namespace app {

QList<model::RouteMaker> registeredRoutes() {
    return route_lists::parlivo_routes();
}

// The real parts, each made only where the program's parts do not name one.
struct Program::Owned {
    std::optional<platform::QtDesktop> desktop;
    std::optional<platform::QSettingsStore> settings;
    std::optional<platform::SystemClock> clock;
    platform::SystemRandom random;
    std::unique_ptr<platform::HelperKeyring> keyring;
};

Program::Program(ProgramParts parts) : owned_(std::make_unique<Owned>()) {
    Owned& o = *owned_;
    platform::Desktop& desktop = parts.desktop ? *parts.desktop : o.desktop.emplace();
    platform::SettingsStore& settings =
        parts.settings
            ? *parts.settings
            : o.settings.emplace(platform::userSettingsFile(core::settings::kOrganisation),
                                 core::settings::kSection);
    const platform::Clock& clock = parts.clock ? *parts.clock : o.clock.emplace();
    const QString folder = parts.programFolder;
    if (parts.keyring)
        o.keyring =
            std::make_unique<platform::HelperKeyring>(folder + "/parlivo-keyring", kProductName);
    const QString settingsFile = o.settings ? o.settings->fileName() : QString();
    // Each route loads its module on first use, never before the window painted.
    const model::RouteParts routeParts{folder, settings, o.keyring.get(), settingsFile, clock};
    QList<model::RouteOption*> routes;
    for (const model::RouteMaker make : std::as_const(parts.routes))
        routes << routes_.emplace_back(make(routeParts)).get();
    window_ = std::make_unique<Form1>(
        Services{desktop, settings, clock, o.random, folder, parts.dataFolder,
                 parts.onlineCheck.value_or(connectivity::OnlineCheck{}), routes});
}

Program::~Program() {
    window_.reset(); // before the routes and parts it uses
}

void Program::start() {
    window_->Form_Load();
    window_->show();
    if (window_->notice()) { // shown first, it stays in front of the main window
        window_->notice()->keepClearOf(window_->frameGeometry());
        window_->notice()->raise();
    }
}

} // namespace app
