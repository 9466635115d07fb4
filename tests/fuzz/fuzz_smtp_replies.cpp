// Server replies as they arrive, in pieces: parsing never loses or invents bytes it was not
// given, what waits for a reply's end stays within the bounds, reply texts are printable,
// and any exchange classifies to exactly one outcome.
#include "routes/email/mail/smtp_protocol.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray all(reinterpret_cast<const char*>(data), qsizetype(size));
    // The input arrives in three pieces, as from a socket.
    const QByteArrayList pieces{all.left(size / 3), all.mid(size / 3, size / 3),
                                all.mid(2 * (size / 3))};
    mail::SmtpReplyReader reader;
    QByteArray buffer;
    QList<mail::SmtpReply> replies;
    for (const QByteArray& piece : pieces) {
        buffer += piece;
        for (int guard = 0; guard < 10000; ++guard) {
            const qsizetype before = buffer.size();
            const auto reply = reader.take(buffer);
            if (!reply) {
                // Only an unfinished reply within its bounds may wait.
                if (reader.waitingLines() >= mail::kMostReplyLines ||
                    buffer.size() > mail::kMostReplyLines * (mail::kLongestReplyLine + 2))
                    std::abort();
                break;
            }
            if (buffer.size() >= before)
                std::abort(); // a reply must consume input
            if (reply->lines.size() > mail::kMostReplyLines)
                std::abort();
            for (const QChar c : reply->text())
                if (c.unicode() < 0x20 || c.unicode() >= 0x7f)
                    std::abort();
            mail::capabilitiesOf(*reply);
            replies << *reply;
        }
    }
    mail::SmtpExchange e;
    e.greeted = size % 2;
    e.network = mail::LinkProblem(size % 6);
    if (!replies.isEmpty()) {
        static const char* verbs[] = {"AUTH", "MAIL", "RCPT", "DATA", "EHLO"};
        e.refusedCommand = QLatin1String(verbs[replies.size() % 5]);
        e.refusal = replies.first().text();
    }
    const auto result = mail::classifyExchange(e);
    if (result.succeeded())
        std::abort(); // nothing was accepted
    return 0;
}
