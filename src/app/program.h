#pragma once

#include "app/main_window.h"
#include "connectivity/online_check.h"
#include "routes/email/email_option.h"
#include "routes/modem/modem_option.h"
#include "routes/phone/phone_option.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace mail {
class MailboxReader;
class MailSubmitter;
} // namespace mail
namespace modem {
class TextModem;
}
namespace phone {
class PhoneGateway;
}

namespace app {

// The routes the program offers, in the order the route choice shows them: e-mail first,
// always here, then the modem while ModemManager reports one, then the user's phone once set
// up.
struct RouteOptions {
    struct Parts {
        mail::MailSubmitter& mail;
        mail::MailboxReader* mailbox;
        modem::TextModem* modem;
        phone::PhoneGateway& phone;
        platform::SettingsStore& settings;
        platform::Keyring* keyring;
        QString settingsFile;
    };
    explicit RouteOptions(const Parts& parts);
    QList<model::RouteOption*> all() { return {&email, &modem, &phone}; }

    email_route::EmailOption email;
    modem_route::ModemOption modem;
    phone_route::PhoneOption phone;
};

// What the program is made of. main builds it from the real parts; a test may give its own
// desktop, settings, clock and online check, and the rest is wired as main wires it.
struct ProgramParts {
    QString programFolder; // the executable's folder: its modules, helper and files
    QString dataFolder;
    platform::Desktop* desktop = nullptr;                 // none: the real desktop
    platform::SettingsStore* settings = nullptr;          // none: the user's settings file
    const platform::Clock* clock = nullptr;               // none: the system clock
    std::optional<connectivity::OnlineCheck> onlineCheck; // none: the real check
    bool keyring = true; // false: the password stays in the settings, with no helper asked
};

// The whole program: the mail, modem and phone modules loaded on first use once the window has
// painted (the modem's only where ModemManager runs), the keyring helper, the routes, and the
// main window on them.
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
    std::unique_ptr<RouteOptions> routes_;
    std::unique_ptr<Form1> window_;
};

} // namespace app
