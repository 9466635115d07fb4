#pragma once

#include "routes/email/mail/mail_submitter.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>
#include <optional>

// A test CA, a certificate for smtp.gmail.com and imap.gmail.com signed by it ("server"), one
// whose common name is smtp.gmail.com but whose only DNS name is other.example
// ("san-other"), and an unrelated CA.
class TestCertificates {
  public:
    TestCertificates();
    bool ok() const { return ok_; }
    QString path(const QString& name) const { return dir_.filePath(name); }

  private:
    QTemporaryDir dir_;
    bool ok_ = false;
};

// One message as the local server received it.
struct ReceivedMail {
    QString mailFrom;
    QStringList recipients;
    QByteArray data;
    // The message as Python's email package reads it: "subject", "from", "to", "reply-to",
    // "organization", "date", "message-id", "mime-version" decoded, "defects" it found, and
    // the text of each part by its type ("text/plain", "text/html").
    QVariantMap decoded;
};

// The local SMTP server with implicit TLS (tests/routes/email/mail/smtp_test_server.py) on
// 127.0.0.1.
class LocalSmtpServer {
  public:
    // `modes`, comma-separated, as tests/routes/email/mail/smtp_test_server.py lists them; "normal"
    // accepts ann@gmail.com / secret. Another script of tests/routes/email/mail/ that prints "PORT
    // <n>" (hostile_server.py) and another certificate of `certificates` may stand in.
    LocalSmtpServer(const TestCertificates& certificates, const QString& modes = "normal",
                    const QString& script = "smtp_test_server.py",
                    const QString& certificate = "server");
    ~LocalSmtpServer();

    int port() const { return port_; }
    std::optional<ReceivedMail> nextMessage(int waitMs = 5000);
    // The commands the server handled so far, in order (EHLO, AUTH, MAIL, RCPT, MESSAGE for
    // the message after its final ".", QUIT); waits until it has been quiet for `quietMs`.
    QStringList commands(int quietMs = 300);
    // Client options that reach this server as smtp.gmail.com and trust `caFile`.
    mail::MailOptions clientOptions(const QString& caFile) const;

  private:
    // Reads the server's next record: commands are noted, a message is returned.
    std::optional<ReceivedMail> readRecord(int waitMs);

    QProcess process_;
    QStringList commands_;
    QList<ReceivedMail> messages_;
    int port_ = 0;
};
