#pragma once

#include "core/stored_password.h"

#include <QString>
#include <memory>

namespace platform {
class Keyring;
class SettingsStore;
} // namespace platform

namespace core {

// A login kept between runs: the user name in the settings, the password where
// StoredPassword keeps it. Its holder sends with it; a window may show and edit it.
class KeptLogin {
  public:
    // `keyring`: none, and the password stays in the settings file.
    KeptLogin(platform::SettingsStore& settings, platform::Keyring* keyring, QString settingsFile,
              QString userNameKey);
    ~KeptLogin();

    // How the window showing the login is told: a settings write (and its failure), the
    // password as loaded, where it is kept. Given before `load`.
    void showIn(StoredPassword::Hooks hooks);
    QString storedUserName() const;
    // Reads the stored password, from the keyring once the window has painted.
    void load();
    // Each edit of the boxes; the password follows a new user name into the keyring.
    void setUserName(const QString& userName);
    void setPassword(const QString& password);
    // The login as it stands, once the stored password is in (at most the keyring's time).
    QString userName() const { return userName_; }
    QString password();
    // Before the program ends: the last change stored.
    void finish();

  private:
    StoredPassword& stored();

    platform::SettingsStore& settings_;
    platform::Keyring* keyring_;
    QString settingsFile_;
    QString userNameKey_;
    StoredPassword::Hooks hooks_;
    QString userName_;
    bool loading_ = false;
    std::unique_ptr<StoredPassword> stored_;
};

} // namespace core
