// IMAP responses as a server may send them, in two pieces: literals come whole or not at
// all, a response always consumes input, what waits stays within the bounds, and lists and
// searches never fail.
#include "routes/email/mail/imap_protocol.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray all(reinterpret_cast<const char*>(data), qsizetype(size));
    QByteArray buffer = all.left(all.size() / 2);
    mail::ImapResponseReader reader;
    bool fedRest = false;
    for (int guard = 0; guard < 10000 && !reader.broken(); ++guard) {
        const qsizetype before = buffer.size();
        const auto response = reader.take(buffer);
        if (reader.waitingBytes() > mail::kLongestResponse)
            std::abort();
        if (!response) {
            if (fedRest)
                break;
            buffer += all.mid(all.size() / 2);
            fedRest = true;
            continue;
        }
        if (buffer.size() >= before)
            std::abort();
        for (const QByteArray& literal : response->literals)
            if (literal.size() > mail::kLongestLiteral)
                std::abort();
        if (response->line.size() > mail::kLongestResponse)
            std::abort();
        mail::searchResults(*response);
        mail::listedMailbox(*response, "\\All");
        response->status();
    }
    return 0;
}
