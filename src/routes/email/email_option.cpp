#include "routes/email/email_option.h"

#include "core/pointer.h"
#include "core/settings.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/settings_store.h"
#include "records/pending_file.h"
#include "routes/email/email_route.h"
#include "routes/email/gmail_login.h"
#include "routes/email/help_command.h"
#include "routes/email/mail/lazy_mail_module.h"

namespace email_route {

EmailOption::EmailOption(const model::RouteParts& parts)
    : ownMail_(std::make_unique<mail::LazyMailSubmitter>(
          parts.programFolder + QStringLiteral("/libparlivo_mail"), &parts.clock)),
      ownMailbox_(std::make_unique<mail::LazyMailboxReader>(
          parts.programFolder + QStringLiteral("/libparlivo_mail"), mail::gmailImapOptions())),
      mail_(*ownMail_), mailbox_(ownMailbox_.get()), settings_(parts.settings),
      login_(parts.settings, parts.keyring, parts.settingsFile, core::settings::kUser) {}

EmailOption::EmailOption(mail::MailSubmitter& mail, mail::MailboxReader* mailbox,
                         platform::SettingsStore& settings, platform::Keyring* keyring,
                         const QString& settingsFile)
    : mail_(mail), mailbox_(mailbox), settings_(settings),
      login_(settings, keyring, settingsFile, core::settings::kUser) {}

EmailOption::~EmailOption() = default;

std::unique_ptr<model::RouteOption> makeOption(const model::RouteParts& parts) {
    return std::make_unique<EmailOption>(parts);
}

bool EmailOption::showHelp(const model::CommandContext& c) {
    email_route::showHelp(c);
    return true;
}

QString EmailOption::id() const {
    return kRouteId;
}

QString EmailOption::label() {
    return QStringLiteral("E-mail through Gmail to the carriers' gateways");
}

std::unique_ptr<model::Route> EmailOption::open(const model::CommandContext& c,
                                                const QList<model::PendingSend>& sent,
                                                const model::Knowledge& known) {
    // A send started at once waits for the keyring's answer.
    const QString password = login_.password();
    return std::make_unique<EmailRoute>(c, mail_, Login{login_.userName(), password}, sent, known,
                                        dailyAllowance(settings_));
}

void EmailOption::bringNewsIntoLog(const model::CommandContext& c, model::Knowledge& known) {
    if (!mailbox_)
        return;
    const QString password = login_.password();
    const int pointer = c.pointer.style();
    c.pointer.setStyle(core::kBusyPointer);
    QString keptAs;
    try {
        keptAs = email_route::bringLogUpToDate(
            {*mailbox_, memory_, c.files, userAddress(login_.userName()), passwordToSend(password),
             c.clock.now(), kRouteId, &known, c.statuses, c.countryCode});
    } catch (...) {
        // The log opens as it is; pending sends wait for the next time.
    }
    c.pointer.setStyle(pointer);
    if (!keptAs.isEmpty())
        c.desktop.messageBox(records::pendingKeptAsideMessage(keptAs), platform::Buttons::Ok,
                             platform::Icon::None, c.applicationTitle);
}

qsizetype dailyAllowance(platform::SettingsStore& settings) {
    const QString workspace = settings.read(kWorkspaceSetting, QString());
    return workspace.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0
               ? kWorkspaceDailyRecipients
               : kGmailDailyRecipients;
}

} // namespace email_route
