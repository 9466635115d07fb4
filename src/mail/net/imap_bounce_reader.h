#pragma once

#include "mail/mail_submitter.h"
#include "mail/mailbox_reader.h"

namespace mail {

// The user's mailbox over IMAP with implicit TLS, read-only: the mailbox is opened with
// EXAMINE and messages are read with BODY.PEEK, so nothing is marked, moved or deleted.
// On Gmail (X-GM-EXT-1) the search uses Gmail's own query language, in the "All Mail"
// mailbox; elsewhere a standard SEARCH in INBOX. At most 50 of the newest matches are read,
// each up to 64 KiB.
class ImapBounceReader final : public MailboxReader {
  public:
    explicit ImapBounceReader(MailOptions options);
    MailboxResult readBounces(const QString& user, const QString& password,
                              const QDate& since) override;

  private:
    MailOptions options_;
};

} // namespace mail
