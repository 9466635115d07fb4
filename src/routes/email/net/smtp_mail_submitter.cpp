#include "routes/email/net/smtp_mail_submitter.h"

#include <QElapsedTimer>

#include "routes/email/mail/credential_echo.h"
#include "routes/email/mail/mime_message.h"
#include "routes/email/mail/smtp_protocol.h"
#include "routes/email/net/tls_connection.h"

#include <QRandomGenerator>

namespace mail {

// One message as it goes: its envelope recipients, its bytes and its Message-ID.
struct OutgoingMessage {
    QStringList recipients;
    QByteArray data;
    QString messageId;
};
using Outgoing = OutgoingMessage;

namespace {

constexpr int kQuitWaitMs = 2000;

QByteArray uniqueToken() {
    const quint64 a = QRandomGenerator::global()->generate64();
    const quint64 b = QRandomGenerator::global()->generate64();
    return QByteArray::number(a, 36) + '.' + QByteArray::number(b, 36);
}

// One exchange: connection, greeting, EHLO, login, envelope and message (or several), QUIT.
class SmtpSession {
  public:
    SmtpSession(const MailOptions& options, const QString& sender, SmtpExchange& exchange)
        : options_(options), sender_(sender.toUtf8()), exchange_(exchange),
          link_({options.connectTimeoutMs, options.stallMs, options.deadlineMs}) {}

    // Implicit TLS from the first byte, or (`startTls`) a plain connection secured with
    // STARTTLS before anything but EHLO is said. Without `steps` the one message goes as a
    // send of one message always has; with them, each of `messages` in turn.
    void run(const MailMessage& message, const QList<Outgoing>& messages, const BatchSteps* steps,
             quint16 port, quint16 connectPort, bool startTls) {
        SmtpReply greeting;
        if (!link_.open(
                options_.host, port, options_.connectAddress, connectPort, options_.caFile,
                [&](QByteArray& in) { return take(in, greeting); }, startTls))
            return linkEnded();
        exchange_.greeted = true;
        if (!accept(greeting, smtp_step::kGreeting))
            return quit();
        SmtpReply ehlo;
        if (!ask("EHLO localhost", smtp_step::kEhlo, ehlo) || !accept(ehlo, smtp_step::kEhlo))
            return quit();
        if (startTls && !secure(ehlo))
            return;
        if (!link_.encrypted()) // never a password over a connection without verified TLS
            return untrusted(QStringLiteral("The connection is not secured."));
        const SmtpCapabilities offered = capabilitiesOf(ehlo);
        if (steps && offered.chunking && offered.pipelining) {
            if (offered.authPlain)
                return chunkedBatch(messages, *steps, plainLogin(message));
            if (!logIn(offered, message))
                return quit();
            return chunkedBatch(messages, *steps, {});
        }
        const QStringList& recipients = messages.first().recipients;
        // AUTH PLAIN with its initial response completes in one round trip, so the first
        // envelope may go in the same flight (RFC 4954, section 4): a round trip saved.
        const bool withLogin = offered.pipelining && offered.authPlain;
        if (withLogin) {
            if (!logInWithEnvelope(message, recipients))
                return;
        } else if (!logIn(offered, message)) {
            return quit();
        }
        if (steps)
            return offered.pipelining ? pipelinedBatch(messages, *steps, withLogin)
                                      : batchOneByOne(messages, *steps);
        const bool envelopeTaken = withLogin            ? envelopeReplies(recipients)
                                   : offered.pipelining ? pipelinedEnvelope(recipients)
                                                        : envelopeOneByOne(recipients);
        if (!envelopeTaken)
            return;
        link_.write(dotStuffed(messages.first().data));
        exchange_.lastCommand = smtp_step::kMessage;
        SmtpReply final;
        if (!receive(final))
            return;
        if (!accept(final, smtp_step::kMessage))
            return quit();
        exchange_.accepted = true;
        quit();
    }

    int turns() const { return link_.turns(); }
    bool reachedTls() const { return link_.encrypted(); }

