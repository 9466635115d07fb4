#include "routes/email/net/imap_bounce_reader.h"

#include "routes/email/mail/credential_echo.h"
#include "routes/email/mail/imap_protocol.h"
#include "routes/email/net/bounce_reader.h"
#include "routes/email/net/tls_connection.h"

#include <QCoreApplication>
#include <functional>

namespace mail {

namespace {

constexpr qsizetype kBatch = 50; // messages a FETCH asks for
// A batch is asked for only while this much time and room are left for its answer.
constexpr qint64 kBatchTimeMs = 1500;
constexpr qsizetype kBatchBytes = kBatch * (kLongestLiteral + 1024);
constexpr int kLogoutWaitMs = 500;
constexpr qint64 kReadReserveMs = 300; // left of the check's time when reading a bounce stops
// However the server answers, one check keeps at most this much of it: a command's untagged
// responses and the bytes of all responses.
constexpr qsizetype kMostUntagged = 10000;
constexpr qsizetype kMostBytes = 16 * 1024 * 1024;

// Bounces since `since`: Gmail's own query language where it is offered (its standard
// SEARCH matches words only), a standard SEARCH elsewhere. Matches are verified by parsing.
QByteArray searchCommand(bool gmail, const QDate& since) {
    if (!gmail)
        return "UID SEARCH SINCE " + imapDate(since) +
               " OR OR FROM \"mailer-daemon\" FROM \"postmaster\" FROM \"post_master\"";
    const qint64 days = qMax<qint64>(1, since.daysTo(QDate::currentDate()) + 1);
    return "UID SEARCH X-GM-RAW " +
           imapQuoted("newer_than:" + QByteArray::number(days) +
                      "d {from:mailer-daemon from:postmaster from:post_master "
                      "subject:undeliverable}");
}

// Mail from the gateways' domains since `since`: where the phones' replies come from.
QByteArray replySearchCommand(bool gmail, const QDate& since, const QStringList& domains) {
    if (gmail) {
        const qint64 days = qMax<qint64>(1, since.daysTo(QDate::currentDate()) + 1);
        QByteArrayList from;
        for (const QString& domain : domains)
            from << "from:" + domain.toUtf8();
        return "UID SEARCH X-GM-RAW " +
               imapQuoted("newer_than:" + QByteArray::number(days) + "d {" + from.join(' ') + "}");
    }
    QByteArray any = "FROM " + imapQuoted(domains.last().toUtf8());
    for (qsizetype i = domains.size() - 2; i >= 0; --i)
        any = "OR FROM " + imapQuoted(domains[i].toUtf8()) + ' ' + any;
    return "UID SEARCH SINCE " + imapDate(since) + ' ' + any;
}

class ImapSession {
  public:
    explicit ImapSession(const MailOptions& options)
        : options_(options),
          link_({options.connectTimeoutMs, options.stallMs, options.deadlineMs}) {}

    MailboxResult run(const QString& user, const QString& password, const QDate& since,
                      const QStringList& replyDomains) {
        ImapResponse greeting;
        if (!link_.open(options_.host, options_.port, options_.connectAddress, options_.connectPort,
                        options_.caFile, [&](QByteArray& in) { return take(in, greeting); }))
            return linkFailure();
        if (!greeting.line.startsWith("* OK"))
            return {MailboxFailure::Other, QStringLiteral("The server did not greet as IMAP."), {}};
        QList<ImapResponse> untagged;
        ImapResponse done;
        if (!command("CAPABILITY", untagged, done))
            return result_;
        const bool initialResponse = hasCapability(untagged, "SASL-IR");
        if (!logIn(user, password, initialResponse))
            return result_;
        if (!command("CAPABILITY", untagged, done))
            return result_;
        const bool gmail = hasCapability(untagged, "X-GM-EXT-1");
        QByteArray mailbox = "INBOX";
        if (gmail) {
            if (!command("LIST \"\" \"*\"", untagged, done))
                return result_;
            for (const ImapResponse& r : std::as_const(untagged))
                if (const auto all = listedMailbox(r, "\\All"))
                    mailbox = *all;
        }
        if (!command("EXAMINE " + imapQuoted(mailbox), untagged, done))
            return result_;
        // A server may echo the login, and mail may quote it: neither reaches a box or the
        // log. Each mail is cleared of it as it is read.
        const CredentialFilter hidden(user, password);
        MailboxResult found;
        if (!fetchMatches(searchCommand(gmail, since), found.complete, [&](const QByteArray& body) {
                found.reports << readBounce(body);
                for (RecipientStatus& r : found.reports.last().recipients)
                    r.diagnostic = hidden(r.diagnostic);
            }))
            return result_;
        if (!replyDomains.isEmpty()) {
            // Replies are read with what time is left; those not read wait for the next check.
            bool allRead = true;
            if (!fetchMatches(replySearchCommand(gmail, since, replyDomains), allRead,
                              [&](const QByteArray& body) {
                                  if (auto reply = readReply(body)) {
                                      reply->text = hidden(reply->text);
                                      found.replies << *reply;
                                  }
                              }))
                return found;
        }
        logOut();
        return found;
    }

