#pragma once

#include "platform/clock.h"
#include "routes/email/mail/mail_submitter.h"

namespace mail {

struct OutgoingMessage;
struct SmtpExchange;

// Submission over SMTP with implicit TLS and login (AUTH PLAIN or LOGIN). When the server
// offers PIPELINING, MAIL FROM, every RCPT TO and DATA go out in one flight and the
// replies are matched to them in order; otherwise one command at a time. Several messages
// of one send share the connection and the login; with PIPELINING each message's bytes go
// with the next one's envelope, so each costs one round trip.
class SmtpMailSubmitter final : public MailSubmitter {
  public:
    explicit SmtpMailSubmitter(MailOptions options = {}, const platform::Clock* clock = nullptr);
    SubmitResult submit(const MailMessage& message) override;
    BatchResult submitEach(const MailMessage& common, const QList<QStringList>& recipientGroups,
                           const BatchSteps& steps) override;

    // Round trips of the last submission, counted from the client's side.
    int lastTurns() const { return lastTurns_; }

  private:
    OutgoingMessage outgoing(const MailMessage& message);
    // Port 465 and, when it cannot be reached, the submission port; the outcome classified.
    SubmitResult exchangeOnce(const MailMessage& message, const QList<OutgoingMessage>& messages,
                              const BatchSteps* steps, SmtpExchange& exchange);

    MailOptions options_;
    const platform::Clock* clock_;
    int lastTurns_ = 0;
};

} // namespace mail
