// Server replies as they arrive, in pieces: parsing never loses or invents bytes it was not
// given, reply texts are printable, and any exchange classifies to exactly one outcome.
#include "mail/smtp_protocol.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray buffer(reinterpret_cast<const char*>(data), qsizetype(size));
    QList<mail::SmtpReply> replies;
    for (int guard = 0; guard < 10000; ++guard) {
        const qsizetype before = buffer.size();
        const auto reply = mail::takeReply(buffer);
        if (!reply)
            break;
        if (buffer.size() >= before)
            std::abort(); // a reply must consume input
        for (const QChar c : reply->text())
            if (c.unicode() < 0x20 || c.unicode() >= 0x7f)
                std::abort();
        mail::capabilitiesOf(*reply);
        replies << *reply;
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
