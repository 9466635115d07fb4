#pragma once

#include "local_smtp_server.h"

#include <QProcess>
#include <QTemporaryDir>

// A private Dovecot IMAP server on 127.0.0.1 with implicit TLS (the test certificate for
// imap.gmail.com), one user ann@gmail.com / abcdefghijklmnop, and a maildir holding the
// given messages. The system's own Dovecot service is not involved.
class LocalDovecot {
  public:
    LocalDovecot(const TestCertificates& certificates, const QList<QByteArray>& messages);
    ~LocalDovecot();

    bool started() const { return port_ != 0; }
    int port() const { return port_; }
    // The maildir's file names (new/ and cur/), which carry the messages' flags.
    QStringList mailFiles() const;
    mail::MailOptions clientOptions(const QString& caFile) const;

  private:
    QTemporaryDir lab_;
    QProcess process_;
    int port_ = 0;
};
