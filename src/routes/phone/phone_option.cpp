#include "routes/phone/phone_option.h"

#include "core/pointer.h"
#include "core/stored_password.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/settings_store.h"
#include "records/pending_file.h"
#include "routes/phone/app/lazy_phone_gateway.h"
#include "routes/phone/phone_news.h"

#include <algorithm>

namespace phone_route {

namespace {
QString shown(const QUrl& base) {
    return base.toString(QUrl::RemoveUserInfo | QUrl::RemoveScheme).mid(2);
}

QString accountOf(const QString& user, const QUrl& base) {
    return QStringLiteral("phone %1 at %2").arg(user, shown(base));
}
} // namespace

PhoneOption::PhoneOption(const model::RouteParts& parts)
    : ownGateway_(std::make_unique<phone::LazyPhoneGateway>(parts.programFolder +
                                                            QStringLiteral("/libparlivo_phone"))),
      gateway_(*ownGateway_), settings_(parts.settings), keyring_(parts.keyring),
      settingsFile_(parts.settingsFile) {}

std::unique_ptr<model::RouteOption> makeOption(const model::RouteParts& parts) {
    return std::make_unique<PhoneOption>(parts);
}

PhoneOption::PhoneOption(phone::PhoneGateway& gateway, platform::SettingsStore& settings,
                         platform::Keyring* keyring, QString settingsFile)
    : gateway_(gateway), settings_(settings), keyring_(keyring),
      settingsFile_(std::move(settingsFile)) {}

PhoneOption::~PhoneOption() = default;

QString PhoneOption::label() {
    const QUrl base(settings_.read(kAddressSetting, QString()));
    if (!base.isValid() || base.host().isEmpty() || settings_.read(kUserSetting, {}).isEmpty())
        return {};
    // An address that would carry the password off the user's own network is named so.
    if (!phone::phoneAddress(base.toString()).problem.isEmpty())
        return QStringLiteral("Texts through your phone (%1: refused, it would expose the "
                              "password)")
            .arg(shown(base));
    return QStringLiteral("Texts through your phone (%1)").arg(shown(base));
}

QString PhoneOption::setUpLabel() {
    return label().isEmpty() ? QStringLiteral("Texts through your Android phone (set up…)")
                             : QStringLiteral("Set up the phone again…");
}

core::StoredPassword& PhoneOption::password(const model::CommandContext& c,
                                            const QString& account) {
    if (!password_ || passwordAccount_ != account) {
        core::StoredPassword::Hooks hooks;
        hooks.writeSetting = [this](const QString& key, const QString& text) {
            settings_.write(key, text);
        };
        hooks.loaded = [this](const QString& password) { passwordRead_ = password; };
        platform::Desktop* desktop = &c.desktop;
        const QString title = c.applicationTitle;
        hooks.keptInFile = [desktop, title](const QString& message) {
            desktop->messageBox(message, platform::Buttons::Ok, platform::Icon::None, title);
        };
        password_ =
            std::make_unique<core::StoredPassword>(settings_, keyring_, settingsFile_, hooks);
        password_->keepUnder(kPasswordSetting, kPasswordToldSetting);
        password_->setAccount(account);
        passwordAccount_ = account;
        passwordRead_.clear();
        password_->load();
    }
    return *password_;
}

phone::PhoneLogin PhoneOption::login(const model::CommandContext& c) {
    const QUrl base(settings_.read(kAddressSetting, QString()));
    const QString user = settings_.read(kUserSetting, QString());
    // The password goes only with the address it was kept for, and never off the user's own
    // network in plain HTTP: the address is asked as it stands, with none.
    const QString keptFor = settings_.read(kPasswordAddressSetting, QString());
    if (!phone::phoneAddress(base.toString()).problem.isEmpty() ||
        (!keptFor.isEmpty() && keptFor != base.toString()))
        return {base, user, {}};
    password(c, accountOf(user, base)).waitUntilLoaded();
    return {base, user, passwordRead_};
}

bool PhoneOption::setUp(const model::CommandContext& c) {
    const auto tell = [&c](const QString& message) {
        c.pointer.setStyle(core::kDefaultPointer);
        c.desktop.messageBox(message, platform::Buttons::Ok, platform::Icon::None,
                             c.applicationTitle);
    };
    const QString typed = c.desktop.inputBox(
        QStringLiteral("The address of your phone, as SMS Gateway for Android shows it under "
                       "Local Server (for example 192.168.1.20:8080). The phone must be on this "
                       "network, with the app's local server on."),
        c.applicationTitle);
    if (typed.trimmed().isEmpty())
        return false;
    const phone::PhoneAddress address = phone::phoneAddress(typed);
    if (!address.problem.isEmpty()) {
        tell(address.problem);
        return false;
    }
    const QString user = c.desktop.inputBox(
        QStringLiteral("The user name SMS Gateway shows under Local Server:"), c.applicationTitle);
    if (user.trimmed().isEmpty())
        return false;
    const QString secret = c.desktop.passwordBox(
        QStringLiteral("The password SMS Gateway shows under Local Server:"), c.applicationTitle);
    if (secret.isEmpty())
        return false;
    // The first contact tells before anything is kept: not answering, not ready, the login.
    const int pointer = c.pointer.style();
    c.pointer.setStyle(core::kBusyPointer);
    const phone::PhoneLogin tried{address.base, user.trimmed(), secret};
    phone::Answer answer = phone::health(gateway_, tried);
    if (answer.outcome == phone::Outcome::Done)
        phone::inbox(gateway_, tried, {}, &answer, 1);
    c.pointer.setStyle(pointer);
    if (answer.outcome != phone::Outcome::Done) {
        tell(notReachedMessage(answer, shown(address.base), tried.user)
                 .replace(QStringLiteral("Nothing was sent: "),
                          QStringLiteral("The phone was not set up: ")));
        return false;
    }
    settings_.write(kAddressSetting, address.base.toString());
    settings_.write(kPasswordAddressSetting, address.base.toString());
    settings_.write(kUserSetting, tried.user);
    core::StoredPassword& kept = password(c, accountOf(tried.user, address.base));
    kept.waitUntilLoaded();
    kept.store(secret);
    kept.finish();
    passwordRead_ = secret;
    tell(QStringLiteral("Parlivo reaches your phone at %1. Texts go through it when you choose it "
                        "under \"Send by\"; the app may pace them further as its own settings "
                        "say.")
             .arg(shown(address.base)));
    return true;
}

std::unique_ptr<model::Route> PhoneOption::open(const model::CommandContext& c,
                                                const QList<model::PendingSend>&,
                                                const model::Knowledge&) {
    const phone::PhoneLogin phone = login(c);
    return std::make_unique<PhoneRoute>(c, gateway_, phone, shown(phone.base),
                                        phonePace(settings_));
}

void PhoneOption::bringNewsIntoLog(const model::CommandContext& c, model::Knowledge& known) {
    const int pointer = c.pointer.style();
    c.pointer.setStyle(core::kBusyPointer); // the user asked: the log opens once it is in
    takeNews(c, known);
    c.pointer.setStyle(pointer);
}

void PhoneOption::takeNews(const model::CommandContext& c, model::Knowledge& known) {
    if (label().isEmpty())
        return;
    const phone::PhoneLogin phone = login(c);
    if (!phone.password.isEmpty())
        bringPhoneNewsIntoLog(gateway_, phone, c, known);
}

int PhoneOption::newsEverySeconds() {
    bool ok = false;
    const int seconds = settings_.read(kNewsEverySecondsSetting, QString()).toInt(&ok);
    return ok && seconds > 0 ? seconds : 60;
}

void PhoneOption::pollNews(const model::CommandContext& c, model::Knowledge& known) {
    const QDateTime dayAgo = c.clock.now().toUTC().addDays(-1);
    const QList<model::PendingSend> sends = records::loadPendingSends(c.files.pending);
    if (std::any_of(sends.cbegin(), sends.cend(), [&](const model::PendingSend& send) {
            return send.route == kRouteId && send.sentUtc > dayAgo;
        }))
        takeNews(c, known); // behind the user's back: the pointer stays as it is
}

PhonePace phonePace(platform::SettingsStore& settings) {
    PhonePace pace;
    static_cast<sending::TextingPace&>(pace) =
        sending::textingPace(settings, kPartsPerMinuteSetting, kPartsPerDaySetting);
    bool ok = false;
    const int seconds = settings.read(kSecondsToSendSetting, QString()).toInt(&ok);
    if (ok && seconds > 0)
        pace.sentWithinSeconds = seconds;
    return pace;
}

} // namespace phone_route
