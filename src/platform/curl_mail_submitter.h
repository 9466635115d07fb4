#pragma once

#include "platform/clock.h"
#include "platform/mail_submitter.h"

namespace platform {

struct CurlMailOptions {
    QString url = QStringLiteral("smtps://smtp.gmail.com:465");
    // "HOST:PORT:CONNECT-TO-HOST:CONNECT-TO-PORT" entries; tests aim the client elsewhere
    // while it still checks the certificate of the named host.
    QStringList connectTo;
    QString caFile; // empty: the system's CA store
    long connectTimeoutSeconds = 30;
    long stallSeconds = 60; // no progress and no server reply for this long ends the send
};

// Submission over SMTP with implicit TLS and login, through libcurl.
class CurlMailSubmitter final : public MailSubmitter {
  public:
    explicit CurlMailSubmitter(CurlMailOptions options = {}, const Clock* clock = nullptr);
    SubmitResult submit(const MailMessage& message) override;

  private:
    CurlMailOptions options_;
    const Clock* clock_;
};

// What the exchange with the server showed, for turning a libcurl result into a failure kind.
struct SmtpExchange {
    int curlCode = 0;
    QString curlText;
    QString lastCommand;    // the verb of the last command sent ("EHLO", "AUTH", "RCPT", ...)
    QString lastReply;      // the server's last reply line
    QString refusedCommand; // the verb of the last command the server refused (4xx, 5xx)
    QString refusal;        // and the server's refusal
    bool authenticated = false;
};

SubmitResult classifyExchange(const SmtpExchange& exchange);

} // namespace platform