  private:
    // STARTTLS, then EHLO again over TLS; a server that offers no STARTTLS, refuses it or
    // fails verification is not trusted with anything.
    bool secure(SmtpReply& ehlo) {
        if (!capabilitiesOf(ehlo).startTls) {
            untrusted(QStringLiteral("The server on port %1 does not offer STARTTLS.")
                          .arg(options_.fallbackPort));
            return false;
        }
        SmtpReply ready;
        if (!ask("STARTTLS", smtp_step::kStartTls, ready))
            return false;
        if (ready.code != 220) {
            untrusted(QStringLiteral("The server refused STARTTLS: %1").arg(ready.text()));
            return false;
        }
        if (!link_.startTls()) {
            linkEnded();
            return false;
        }
        return ask("EHLO localhost", smtp_step::kEhlo, ehlo) && accept(ehlo, smtp_step::kEhlo);
    }

    void untrusted(const QString& reason) {
        exchange_.network = LinkProblem::Untrusted;
        exchange_.networkReason = reason;
        link_.close();
    }

    bool take(QByteArray& in, SmtpReply& reply) {
        const auto taken = replies_.take(in);
        if (taken)
            reply = *taken;
        return taken.has_value();
    }

    void linkEnded() {
        exchange_.network = link_.problem();
        exchange_.networkReason = link_.reason();
        link_.close();
    }

    bool receive(SmtpReply& reply) {
        if (!link_.waitFor([&](QByteArray& in) { return take(in, reply); })) {
            linkEnded();
            return false;
        }
        if (reply.code == 0) {
            exchange_.network = LinkProblem::Closed;
            exchange_.networkReason =
                QStringLiteral("The server's reply was not SMTP: %1").arg(reply.text().mid(2));
            link_.close();
            return false;
        }
        return true;
    }

    // `step` names the command in failures: the bytes sent may hold the password.
    bool ask(const QByteArray& command, const QString& step, SmtpReply& reply) {
        link_.write(command + "\r\n");
        exchange_.lastCommand = step;
        return receive(reply);
    }

    // Records the first refusal; the exchange goes on only after a positive reply.
    bool accept(const SmtpReply& reply, const QString& step) {
        if (reply.positive())
            return true;
        refuse(step, reply.text());
        return false;
    }

    void refuse(const QString& verb, const QString& reply) {
        if (exchange_.refusedCommand.isEmpty()) {
            exchange_.refusedCommand = verb;
            exchange_.refusal = reply;
        }
    }

    // AUTH PLAIN and the first envelope in one flight. A refused login still has the
    // envelope's replies to come: they are read (a server that would take the message
    // unauthenticated gets the connection closed instead) and nothing goes out.
    static QByteArray plainLogin(const MailMessage& message) {
        return "AUTH PLAIN " +
               ('\0' + message.userAddress.toUtf8() + '\0' + message.password.toUtf8()).toBase64() +
               "\r\n";
    }

    bool logInWithEnvelope(const MailMessage& message, const QStringList& recipients) {
        link_.write(plainLogin(message) + envelopeFlight(recipients));
        exchange_.lastCommand = smtp_step::kAuth;
        SmtpReply reply;
        if (!receive(reply))
            return false;
        exchange_.lastCommand = smtp_step::kMail;
        if (reply.code == 235)
            return true;
        refuse(smtp_step::kAuth, reply.text());
        if (envelopeReplies(recipients)) // cannot be: the refusal is recorded
            link_.close();
        return false;
    }

    bool logIn(const SmtpCapabilities& offered, const MailMessage& message) {
        const QByteArray user = message.userAddress.toUtf8();
        const QByteArray password = message.password.toUtf8();
        SmtpReply reply;
        const QString& auth = smtp_step::kAuth;
        if (offered.authPlain) {
            if (!ask("AUTH PLAIN " + ('\0' + user + '\0' + password).toBase64(), auth, reply))
                return false;
        } else if (offered.authLogin) {
            if (!ask("AUTH LOGIN", auth, reply))
                return false;
            if (reply.code == 334 && !ask(user.toBase64(), auth, reply))
                return false;
            if (reply.code == 334 && !ask(password.toBase64(), auth, reply))
                return false;
        } else {
            refuse(auth, QStringLiteral("the server offers no login by AUTH PLAIN or AUTH LOGIN"));
            return false;
        }
        if (reply.code == 235)
            return true;
        refuse(auth, reply.text());
        return false;
    }

