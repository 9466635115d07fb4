#pragma once

#include "core/kept_login.h"
#include "model/route_option.h"
#include "routes/email/mailbox_news.h"

namespace mail {
class MailboxReader;
class MailSubmitter;
} // namespace mail
namespace platform {
class Keyring;
class SettingsStore;
} // namespace platform

namespace email_route {

// Texts by e-mail to the carriers' gateways, as the window offers them: always here. Its news
// is what the Gmail mailbox holds of recent sends (bounces, carriers' reports, replies).
class EmailOption final : public model::RouteOption {
  public:
    // On the mail module beside the program, loaded on the first send or check.
    explicit EmailOption(const model::RouteParts& parts);
    // `mailbox`: none, and no news is read; `keyring`: none, and the password stays in the
    // settings file.
    EmailOption(mail::MailSubmitter& mail, mail::MailboxReader* mailbox,
                platform::SettingsStore& settings, platform::Keyring* keyring = nullptr,
                const QString& settingsFile = {});
    ~EmailOption() override;
    QString id() const override;
    QString label() override;
    bool takesLoginAndCarriers() const override { return true; }
    // The Gmail login: the user name in the settings, the password in the keyring.
    core::KeptLogin* windowLogin() override { return &login_; }
    std::unique_ptr<model::Route> open(const model::CommandContext& c,
                                       const QList<model::PendingSend>& sent,
                                       const model::Knowledge& known) override;
    void bringNewsIntoLog(const model::CommandContext& c, model::Knowledge& known) override;
    bool showHelp(const model::CommandContext& c) override;

  private:
    std::unique_ptr<mail::MailSubmitter> ownMail_;
    std::unique_ptr<mail::MailboxReader> ownMailbox_;
    mail::MailSubmitter& mail_;
    mail::MailboxReader* mailbox_;
    platform::SettingsStore& settings_;
    email_route::DeliveryCheckMemory memory_;
    core::KeptLogin login_;
};

// The route as the program offers it.
std::unique_ptr<model::RouteOption> makeOption(const model::RouteParts& parts);

// The recipients the account takes in 24 hours, as the settings say: 2,000 with
// "Google Workspace=True", 500 otherwise.
qsizetype dailyAllowance(platform::SettingsStore& settings);
inline const QString kWorkspaceSetting = QStringLiteral("Google Workspace");

} // namespace email_route
