#pragma once

#include "platform/clock.h"
#include "platform/mail_submitter.h"

#include <QLibrary>
#include <memory>

namespace platform {

// The mail layer loaded from its module beside the program on the first send, so that a
// start that never sends does not load the network and TLS libraries at all.
class LazyMailSubmitter final : public MailSubmitter {
  public:
    LazyMailSubmitter(QString modulePath, const Clock* clock, MailOptions options = {});
    ~LazyMailSubmitter() override;
    SubmitResult submit(const MailMessage& message) override;

  private:
    QLibrary module_;
    const Clock* clock_;
    MailOptions options_;
    std::unique_ptr<MailSubmitter> loaded_;
};

// The name under which the module exports its factory.
inline constexpr char kMailModuleFactory[] = "parlivo_create_mail_submitter";
using MailModuleFactory = MailSubmitter* (*)(const MailOptions*, const Clock*);

} // namespace platform
