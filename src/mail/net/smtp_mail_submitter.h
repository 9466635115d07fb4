#pragma once

#include "mail/mail_submitter.h"
#include "platform/clock.h"

namespace mail {

// Submission over SMTP with implicit TLS and login (AUTH PLAIN or LOGIN). When the server
// offers PIPELINING, MAIL FROM, every RCPT TO and DATA go out in one flight and the
// replies are matched to them in order; otherwise one command at a time.
class SmtpMailSubmitter final : public MailSubmitter {
  public:
    explicit SmtpMailSubmitter(MailOptions options = {}, const platform::Clock* clock = nullptr);
    SubmitResult submit(const MailMessage& message) override;

    // Round trips of the last submission, counted from the client's side.
    int lastTurns() const { return lastTurns_; }

  private:
    MailOptions options_;
    const platform::Clock* clock_;
    int lastTurns_ = 0;
};

} // namespace mail
