#include "core/kept_login.h"

#include "platform/settings_store.h"

namespace core {

KeptLogin::KeptLogin(platform::SettingsStore& settings, platform::Keyring* keyring,
                     QString settingsFile, QString userNameKey)
    : settings_(settings), keyring_(keyring), settingsFile_(std::move(settingsFile)),
      userNameKey_(std::move(userNameKey)), userName_(settings.read(userNameKey_, QString())) {
    hooks_.writeSetting = [this](const QString& key, const QString& text) {
        settings_.write(key, text);
    };
}

KeptLogin::~KeptLogin() = default;

void KeptLogin::showIn(StoredPassword::Hooks hooks) {
    hooks_ = std::move(hooks);
    stored_.reset();
}

StoredPassword& KeptLogin::stored() {
    if (!stored_) {
        stored_ = std::make_unique<StoredPassword>(settings_, keyring_, settingsFile_, hooks_);
        stored_->setAccount(userName_);
    }
    return *stored_;
}

QString KeptLogin::storedUserName() const {
    return settings_.read(userNameKey_, QString());
}

void KeptLogin::load() {
    loading_ = true;
    stored().load();
}

void KeptLogin::setUserName(const QString& userName) {
    userName_ = userName;
    hooks_.writeSetting(userNameKey_, userName);
    stored().setAccount(userName);
}

void KeptLogin::setPassword(const QString& password) {
    stored().store(password);
}

QString KeptLogin::password() {
    if (!loading_)
        load(); // no window asked for it: read it now
    stored().waitUntilLoaded();
    return stored().current();
}

void KeptLogin::finish() {
    if (stored_)
        stored_->finish();
}

} // namespace core
