#pragma once

#include "routes/email/mail/link_problem.h"
#include "routes/email/mail/mail_submitter.h"

#include <QByteArray>
#include <QByteArrayList>
#include <optional>
#include <utility>

namespace mail {

// One complete server reply: its code and its lines without the code.
struct SmtpReply {
    int code = 0;
    QByteArrayList lines;
    bool positive() const { return code >= 200 && code < 400; }
    // The reply as the server wrote it, lines joined by " / ", cleaned to printable text.
    QString text() const;
};

// Bounds of one reply: RFC 5321 allows 512 octets a line; anything past these is no SMTP.
inline constexpr qsizetype kLongestReplyLine = 4096;
inline constexpr qsizetype kMostReplyLines = 100;

// Reads replies off the front of a buffer that grows only at its end between calls. Each
// byte is looked at once, however the reply is split into pieces, and what waits for the
// end of a reply is bounded: a line longer than kLongestReplyLine or a reply of more than
// kMostReplyLines lines is no reply.
class SmtpReplyReader {
  public:
    // Takes one complete reply off the front of `buffer`, or nothing while its last line
    // has not arrived. A line that is no reply ("abc", no code) or passes a bound gives
    // code 0 with the reason as its line; the caller treats it as a broken server.
    std::optional<SmtpReply> take(QByteArray& buffer);
    // The lines of the reply read so far but not yet complete.
    qsizetype waitingLines() const { return partial_.lines.size(); }

  private:
    std::optional<SmtpReply> finish(QByteArray& buffer, SmtpReply reply);

    SmtpReply partial_;
    qsizetype lineStart_ = 0; // where the line being read starts in the buffer
    qsizetype scanned_ = 0;   // how far the buffer was searched for its end
};

// What an EHLO reply offers.
struct SmtpCapabilities {
    bool pipelining = false;
    bool chunking = false; // BDAT (RFC 3030)
    bool authPlain = false;
    bool authLogin = false;
    bool startTls = false;
};
SmtpCapabilities capabilitiesOf(const SmtpReply& ehloReply);

// The message as it goes after DATA: lines starting with "." get one more, then "." alone.
QByteArray dotStuffed(const QByteArray& message);

// The steps of an exchange as failures name them; never bytes that were sent.
namespace smtp_step {
inline const QString kGreeting = QStringLiteral("CONNECT");
inline const QString kEhlo = QStringLiteral("EHLO");
inline const QString kStartTls = QStringLiteral("STARTTLS");
inline const QString kAuth = QStringLiteral("AUTH");
inline const QString kMail = QStringLiteral("MAIL");
inline const QString kRcpt = QStringLiteral("RCPT");
inline const QString kData = QStringLiteral("DATA");
inline const QString kMessage = QStringLiteral("the message"); // the reply after the final "."
inline const QString kQuit = QStringLiteral("QUIT");
} // namespace smtp_step

// What one exchange with the server showed; the first refusal decides its outcome.
struct SmtpExchange {
    LinkProblem network = LinkProblem::None;
    QString networkReason;
    bool greeted = false;
    bool accepted = false;         // the server took the message after the final "."
    QString lastCommand;           // the step (smtp_step) of the last command sent
    QString refusedCommand;        // the step of the first refused command
    QString refusal;               // and the server's reply to it
    QStringList refusedAddresses;  // recipients refused for good, or past the recipient limit
    QString addressRefusal;        // the reply to the first of them
    QStringList deferredAddresses; // recipients refused only for now (4xx)
    bool messageInFlight = false;  // a message went out and its final reply never came
};

// What a refusal means, decided by one table on the reply code and the enhanced status code
// (RFC 3463) of `reply` ("550 5.4.5 Daily user sending limit exceeded"); the step tells
// only a recipient's refusal and the verdict on the message apart from the others.
MailFailure classifyRefusal(const QString& step, const QString& reply);

SubmitResult classifyExchange(const SmtpExchange& exchange);

} // namespace mail