    void noteRecipient(const SmtpReply& reply, const QString& address) {
        if (reply.positive())
            return;
        refuse(smtp_step::kRcpt, reply.text());
        if (classifyRefusal(smtp_step::kRcpt, reply.text()) == MailFailure::TryLater) {
            exchange_.deferredAddresses << address;
            return;
        }
        if (exchange_.refusedAddresses.isEmpty())
            exchange_.addressRefusal = reply.text();
        exchange_.refusedAddresses << address;
    }

    QByteArray envelope(const QStringList& recipients) const {
        QByteArray commands = "MAIL FROM:<" + sender_ + ">\r\n";
        for (const QString& recipient : recipients)
            commands += "RCPT TO:<" + recipient.toUtf8() + ">\r\n";
        return commands;
    }

    QByteArray envelopeFlight(const QStringList& recipients) const {
        return envelope(recipients) + "DATA\r\n";
    }

    // MAIL FROM, every RCPT TO and DATA in one flight; true when the server waits for the
    // message and nothing was refused.
    bool pipelinedEnvelope(const QStringList& recipients) {
        link_.write(envelopeFlight(recipients));
        exchange_.lastCommand = smtp_step::kMail;
        return envelopeReplies(recipients);
    }

    // The replies to one envelope flight, already written.
    bool envelopeReplies(const QStringList& recipients) {
        SmtpReply reply;
        if (!receive(reply))
            return false;
        accept(reply, smtp_step::kMail);
        exchange_.lastCommand = smtp_step::kRcpt;
        for (const QString& recipient : recipients) {
            if (!receive(reply))
                return false;
            noteRecipient(reply, recipient);
        }
        exchange_.lastCommand = smtp_step::kData;
        if (!receive(reply))
            return false;
        if (reply.code == 354 && exchange_.refusedCommand.isEmpty())
            return true;
        if (reply.code == 354) {
            // The server waits for a message that must not go out to the others: ending the
            // connection before the final "." drops the transaction.
            link_.close();
            return false;
        }
        accept(reply, smtp_step::kData);
        quit();
        return false;
    }

    bool envelopeOneByOne(const QStringList& recipients) {
        SmtpReply reply;
        if (!ask("MAIL FROM:<" + sender_ + ">", smtp_step::kMail, reply))
            return false;
        if (!accept(reply, smtp_step::kMail)) {
            quit();
            return false;
        }
        for (const QString& recipient : recipients) {
            if (!ask("RCPT TO:<" + recipient.toUtf8() + ">", smtp_step::kRcpt, reply))
                return false;
            noteRecipient(reply, recipient);
        }
        if (!exchange_.refusedCommand.isEmpty()) {
            quit();
            return false;
        }
        if (!ask("DATA", smtp_step::kData, reply))
            return false;
        if (reply.code == 354)
            return true;
        accept(reply, smtp_step::kData);
        quit();
        return false;
    }

    // A polite end; its answer changes nothing, so it is waited for only briefly.
    void quit() {
        if (!link_.usable())
            return;
        link_.write("QUIT\r\n");
        quitWritten();
    }

    void quitWritten() {
        exchange_.lastCommand = smtp_step::kQuit;
        SmtpReply ignored;
        link_.waitBriefly(qMin(kQuitWaitMs, options_.stallMs),
                          [&](QByteArray& in) { return take(in, ignored); });
        link_.close();
    }

    // The final reply to a message whose bytes went out: true when the server took it. A
    // reply that never comes leaves `messageInFlight` set: the message may have gone.
    bool messageTaken(const Outgoing& message, int index, const BatchSteps& steps) {
        exchange_.lastCommand = smtp_step::kMessage;
        exchange_.messageInFlight = true;
        SmtpReply final;
        if (!receive(final))
            return false;
        exchange_.messageInFlight = false;
        if (!accept(final, smtp_step::kMessage)) {
            link_.close(); // the next envelope may be waiting for its message: never QUIT
            return false;
        }
        steps.accepted(index, message.messageId, {});
        return true;
    }