  private:
    // Searches, then reads the matches newest first, a batch at a time, while time and room
    // are left; `read` gets each message, oldest first within a batch. `complete` is cleared
    // when not every match was read. False when the server failed the search or the first
    // batch (result_ says why).
    bool fetchMatches(const QByteArray& search, bool& complete,
                      const std::function<void(const QByteArray&)>& read) {
        QList<ImapResponse> untagged;
        ImapResponse done;
        if (!command(search, untagged, done))
            return false;
        QList<quint32> uids;
        for (const ImapResponse& r : std::as_const(untagged))
            uids << searchResults(r);
        std::sort(uids.begin(), uids.end());
        uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
        bool anyRead = false;
        for (qsizetype end = uids.size(); end > 0; end -= kBatch) {
            if (link_.msLeft() < kBatchTimeMs || reader_.bytesTaken() > kMostBytes - kBatchBytes) {
                complete = false;
                break;
            }
            QByteArrayList set;
            for (qsizetype i = qMax<qsizetype>(0, end - kBatch); i < end; ++i)
                set << QByteArray::number(uids[i]);
            if (!command("UID FETCH " + set.join(',') + " (BODY.PEEK[]<0.65536>)", untagged,
                         done)) {
                complete = false;
                return anyRead;
            }
            for (const ImapResponse& r : std::as_const(untagged)) {
                const auto body = fetchedBody(r);
                if (!body)
                    continue;
                // One message at a time, the window's events between them, within the time.
                if (link_.msLeft() < kReadReserveMs) {
                    complete = false;
                    return true; // what was not read waits for the next check
                }
                read(*body);
                anyRead = true;
                QCoreApplication::processEvents();
            }
        }
        return true;
    }

    bool take(QByteArray& in, ImapResponse& response) {
        const auto taken = reader_.take(in);
        if (taken)
            response = *taken;
        return taken.has_value() || reader_.broken();
    }

    MailboxResult linkFailure() {
        const LinkProblem problem = link_.problem();
        link_.close();
        return {problem == LinkProblem::Closed && loggedIn_ ? MailboxFailure::Other
                                                            : MailboxFailure::Unreachable,
                link_.reason(),
                {}};
    }

    bool fail(MailboxFailure failure, const QString& reason) {
        result_ = {failure, reason, {}};
        link_.close();
        return false;
    }

    // Sends a tagged command and collects the untagged responses until its completion.
    bool command(const QByteArray& text, QList<ImapResponse>& untagged, ImapResponse& done) {
        const QByteArray tag = 'a' + QByteArray::number(++tags_);
        link_.write(tag + ' ' + text + "\r\n");
        return finish(tag, untagged, done);
    }

