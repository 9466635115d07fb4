#pragma once

#include "routes/email/mail/link_problem.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QSslSocket>
#include <functional>

class QEventLoop;

namespace mail {

// True when the certificate names `host`: by one of its DNS subject alternative names when it
// has any (its common name is then ignored), otherwise by the checks TLS has made already.
bool certificateNamesHost(const QSslCertificate& certificate, const QString& host);

// A verified TLS connection whose every wait runs the event loop, so that the windows stay
// alive, and ends at the first of three limits: the connection time-out (until `opened`),
// the stall limit (no byte in either direction) and the overall deadline.
class TlsConnection final : public QObject {
  public:
    using Problem = LinkProblem;

    struct Limits {
        int connectTimeoutMs;
        int stallMs;
        int deadlineMs;
    };

    explicit TlsConnection(Limits limits);
    ~TlsConnection() override;

    // Connects to `address` (the host when empty) and sets up TLS for `host`, checked
    // against `caFile` (the system's store when empty). Then waits until `opened` holds
    // for what has arrived, e.g. a complete greeting. With `plainFirst` the connection
    // starts without TLS, for a greeting and STARTTLS, and startTls() secures it.
    bool open(const QString& host, quint16 port, const QString& address, quint16 addressPort,
              const QString& caFile, const std::function<bool(QByteArray&)>& opened,
              bool plainFirst = false);
    // Sets up TLS on a plain connection, verified as open() verifies; false when the server
    // sent anything before the handshake or the certificate does not hold.
    bool startTls();
    // True once TLS is set up and its certificate verified.
    bool encrypted() const { return encrypted_; }
    // Queues bytes for the server; nothing once the connection has ended.
    void write(const QByteArray& bytes);
    bool usable() const;
    // Runs the event loop until `ready` holds for what has arrived, or a limit or error
    // ends the connection. `ready` may take what it used off the buffer.
    bool waitFor(const std::function<bool(QByteArray&)>& ready);
    // Waits at most `ms` for `ready`; a miss is no problem of the connection.
    bool waitBriefly(int ms, const std::function<bool(QByteArray&)>& ready);
    void close();

    Problem problem() const { return problem_; }
    QString reason() const { return reason_; }
    // What is left of the overall deadline.
    qint64 msLeft() const { return limits_.deadlineMs - sinceStart_.elapsed(); }
    // How many times the client waited for the server after sending: the round trips.
    int turns() const { return turns_; }

  private:
    bool wait(const std::function<bool(QByteArray&)>& ready, qint64 limitMs, bool brief);
    void fail(Problem problem, const QString& reason);
    void wake();

    Limits limits_;
    QSslSocket socket_;
    QByteArray inbox_;
    QElapsedTimer sinceStart_;   // the session, for its deadline
    QElapsedTimer sinceOpening_; // the connection, or the STARTTLS handshake
    QElapsedTimer sinceProgress_;
    QEventLoop* loop_ = nullptr;
    bool open_ = false;
    bool plainFirst_ = false;
    bool encrypted_ = false;
    bool sentSinceWait_ = false;
    Problem problem_ = Problem::None;
    QString reason_;
    QStringList sslProblems_;
    int turns_ = 0;
};

} // namespace mail
