#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// One message as the send command hands it to the mail layer.
struct MailMessage {
    QString userAddress; // login name, envelope sender, From and Reply-To
    QString password;
    QStringList recipients; // envelope recipients, in order
    QString toHeader;       // the To field as the user's lists made it
    QString subject;
    QString body; // sent both as text/plain and as text/html
};

enum class MailFailure {
    None,
    NotDelivered,      // no connection, no TLS, or the login was refused
    RecipientsRefused, // the server refused a recipient address
    General,           // anything else; the description says what
};

struct SubmitResult {
    MailFailure failure = MailFailure::None;
    QString description;
    bool succeeded() const { return failure == MailFailure::None; }
};

class MailSubmitter {
  public:
    virtual ~MailSubmitter() = default;
    // Connects, logs in and submits; returns when the server accepted or refused.
    virtual SubmitResult submit(const MailMessage& message) = 0;
};

} // namespace platform
