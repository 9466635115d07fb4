#pragma once

#include "routes/email/mail/mail_options.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace mail {

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
    Unreachable,         // no connection, or no greeting in time
    Untrusted,           // TLS could not be set up or the certificate is not trusted
    LoginRefused,        // the user name and password were refused (or a login is required)
    AppPasswordRequired, // the account takes only an app password (534 5.7.9)
    WebLoginRequired,    // the account must sign in once in a browser first (534 5.7.14)
    TooManyLogins,       // too many login attempts: wait, the password may be right (454 4.7.0)
    DailyLimit,          // the account's daily sending limit is reached (5.4.5)
    TryLater,            // a temporary refusal (4xx): nothing was taken, try again later
    TooManyRecipients,   // the server refused recipients with 452 4.5.3
    AddressRefused,      // the server refused recipient addresses permanently
    ContentRefused,      // the message was refused for its content after the data (5.7.x)
    Refused,             // any other refusal; the server's reply says what
    General,             // the exchange ended otherwise; the description says what
};

struct SubmitResult {
    SubmitResult() = default;
    SubmitResult(MailFailure failure, QString description, QStringList refusedAddresses = {},
                 QString serverReply = {})
        : failure(failure), description(std::move(description)),
          refusedAddresses(std::move(refusedAddresses)), serverReply(std::move(serverReply)) {}

    MailFailure failure = MailFailure::None;
    QString description;           // the reason, with the server's reply where there was one
    QStringList refusedAddresses;  // for refused recipients, in the order sent
    QStringList deferredAddresses; // beside them, recipients refused only for now
    QString serverReply;           // the refusal that decided the failure
    QString refusedStep;           // the command it answered, as smtp_step names it
    QString triedPorts;            // for an unreachable server: "465", or "465 or 587"
    QString messageId;             // of an accepted message, without the angle brackets
    bool succeeded() const { return failure == MailFailure::None; }
};

// The outcome of several messages sent over one connection. They go in order and the first
// that does not go, or goes with recipients refused, ends the send, so the accepted ones are
// always the first few.
struct BatchResult {
    QStringList messageIds; // of the accepted messages, in order
    SubmitResult stop;      // why the next message did not go; succeeded() when every one went
    bool nextMayHaveGone = false; // the next message was sent but its final reply never came
    bool stopped = false;         // the send was asked to stop and nothing failed
};

// What a send of several messages tells and asks while it runs.
struct BatchSteps {
    std::function<void(int index)> sending; // right before a message's bytes go out
    // Right after each message taken; `refused`: its recipients the server refused, when it
    // took the message for the others (only when messages go with BDAT).
    std::function<void(int index, const QString& messageId, const QStringList& refused)> accepted;
    std::function<bool()> goOn; // asked before each further message; false ends the send
};

class MailSubmitter {
  public:
    virtual ~MailSubmitter() = default;
    // Connects, logs in and submits; returns when the server accepted or refused, or a
    // limit ended the exchange. Window events keep running meanwhile.
    virtual SubmitResult submit(const MailMessage& message) = 0;
    // One login, then one message for each group of recipients (`common.recipients` and
    // `common.toHeader` are not used), each with a Message-ID of its own.
    virtual BatchResult submitEach(const MailMessage& common,
                                   const QList<QStringList>& recipientGroups,
                                   const BatchSteps& steps) = 0;
};

} // namespace mail
