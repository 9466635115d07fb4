#include "mail/tls_connection.h"

#include <QEventLoop>
#include <QSslConfiguration>
#include <QTimer>

namespace mail {

TlsConnection::TlsConnection(Limits limits) : limits_(limits) {
    connect(&socket_, &QSslSocket::readyRead, this, [this] {
        inbox_ += socket_.readAll();
        sinceProgress_.restart();
        wake();
    });
    connect(&socket_, &QSslSocket::encryptedBytesWritten, this, [this] {
        sinceProgress_.restart();
        wake();
    });
    connect(&socket_, &QSslSocket::encrypted, this, [this] {
        open_ = true;
        sinceProgress_.restart();
        wake();
    });
    connect(&socket_, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
        for (const QSslError& error : errors)
            sslProblems_ << error.errorString();
    });
    connect(&socket_, &QSslSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        const QString text = socket_.errorString();
        if (!open_) {
            const bool tls = error == QAbstractSocket::SslHandshakeFailedError ||
                             error == QAbstractSocket::SslInternalError ||
                             error == QAbstractSocket::SslInvalidUserDataError ||
                             (error == QAbstractSocket::RemoteHostClosedError &&
                              socket_.state() != QAbstractSocket::ConnectingState);
            if (tls)
                fail(Problem::Untrusted,
                     sslProblems_.isEmpty() ? text : sslProblems_.join(QLatin1String("; ")));
            else
                fail(Problem::Unreachable, text);
        } else {
            fail(Problem::Closed, QStringLiteral("The connection was lost: %1").arg(text));
        }
        wake();
    });
}

TlsConnection::~TlsConnection() {
    socket_.abort();
}

void TlsConnection::fail(Problem problem, const QString& reason) {
    if (problem_ != Problem::None)
        return;
    problem_ = problem;
    reason_ = reason;
}

void TlsConnection::wake() {
    if (loop_)
        loop_->quit();
}

bool TlsConnection::open(const QString& host, quint16 port, const QString& address,
                         quint16 addressPort, const QString& caFile,
                         const std::function<bool(QByteArray&)>& opened) {
    sinceStart_.start();
    sinceProgress_.start();
    if (!QSslSocket::supportsSsl()) {
        fail(Problem::Untrusted, QStringLiteral("TLS is not available on this system."));
        return false;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!caFile.isEmpty())
        configuration.setCaCertificates(QSslCertificate::fromPath(caFile));
    socket_.setSslConfiguration(configuration);
    socket_.connectToHostEncrypted(address.isEmpty() ? host : address,
                                   addressPort ? addressPort : port, host);
    const bool ok = wait(opened, limits_.connectTimeoutMs, false);
    if (!ok && problem_ == Problem::Stalled)
        problem_ = Problem::Unreachable; // nothing, or no greeting, within the connection time-out
    return ok;
}

bool TlsConnection::usable() const {
    return problem_ == Problem::None && socket_.state() == QAbstractSocket::ConnectedState;
}

void TlsConnection::write(const QByteArray& bytes) {
    if (!usable())
        return;
    socket_.write(bytes);
    sentSinceWait_ = true;
}

bool TlsConnection::waitFor(const std::function<bool(QByteArray&)>& ready) {
    return wait(ready, limits_.stallMs, false);
}

bool TlsConnection::waitBriefly(int ms, const std::function<bool(QByteArray&)>& ready) {
    return wait(ready, ms, true);
}

bool TlsConnection::wait(const std::function<bool(QByteArray&)>& ready, qint64 limitMs,
                         bool brief) {
    if (sentSinceWait_) {
        ++turns_;
        sentSinceWait_ = false;
    }
    const bool opening = !open_;
    for (;;) {
        if (open_ && ready(inbox_))
            return true;
        if (problem_ != Problem::None)
            return false;
        // While opening the whole connection time-out counts; afterwards only the quiet time.
        const qint64 quiet = opening ? sinceStart_.elapsed() : sinceProgress_.elapsed();
        const qint64 stallLeft = limitMs - quiet;
        const qint64 deadlineLeft = limits_.deadlineMs - sinceStart_.elapsed();
        if (stallLeft <= 0) {
            if (brief)
                return false;
            fail(Problem::Stalled,
                 QStringLiteral("The server did not answer within %1 s.").arg(limitMs / 1000.0));
            return false;
        }
        if (deadlineLeft <= 0) {
            fail(Problem::Deadline, QStringLiteral("The exchange took longer than %1 s.")
                                        .arg(limits_.deadlineMs / 1000.0));
            return false;
        }
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        limit.start(int(qMin(stallLeft, deadlineLeft)));
        loop_ = &loop;
        loop.exec();
        loop_ = nullptr;
    }
}

void TlsConnection::close() {
    socket_.abort();
}

} // namespace mail
