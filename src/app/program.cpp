#include "app/program.h"

#include "core/settings.h"
#include "mail/lazy_mail_module.h"
#include "modem/lazy_text_modem.h"
#include "notice/companion_notice.h"
#include "phone/lazy_phone_gateway.h"
#include "platform/clock.h"
#include "platform/helper_keyring.h"
#include "platform/qsettings_store.h"
#include "platform/qt_desktop.h"
#include "platform/random_source.h"

namespace app {

RouteOptions::RouteOptions(const Parts& parts)
    : email(parts.mail, parts.mailbox, parts.settings), modem(parts.modem, parts.settings),
      phone(parts.phone, parts.settings, parts.keyring, parts.settingsFile) {}

// The real parts, each made only where the program's parts do not name one.
struct Program::Owned {
    std::optional<platform::QtDesktop> desktop;
    std::optional<platform::QSettingsStore> settings;
    std::optional<platform::SystemClock> clock;
    platform::SystemRandom random;
    std::unique_ptr<mail::LazyMailSubmitter> mail;
    std::unique_ptr<mail::LazyMailboxReader> mailbox;
    std::unique_ptr<platform::HelperKeyring> keyring;
    std::unique_ptr<modem::LazyTextModem> modem;
    std::unique_ptr<phone::LazyPhoneGateway> phone;
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
    o.mail = std::make_unique<mail::LazyMailSubmitter>(folder + "/libparlivo_mail", &clock);
    o.mailbox = std::make_unique<mail::LazyMailboxReader>(folder + "/libparlivo_mail",
                                                          mail::gmailImapOptions());
    if (parts.keyring)
        o.keyring =
            std::make_unique<platform::HelperKeyring>(folder + "/parlivo-keyring", kProductName);
    // Each module is loaded on its first use, never before the window painted: the modem's
    // when the window looks for the routes (only where ModemManager runs), the phone's when
    // the phone is set up, asked for news or sent to, the mail module's on the first send or
    // "View Log" by e-mail.
    o.modem = std::make_unique<modem::LazyTextModem>(folder + "/libparlivo_modem");
    o.phone = std::make_unique<phone::LazyPhoneGateway>(folder + "/libparlivo_phone");
    const QString settingsFile = o.settings ? o.settings->fileName() : QString();
    routes_ = std::make_unique<RouteOptions>(RouteOptions::Parts{*o.mail, o.mailbox.get(),
                                                                 o.modem.get(), *o.phone, settings,
                                                                 o.keyring.get(), settingsFile});
    window_ = std::make_unique<Form1>(
        Services{desktop, settings, clock, o.random, folder, parts.dataFolder,
                 parts.onlineCheck.value_or(connectivity::OnlineCheck{}), o.keyring.get(),
                 settingsFile, routes_->all()});
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
