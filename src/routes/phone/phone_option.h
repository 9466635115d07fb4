#pragma once

#include "model/route_option.h"
#include "routes/phone/app/phone_api.h"
#include "routes/phone/phone_route.h"

#include <memory>

namespace core {
class StoredPassword;
}
namespace platform {
class Keyring;
class SettingsStore;
} // namespace platform

namespace phone_route {

// Texts through the user's own Android phone, as the window offers them: here once the user
// set up the phone's address, user name and password (the password in the desktop's keyring,
// as Gmail's is). Its news is what the phone's app tells of recent sends and the texts the
// phone received.
class PhoneOption final : public model::RouteOption {
  public:
    // On the phone module beside the program, loaded when the phone is first asked.
    explicit PhoneOption(const model::RouteParts& parts);
    // `keyring`: none, and the password stays in the settings file.
    PhoneOption(phone::PhoneGateway& gateway, platform::SettingsStore& settings,
                platform::Keyring* keyring, QString settingsFile);
    ~PhoneOption() override;
    QString id() const override { return kRouteId; }
    QString label() override;
    QString setUpLabel() override;
    bool setUp(const model::CommandContext& c) override;
    std::unique_ptr<model::Route> open(const model::CommandContext& c,
                                       const QList<model::PendingSend>& sent,
                                       const model::Knowledge& known) override;
    void bringNewsIntoLog(const model::CommandContext& c, model::Knowledge& known) override;
    int newsEverySeconds() override;
    // While a text went through the phone in the last day.
    void pollNews(const model::CommandContext& c, model::Knowledge& known) override;

  private:
    // What the phone tells of recent sends, brought into the log and the statuses.
    void takeNews(const model::CommandContext& c, model::Knowledge& known);
    // The address and user name as set up, with the password as kept (read once, waiting for
    // the keyring at most its time).
    phone::PhoneLogin login(const model::CommandContext& c);
    // The password kept for `account`, told through `c` when it must stay in the file.
    core::StoredPassword& password(const model::CommandContext& c, const QString& account);

    std::unique_ptr<phone::PhoneGateway> ownGateway_;
    phone::PhoneGateway& gateway_;
    platform::SettingsStore& settings_;
    platform::Keyring* keyring_;
    QString settingsFile_;
    std::unique_ptr<core::StoredPassword> password_;
    QString passwordAccount_;
    QString passwordRead_;
};

// The route as the program offers it.
std::unique_ptr<model::RouteOption> makeOption(const model::RouteParts& parts);

// The pace the settings give: "Phone Parts A Minute" (10 unless set, 0 for no pause), "Phone
// Parts A Day" (500 unless set) and "Phone Seconds To Send" (60 unless set).
PhonePace phonePace(platform::SettingsStore& settings);

} // namespace phone_route
