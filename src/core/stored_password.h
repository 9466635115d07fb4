#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

namespace platform {
class Keyring;
class SettingsStore;
} // namespace platform

namespace core {

// Where the password box's text is kept between runs: the desktop's keyring when one
// answers, else the settings file (readable by its owner only). Nothing waits on the keyring
// while the user types: changes are written a moment after typing pauses, the last one before
// the program ends. A password found in the settings file (an earlier version's, or kept there
// while no keyring answered) moves into the keyring, and leaves the file only once the keyring
// has confirmed it.
class StoredPassword final : public QObject {
  public:
    struct Hooks {
        // Writes a settings key, telling the user of a failure as the window does.
        std::function<void(const QString& key, const QString& text)> writeSetting;
        // The password as the keyring or the file gave it, once, unless the user typed first.
        std::function<void(const QString& password)> loaded;
        // Told once, as the program ends with a password kept in the settings file (and again
        // only after the keyring took the password meanwhile): where it is kept, and why.
        std::function<void(const QString& message)> keptInFile;
    };

    // No keyring: the settings file, as on a desktop that has none, without telling.
    StoredPassword(platform::SettingsStore& settings, platform::Keyring* keyring,
                   QString settingsFile, Hooks hooks, int answerLimitMs = 5000, int pauseMs = 300);

    // The keyring keeps the password under the user name; a new name takes the password along.
    void setAccount(const QString& userName);
    // The settings keys of the password kept in the file, and of the note that it is there:
    // "Password" and "Password Kept Here Told" unless set before `load`.
    void keepUnder(const QString& passwordKey, const QString& toldKey);

    // Reads the password: at once from the file without a keyring, otherwise when the keyring
    // answers or its time is up.
    void load();
    // Runs the event loop until the password is loaded (at most the keyring's time).
    void waitUntilLoaded();
    // Every change of the box.
    void store(const QString& password);
    // The password as it stands: loaded, or typed since.
    QString current() const { return current_; }
    // Before the program ends: waits (at most the keyring's time) for the last change to land;
    // what the keyring did not confirm is kept in the settings file, and told.
    void finish();

  private:
    enum class Place { Unknown, Keyring, File };

    void answered(const QString& fromKeyring, bool keyringAnswered);
    void useFile();
    void tellKeptInFile();
    void writeToKeyring();
    void wrote(const QString& written, const QString& account, bool done);
    bool settled() const;
    // Runs the event loop until `done` or `ms` have passed; true when done.
    bool waitFor(const std::function<bool()>& done, int ms);
    // A reply that reaches this object only while it is the awaited request.
    std::function<void(int, const QString&)> awaited(std::function<void(int, const QString&)> use);

    platform::SettingsStore& settings_;
    platform::Keyring* keyring_;
    QString passwordKey_;
    QString toldKey_;
    QString account_;
    QString settingsFile_;
    Hooks hooks_;
    int answerLimitMs_;
    Place place_ = Place::Unknown;
    bool loaded_ = false;
    bool typedBeforeLoad_ = false;
    bool fileHolds_ = false; // the settings file holds a password
    QString filePassword_;
    QString current_;          // what the box last showed
    QString confirmed_;        // what the keyring last confirmed
    QString confirmedAccount_; // and under which user name
    bool writing_ = false;
    QTimer pause_; // the pause after typing before a write
    QTimer limit_; // the keyring's time for one answer
    // The number of the request whose answer is awaited; a late answer to an earlier one, or
    // one that comes after this object is gone, is dropped.
    std::shared_ptr<int> request_ = std::make_shared<int>(0);
};

} // namespace core