    bool finish(const QByteArray& tag, QList<ImapResponse>& untagged, ImapResponse& done) {
        untagged.clear();
        for (;;) {
            ImapResponse r;
            if (!link_.waitFor([&](QByteArray& in) { return take(in, r); })) {
                result_ = linkFailure();
                return false;
            }
            if (reader_.broken() || reader_.bytesTaken() > kMostBytes ||
                untagged.size() >= kMostUntagged)
                return fail(MailboxFailure::Other,
                            QStringLiteral("The server's answer is too long."));
            if (r.isTagged(tag)) {
                done = r;
                if (r.status() == "OK")
                    return true;
                return fail(MailboxFailure::Other, QString::fromLatin1(r.line.left(200)));
            }
            if (r.line.startsWith("+ "))
                return fail(MailboxFailure::Other, QStringLiteral("Unexpected continuation."));
            if (r.line.toUpper().startsWith("* BYE")) // the server is ending the session
                return fail(MailboxFailure::Other, QString::fromLatin1(r.line.left(200)));
            untagged << r;
        }
    }

    static bool hasCapability(const QList<ImapResponse>& untagged, const QByteArray& name) {
        for (const ImapResponse& r : untagged)
            if (r.line.toUpper().startsWith("* CAPABILITY") &&
                r.line.toUpper().split(' ').contains(name))
                return true;
        return false;
    }

    bool logIn(const QString& user, const QString& password, bool initialResponse) {
        const QByteArray credentials = ('\0' + user.toUtf8() + '\0' + password.toUtf8()).toBase64();
        const QByteArray tag = 'a' + QByteArray::number(++tags_);
        if (initialResponse) {
            link_.write(tag + " AUTHENTICATE PLAIN " + credentials + "\r\n");
        } else {
            link_.write(tag + " AUTHENTICATE PLAIN\r\n");
            // Untagged responses (an alert, capabilities) may come before the continuation.
            for (qsizetype passed = 0;; ++passed) {
                ImapResponse go;
                if (!link_.waitFor([&](QByteArray& in) { return take(in, go); })) {
                    result_ = linkFailure();
                    return false;
                }
                if (reader_.broken() || passed >= kMostUntagged)
                    return fail(MailboxFailure::Other,
                                QStringLiteral("The server's answer is too long."));
                if (go.line.startsWith('+'))
                    break;
                if (go.isTagged(tag)) {
                    fail(refusesCredentials(go) ? MailboxFailure::LoginRefused
                                                : MailboxFailure::Other,
                         QString::fromLatin1(go.line.left(200)));
                    return false;
                }
            }
            link_.write(credentials + "\r\n");
        }
        QList<ImapResponse> untagged;
        ImapResponse done;
        if (finish(tag, untagged, done)) {
            loggedIn_ = true;
            return true;
        }
        if (refusesCredentials(done))
            result_.failure = MailboxFailure::LoginRefused;
        return false;
    }

    // Only a plain NO or BAD, or a NO that says the credentials failed, refuses the password;
    // [UNAVAILABLE], [SERVERBUG], [LIMIT] and the like are a busy server, tried next time.
    static bool refusesCredentials(const ImapResponse& done) {
        const QByteArray status = done.status();
        if (status == "BAD")
            return true;
        if (status != "NO")
            return false;
        const QByteArrayList words = done.line.split(' ');
        const QByteArray text = words.mid(2).join(' ');
        if (!text.startsWith('['))
            return true;
        const QByteArray code = text.mid(1, text.indexOf(']') - 1).split(' ').first().toUpper();
        return code == "AUTHENTICATIONFAILED";
    }

    void logOut() {
        link_.write('a' + QByteArray::number(++tags_) + " LOGOUT\r\n");
        link_.waitBriefly(kLogoutWaitMs, [](QByteArray& in) { return in.contains(" OK"); });
        link_.close();
    }

    const MailOptions& options_;
    TlsConnection link_;
    MailboxResult result_;
    ImapResponseReader reader_;
    bool loggedIn_ = false;
    int tags_ = 0;
};

} // namespace

ImapBounceReader::ImapBounceReader(MailOptions options) : options_(std::move(options)) {}

MailboxResult ImapBounceReader::readBounces(const QString& user, const QString& password,
                                            const QDate& since, const QStringList& replyDomains) {
    ImapSession session(options_);
    MailboxResult result = session.run(user, password, since, replyDomains);
    result.reason = withoutCredentials(result.reason, user, password); // a server may echo them
    return result;
}

} // namespace mail
