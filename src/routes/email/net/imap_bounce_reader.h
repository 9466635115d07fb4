#pragma once

#include "routes/email/mail/mail_submitter.h"
#include "routes/email/mail/mailbox_reader.h"

namespace mail {

// The user's mailbox over IMAP with implicit TLS, read-only: the mailbox is opened with
// EXAMINE and messages are read with BODY.PEEK, so nothing is marked, moved or deleted.
// On Gmail (X-GM-EXT-1) the search uses Gmail's own query language, in the "All Mail"
// mailbox; elsewhere a standard SEARCH in INBOX. Matches are read 50 at a time, newest
// first, each up to 64 KiB, within the check's time; then, with the time left, the mail from
// the gateways' domains, for the phones' replies.
class ImapBounceReader final : public MailboxReader {
  public:
    explicit ImapBounceReader(MailOptions options);
    using MailboxReader::readBounces;
    MailboxResult readBounces(const QString& user, const QString& password, const QDate& since,
                              const QStringList& replyDomains) override;

  private:
    MailOptions options_;
};

} // namespace mail
