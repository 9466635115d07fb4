#include "core/stored_password.h"

#include "core/settings.h"
#include "platform/keyring.h"
#include "platform/settings_store.h"

#include <QEventLoop>

namespace core {

using platform::Keyring;

namespace {
// What no stored password can be: tells a missing key from an empty value.
const QString kAbsent = QStringLiteral("\x01 absent");
// The keyring is asked this long after start-up began, when the window has painted.
constexpr int kAskAfterPaintMs = 100;
} // namespace

StoredPassword::StoredPassword(platform::SettingsStore& settings, platform::Keyring* keyring,
                               QString settingsFile, Hooks hooks, int answerLimitMs, int pauseMs)
    : settings_(settings), keyring_(keyring), passwordKey_(settings::kPassword),
      toldKey_(settings::kPasswordInFileTold), settingsFile_(std::move(settingsFile)),
      hooks_(std::move(hooks)), answerLimitMs_(answerLimitMs) {
    pause_.setSingleShot(true);
    pause_.setInterval(pauseMs);
    connect(&pause_, &QTimer::timeout, this, [this] { writeToKeyring(); });
    limit_.setSingleShot(true);
}

std::function<void(int, const QString&)>
StoredPassword::awaited(std::function<void(int, const QString&)> use) {
    const int id = ++*request_;
    std::weak_ptr<int> request = request_;
    limit_.disconnect();
    connect(&limit_, &QTimer::timeout, this, [this, use] {
        ++*request_; // the answer that never came is dropped if it comes after all
        use(int(Keyring::Answer::Unavailable), QString());
    });
    limit_.start(answerLimitMs_);
    return [this, request, id, use](int answer, const QString& secret) {
        const auto current = request.lock();
        if (!current || *current != id)
            return;
        limit_.stop();
        use(answer, secret);
    };
}

void StoredPassword::setAccount(const QString& userName) {
    account_ = userName.trimmed();
    if (loaded_ && place_ == Place::Keyring && account_ != confirmedAccount_)
        pause_.start();
}

void StoredPassword::keepUnder(const QString& passwordKey, const QString& toldKey) {
    passwordKey_ = passwordKey;
    toldKey_ = toldKey;
}

void StoredPassword::load() {
    const QString stored = settings_.read(passwordKey_, kAbsent);
    fileHolds_ = stored != kAbsent;
    filePassword_ = fileHolds_ ? stored : QString();
    if (!keyring_) {
        place_ = Place::File;
        answered(QString(), false);
        return;
    }
    // Asked once the window has painted: the answer fills the box when it comes.
    QTimer::singleShot(kAskAfterPaintMs, this, [this] {
        const auto reply = awaited([this](int answer, const QString& secret) {
            answered(secret, Keyring::Answer(answer) != Keyring::Answer::Unavailable);
        });
        keyring_->read(account_, [reply](Keyring::Answer answer, const QString& secret) {
            reply(int(answer), secret);
        });
    });
}

void StoredPassword::answered(const QString& fromKeyring, bool keyringAnswered) {
    loaded_ = true;
    QString value = filePassword_;
    if (keyringAnswered) {
        place_ = Place::Keyring;
        confirmed_ = fromKeyring;
        confirmedAccount_ = account_;
        if (!fileHolds_)
            value = fromKeyring;
    } else if (keyring_) {
        useFile();
    }
    if (typedBeforeLoad_)
        value = current_; // what the user typed meanwhile wins
    current_ = value;
    if (!typedBeforeLoad_ && hooks_.loaded)
        hooks_.loaded(value);
    if (place_ == Place::Keyring && !settled())
        writeToKeyring();
    else if (place_ == Place::File && typedBeforeLoad_)
        hooks_.writeSetting(passwordKey_, current_);
}

void StoredPassword::useFile() {
    place_ = Place::File;
}

void StoredPassword::tellKeptInFile() {
    // Told of a password that is there, once the user is done with the window: never of an
    // empty box, never over the typing.
    if (!keyring_ || place_ != Place::File || current_.isEmpty() ||
        settings_.read(toldKey_, QString()) == QLatin1String("True"))
        return;
    settings_.write(toldKey_, QStringLiteral("True"));
    if (hooks_.keptInFile)
        hooks_.keptInFile(
            QStringLiteral("No keyring of this desktop answered (no Secret Service is running, or "
                           "the keyring stayed locked), so Parlivo keeps your password in its "
                           "settings file, %1, which only you can read.\r\n\r\nOnce a keyring "
                           "answers, Parlivo moves the password into it and out of the file.")
                .arg(settingsFile_));
}

void StoredPassword::store(const QString& password) {
    current_ = password;
    if (!loaded_) {
        typedBeforeLoad_ = true;
        return;
    }
    if (place_ == Place::File)
        hooks_.writeSetting(passwordKey_, password);
    else
        pause_.start(); // one write when the typing pauses
}

void StoredPassword::writeToKeyring() {
    pause_.stop();
    if (writing_ || place_ != Place::Keyring || settled())
        return; // a write in flight writes again when it is answered
    writing_ = true;
    const QString written = current_;
    const QString account = account_;
    const auto reply = awaited([this, written, account](int answer, const QString&) {
        wrote(written, account, Keyring::Answer(answer) == Keyring::Answer::Done);
    });
    const auto keyringReply = [reply](Keyring::Answer answer, const QString& secret) {
        reply(int(answer), secret);
    };
    if (written.isEmpty())
        keyring_->remove(account, keyringReply);
    else
        keyring_->write(account, written, keyringReply);
}

void StoredPassword::wrote(const QString& written, const QString& account, bool done) {
    writing_ = false;
    if (!done) { // the keyring refused or stopped answering: the file keeps the password
        useFile();
        hooks_.writeSetting(passwordKey_, current_);
        fileHolds_ = true;
        return;
    }
    if (account != confirmedAccount_) // the password left the old user name
        keyring_->remove(confirmedAccount_, [](Keyring::Answer, const QString&) {});
    confirmed_ = written;
    confirmedAccount_ = account;
    if (fileHolds_) {
        settings_.remove(passwordKey_);
        settings_.remove(toldKey_);
        fileHolds_ = false;
    }
    if (!settled())
        writeToKeyring();
}

bool StoredPassword::settled() const {
    return loaded_ && !writing_ &&
           (place_ != Place::Keyring ||
            (current_ == confirmed_ && account_ == confirmedAccount_ && !fileHolds_));
}

bool StoredPassword::waitFor(const std::function<bool()>& done, int ms) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer look;
    connect(&look, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    look.start(10);
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(ms);
    loop.exec();
    return done();
}

void StoredPassword::waitUntilLoaded() {
    waitFor([this] { return loaded_; }, kAskAfterPaintMs + answerLimitMs_ + 1000);
}

void StoredPassword::finish() {
    if (!loaded_ && !typedBeforeLoad_)
        return;        // nothing changed
    waitUntilLoaded(); // what was typed meanwhile goes where the password is kept
    if (place_ != Place::Keyring)
        return tellKeptInFile();
    if (pause_.isActive())
        writeToKeyring();
    if (!waitFor([this] { return settled() || place_ != Place::Keyring; }, 2 * answerLimitMs_)) {
        useFile();
        hooks_.writeSetting(passwordKey_, current_);
    }
    tellKeptInFile();
}

} // namespace core
