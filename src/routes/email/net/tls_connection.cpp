#include "routes/email/net/tls_connection.h"

#include <QEventLoop>
#include <QSslConfiguration>
#include <QTimer>

namespace mail {

namespace {
// Data arrives in pieces of at most this size, so that the event loop turns between them
// however fast the server writes.
constexpr qint64 kReadPiece = 64 * 1024;
// No protocol of ours lets this much wait unread: a server that sends it is cut off.
constexpr qsizetype kMostWaiting = 16 * 1024 * 1024;

bool namesMatch(const QString& pattern, const QString& host) {
    if (pattern.compare(host, Qt::CaseInsensitive) == 0)
        return true;
    // "*.example.com" stands for exactly one whole leftmost label.
    if (!pattern.startsWith(QLatin1String("*.")) || pattern.count(QLatin1Char('.')) < 2)
        return false;
    const qsizetype dot = host.indexOf(QLatin1Char('.'));
    return dot > 0 && host.mid(dot).compare(pattern.mid(1), Qt::CaseInsensitive) == 0;
}
} // namespace

bool certificateNamesHost(const QSslCertificate& certificate, const QString& host) {
    const QStringList names =
        certificate.subjectAlternativeNames().values(QSsl::AlternativeNameEntryType::DnsEntry);
    if (names.isEmpty())
        return true; // no DNS names: the common name, which Qt has checked, counts
    return std::any_of(names.begin(), names.end(),
                       [&](const QString& name) { return namesMatch(name, host); });
}

TlsConnection::TlsConnection(Limits limits) : limits_(limits) {
    socket_.setReadBufferSize(kReadPiece);
    connect(&socket_, &QSslSocket::readyRead, this, [this] {
        inbox_ += socket_.readAll();
        sinceProgress_.restart();
        if (inbox_.size() > kMostWaiting) {
            fail(Problem::Closed, QStringLiteral("The server sent more than any answer needs."));
            socket_.abort();
        }
        wake();
    });
    connect(&socket_, &QSslSocket::encryptedBytesWritten, this, [this] {
        sinceProgress_.restart();
        wake();
    });
    connect(&socket_, &QSslSocket::encrypted, this, [this] {
        // When the certificate lists DNS names, only they name the server (RFC 6125).
        if (!certificateNamesHost(socket_.peerCertificate(), socket_.peerVerifyName())) {
            fail(Problem::Untrusted,
                 QStringLiteral("The certificate does not name %1: it names %2.")
                     .arg(socket_.peerVerifyName(),
                          socket_.peerCertificate()
                              .subjectAlternativeNames()
                              .values(QSsl::AlternativeNameEntryType::DnsEntry)
                              .join(QLatin1String(", "))));
            socket_.abort();
            wake();
            return;
        }
        open_ = true;
        encrypted_ = true;
        sinceProgress_.restart();
        wake();
    });
    connect(&socket_, &QSslSocket::connected, this, [this] {
        // A flight is written whole: its last partial segment must not wait for the
        // acknowledgement of the others (Nagle), a round trip on a slow link.
        socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        if (!plainFirst_)
            return;
        open_ = true; // a plain connection, to be secured with STARTTLS before anything else
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
            // A server that ends the connection before TLS said anything of its certificate
            // was not reached; only a failed handshake or certificate is a question of trust.
            const bool tls =
                error == QAbstractSocket::SslHandshakeFailedError ||
                error == QAbstractSocket::SslInternalError ||
                error == QAbstractSocket::SslInvalidUserDataError ||
                (error == QAbstractSocket::RemoteHostClosedError && !sslProblems_.isEmpty());
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
                         const std::function<bool(QByteArray&)>& opened, bool plainFirst) {
    sinceStart_.start();
    sinceOpening_.start();
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
    plainFirst_ = plainFirst;
    if (plainFirst) {
        socket_.setPeerVerifyName(host);
        socket_.connectToHost(address.isEmpty() ? host : address, addressPort ? addressPort : port);
    } else {
        socket_.connectToHostEncrypted(address.isEmpty() ? host : address,
                                       addressPort ? addressPort : port, host);
    }
    const bool ok = wait(opened, limits_.connectTimeoutMs, false);
    if (!ok && problem_ == Problem::Stalled)
        problem_ = Problem::Unreachable; // nothing, or no greeting, within the connection time-out
    return ok;
}

bool TlsConnection::startTls() {
    if (!usable() || encrypted_)
        return false;
    // Bytes that came before the handshake are not covered by it: a server (or anyone on the
    // way) that sends them is not to be trusted.
    if (!inbox_.isEmpty()) {
        fail(Problem::Untrusted, QStringLiteral("The server sent data before TLS began."));
        socket_.abort();
        return false;
    }
    open_ = false;
    sinceOpening_.restart(); // the handshake has the connection time-out of its own
    socket_.startClientEncryption();
    const bool ok = wait([](QByteArray&) { return true; }, limits_.connectTimeoutMs, false);
    if (!ok && problem_ == Problem::Stalled)
        problem_ = Problem::Untrusted;
    return ok && encrypted_;
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
        // While opening (the connection and greeting, or a STARTTLS handshake) the whole
        // connection time-out counts; afterwards only the quiet time.
        const qint64 quiet = opening ? sinceOpening_.elapsed() : sinceProgress_.elapsed();
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
