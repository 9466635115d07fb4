#pragma once

#include <QString>
#include <functional>

namespace platform {

// The desktop's keyring (the Secret Service), asked without waiting: each call answers once,
// later, on the event loop, or never when the keyring hangs (the caller keeps its own limit).
class Keyring {
  public:
    enum class Answer {
        Done,       // read, written or removed
        NotFound,   // nothing stored under the account
        Unavailable // no Secret Service, a locked keyring, a refusal
    };
    using Reply = std::function<void(Answer answer, const QString& secret)>;

    virtual ~Keyring() = default;
    virtual void read(const QString& account, Reply reply) = 0;
    virtual void write(const QString& account, const QString& secret, Reply reply) = 0;
    virtual void remove(const QString& account, Reply reply) = 0;
};

} // namespace platform
