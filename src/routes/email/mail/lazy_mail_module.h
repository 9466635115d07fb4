#pragma once

#include "platform/clock.h"
#include "routes/email/mail/mail_submitter.h"
#include "routes/email/mail/mailbox_reader.h"

#include <QLibrary>
#include <memory>

namespace mail {

// The mail layer loaded from its module beside the program on the first send, so that a
// start that never sends does not load the network and TLS libraries at all.
class LazyMailSubmitter final : public MailSubmitter {
  public:
    LazyMailSubmitter(QString modulePath, const platform::Clock* clock, MailOptions options = {});
    ~LazyMailSubmitter() override;
    SubmitResult submit(const MailMessage& message) override;
    BatchResult submitEach(const MailMessage& common, const QList<QStringList>& recipientGroups,
                           const BatchSteps& steps) override;

  private:
    MailSubmitter* loaded(QString* problem);

    QLibrary module_;
    const platform::Clock* clock_;
    MailOptions options_;
    std::unique_ptr<MailSubmitter> loaded_;
};

// The mailbox reader from the same module, loaded on its first use.
class LazyMailboxReader final : public MailboxReader {
  public:
    LazyMailboxReader(QString modulePath, MailOptions options);
    ~LazyMailboxReader() override;
    using MailboxReader::readBounces;
    MailboxResult readBounces(const QString& user, const QString& password, const QDate& since,
                              const QStringList& replyDomains) override;

  private:
    QLibrary module_;
    MailOptions options_;
    std::unique_ptr<MailboxReader> loaded_;
};

// The names under which the module exports its factories.
inline constexpr char kMailModuleFactory[] = "parlivo_create_mail_submitter";
using MailModuleFactory = MailSubmitter* (*)(const MailOptions*, const platform::Clock*);
inline constexpr char kMailboxModuleFactory[] = "parlivo_create_mailbox_reader";
using MailboxModuleFactory = MailboxReader* (*)(const MailOptions*);

} // namespace mail