    // With BDAT a whole message goes in one flight (the login with the first, QUIT with the
    // last), and the next goes once its reply is in: one round trip a message, and never
    // more than one message whose fate a lost connection leaves open. The server takes a
    // message for the recipients it accepted even when it refused others; those end the
    // send after it, as a refused login does.
    void chunkedBatch(const QList<Outgoing>& messages, const BatchSteps& steps,
                      const QByteArray& login) {
        for (int index = 0; index < messages.size(); ++index) {
            if (index > 0 && !steps.goOn()) {
                exchange_.accepted = true;
                return quit();
            }
            const Outgoing& message = messages[index];
            const bool last = index + 1 == messages.size();
            QByteArray flight = (index == 0 ? login : QByteArray()) + envelope(message.recipients);
            QByteArray data = message.data;
            if (!data.endsWith("\r\n"))
                data += "\r\n";
            flight += "BDAT " + QByteArray::number(data.size()) + " LAST\r\n" + data;
            if (last)
                flight += "QUIT\r\n";
            steps.sending(index);
            link_.write(flight);
            exchange_.messageInFlight = true;
            SmtpReply reply;
            if (index == 0 && !login.isEmpty()) {
                exchange_.lastCommand = smtp_step::kAuth;
                if (!receive(reply))
                    return;
                if (reply.code != 235) { // what follows is refused: nothing in flight
                    refuse(smtp_step::kAuth, reply.text());
                    exchange_.messageInFlight = false;
                }
            }
            exchange_.lastCommand = smtp_step::kMail;
            if (!receive(reply))
                return;
            // A refused sender, or every recipient refused, leaves nothing the chunk could
            // deliver: whatever follows, this message is known not sent.
            if (!accept(reply, smtp_step::kMail))
                exchange_.messageInFlight = false;
            exchange_.lastCommand = smtp_step::kRcpt;
            QStringList refused;
            for (const QString& recipient : message.recipients) {
                if (!receive(reply))
                    return;
                if (!reply.positive())
                    refused << recipient;
                noteRecipient(reply, recipient);
            }
            if (refused.size() == message.recipients.size())
                exchange_.messageInFlight = false;
            exchange_.lastCommand = smtp_step::kMessage;
            if (!receive(reply))
                return;
            exchange_.messageInFlight = false;
            const bool taken = accept(reply, smtp_step::kMessage);
            if (taken)
                steps.accepted(index, message.messageId, refused);
            if (!taken || !exchange_.refusedCommand.isEmpty())
                return last ? quitWritten() : quit();
        }
        exchange_.accepted = true;
        quitWritten();
    }

    // Each message's bytes go in one flight with the next message's envelope (or QUIT after
    // the last), so a message costs one round trip and only one is ever in flight.
    void pipelinedBatch(const QList<Outgoing>& messages, const BatchSteps& steps,
                        bool firstEnvelopeSent) {
        if (!firstEnvelopeSent)
            link_.write(envelopeFlight(messages.first().recipients));
        exchange_.lastCommand = smtp_step::kMail;
        for (int index = 0; index < messages.size(); ++index) {
            if (!envelopeReplies(messages[index].recipients))
                return;
            if (index > 0 && !steps.goOn()) {
                // Asked to stop while the message before was in flight: this envelope went
                // with it, and leaving before its bytes drops it.
                exchange_.accepted = true;
                return link_.close();
            }
            const bool more = index + 1 < messages.size() && steps.goOn();
            steps.sending(index);
            link_.write(
                dotStuffed(messages[index].data) +
                (more ? envelopeFlight(messages[index + 1].recipients) : QByteArray("QUIT\r\n")));
            if (!messageTaken(messages[index], index, steps))
                return;
            if (!more) {
                exchange_.accepted = true;
                return quitWritten();
            }
            exchange_.lastCommand = smtp_step::kMail;
        }
    }

    void batchOneByOne(const QList<Outgoing>& messages, const BatchSteps& steps) {
        for (int index = 0; index < messages.size(); ++index) {
            if (index > 0 && !steps.goOn())
                break;
            if (!envelopeOneByOne(messages[index].recipients))
                return;
            steps.sending(index);
            link_.write(dotStuffed(messages[index].data));
            if (!messageTaken(messages[index], index, steps))
                return;
        }
        exchange_.accepted = true;
        quit();
    }

