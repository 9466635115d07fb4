#pragma once

#include "routes/email/mail/bounce_report.h"
#include "routes/email/mail/mail_options.h"

#include <QByteArrayList>
#include <QDate>
#include <QString>

namespace mail {

enum class MailboxFailure {
    None,
    Unreachable,  // no connection, no TLS, or no answer in time
    LoginRefused, // the server refused the user name and password
    Other,        // the server refused a command or spoke no IMAP
};

struct MailboxResult {
    MailboxFailure failure = MailboxFailure::None;
    QString reason;
    QList<BounceReport> reports;    // what each bounce found says, the newest last
    bool complete = true;           // every match was read, within the time bound
    QList<PhoneReply> replies = {}; // mail from the asked-for domains that phones sent
};

// Reads, without changing anything in the mailbox, the delivery reports that arrived since
// a day, and the replies phones sent from `replyDomains`. Window events keep running
// meanwhile; the whole read is bounded in time.
class MailboxReader {
  public:
    virtual ~MailboxReader() = default;
    virtual MailboxResult readBounces(const QString& user, const QString& password,
                                      const QDate& since, const QStringList& replyDomains) = 0;
    MailboxResult readBounces(const QString& user, const QString& password, const QDate& since) {
        return readBounces(user, password, since, {});
    }
};

} // namespace mail
