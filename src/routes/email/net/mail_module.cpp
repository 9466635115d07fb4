// The mail module: Qt Network and the TLS library, loaded by the program on the first send.
#include "routes/email/mail/lazy_mail_module.h"
#include "routes/email/net/imap_bounce_reader.h"
#include "routes/email/net/smtp_mail_submitter.h"

extern "C" Q_DECL_EXPORT mail::MailSubmitter*
parlivo_create_mail_submitter(const mail::MailOptions* options, const platform::Clock* clock) {
    return new mail::SmtpMailSubmitter(*options, clock);
}

extern "C" Q_DECL_EXPORT mail::MailboxReader*
parlivo_create_mailbox_reader(const mail::MailOptions* options) {
    return new mail::ImapBounceReader(*options);
}