    const MailOptions& options_;
    QByteArray sender_;
    SmtpExchange& exchange_;
    TlsConnection link_;
    SmtpReplyReader replies_;
};

} // namespace

SmtpMailSubmitter::SmtpMailSubmitter(MailOptions options, const platform::Clock* clock)
    : options_(std::move(options)), clock_(clock) {}

SubmitResult SmtpMailSubmitter::submit(const MailMessage& message) {
    lastTurns_ = 0;
    if (const auto reason = unsafeMessageReason(message))
        return {MailFailure::General, *reason};
    if (message.recipients.isEmpty())
        return {MailFailure::General,
                QStringLiteral("The message has no recipients: tick at least one carrier.")};
    const Outgoing one = outgoing(message);
    SmtpExchange exchange;
    SubmitResult result = exchangeOnce(message, {one}, nullptr, exchange);
    if (result.succeeded())
        result.messageId = one.messageId;
    return result;
}

BatchResult SmtpMailSubmitter::submitEach(const MailMessage& common,
                                          const QList<QStringList>& recipientGroups,
                                          const BatchSteps& steps) {
    lastTurns_ = 0;
    BatchResult batch;
    QList<Outgoing> messages;
    for (const QStringList& group : recipientGroups) {
        MailMessage message = common;
        message.recipients = group;
        message.toHeader = group.join(QLatin1Char(','));
        if (const auto reason = unsafeMessageReason(message)) {
            batch.stop = {MailFailure::General, *reason};
            return batch;
        }
        if (group.isEmpty()) {
            batch.stop = {
                MailFailure::General,
                QStringLiteral("A message has no recipients: tick at least one carrier.")};
            return batch;
        }
        messages << outgoing(message);
    }
    const BatchSteps told{[&](int index) {
                              if (steps.sending)
                                  steps.sending(index);
                          },
                          [&](int index, const QString& messageId, const QStringList& refused) {
                              batch.messageIds << messageId;
                              if (steps.accepted)
                                  steps.accepted(index, messageId, refused);
                          },
                          [&] { return !steps.goOn || steps.goOn(); }};
    SmtpExchange exchange;
    batch.stop = exchangeOnce(common, messages, &told, exchange);
    batch.nextMayHaveGone = exchange.messageInFlight;
    batch.stopped = batch.stop.succeeded() && batch.messageIds.size() < messages.size();
    return batch;
}

Outgoing SmtpMailSubmitter::outgoing(const MailMessage& message) {
    const QDateTime date = clock_ ? clock_->now() : QDateTime::currentDateTime();
    const QByteArray token = uniqueToken();
    return {message.recipients, composeMessage(message, date, token),
            QString::fromLatin1(messageIdOf(message, token))};
}

SubmitResult SmtpMailSubmitter::exchangeOnce(const MailMessage& message,
                                             const QList<Outgoing>& messages,
                                             const BatchSteps* steps, SmtpExchange& exchange) {
    QElapsedTimer clock;
    clock.start();
    bool tlsReached = false;
    {
        SmtpSession session(options_, message.userAddress, exchange);
        session.run(message, messages, steps, options_.port, options_.connectPort, false);
        lastTurns_ = session.turns();
        tlsReached = session.reachedTls();
    }
    // A port that refuses or never answers (blocked by some networks) is not the end: the
    // submission port with STARTTLS, verified the same way, within what is left of the time.
    const QString firstReason = exchange.networkReason;
    const bool fallback = exchange.network == LinkProblem::Unreachable && !tlsReached &&
                          options_.fallbackPort && clock.elapsed() < options_.deadlineMs;
    if (fallback) {
        MailOptions rest = options_;
        rest.deadlineMs = int(options_.deadlineMs - clock.elapsed());
        exchange = {};
        SmtpSession session(rest, message.userAddress, exchange);
        session.run(message, messages, steps, options_.fallbackPort, options_.fallbackConnectPort,
                    true);
        lastTurns_ = session.turns();
        if (exchange.network == LinkProblem::Unreachable)
            exchange.networkReason = QStringLiteral("port %1: %2; port %3: %4")
                                         .arg(options_.port)
                                         .arg(firstReason)
                                         .arg(options_.fallbackPort)
                                         .arg(exchange.networkReason);
    }
    SubmitResult result = classifyExchange(exchange);
    if (result.failure == MailFailure::Unreachable)
        result.triedPorts =
            fallback ? QStringLiteral("%1 or %2").arg(options_.port).arg(options_.fallbackPort)
                     : QString::number(options_.port);
    hideCredentials(result, message.userAddress, message.password); // a server may echo them
    return result;
}

} // namespace mail
