#pragma once

#include "mail/link_problem.h"
#include "mail/mail_submitter.h"

#include <QByteArray>
#include <QByteArrayList>
#include <optional>

namespace mail {

// One complete server reply: its code and its lines without the code.
struct SmtpReply {
    int code = 0;
    QByteArrayList lines;
    bool positive() const { return code >= 200 && code < 400; }
    // The reply as the server wrote it, lines joined by " / ", cleaned to printable text.
    QString text() const;
};

// Takes one complete reply off the front of `buffer`, or nothing while its last line has
// not arrived. A line that is no reply ("abc", no code) gives code 0, which the caller
// treats as a broken server.
std::optional<SmtpReply> takeReply(QByteArray& buffer);

// What an EHLO reply offers.
struct SmtpCapabilities {
    bool pipelining = false;
    bool authPlain = false;
    bool authLogin = false;
};
SmtpCapabilities capabilitiesOf(const SmtpReply& ehloReply);

// The message as it goes after DATA: lines starting with "." get one more, then "." alone.
QByteArray dotStuffed(const QByteArray& message);

// What one exchange with the server showed; the first refusal decides its outcome.
struct SmtpExchange {
    LinkProblem network = LinkProblem::None;
    QString networkReason;
    bool greeted = false;
    bool accepted = false;  // the server took the message after the final "."
    QString lastCommand;    // verb of the last command sent
    QString refusedCommand; // verb of the first refused command ("CONNECT" for the greeting)
    QString refusal;        // and the server's reply to it
    QStringList refusedAddresses;
};

SubmitResult classifyExchange(const SmtpExchange& exchange);

} // namespace mail
