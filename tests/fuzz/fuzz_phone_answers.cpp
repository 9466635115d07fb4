// The phone app's JSON answers as any device on the network could send them: read or refused
// without a crash, every text read back within its bound, never more items than are read.
#include "routes/phone/app/phone_api.h"

#include <cstdlib>

namespace {
void bounded(const phone::MessageStatus& status) {
    if (status.id.size() > 64 || status.recipients.size() > 100)
        std::abort();
    for (const phone::RecipientState& r : status.recipients)
        if (r.phone.size() > 128 || r.error.size() > 200)
            std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto status = phone::readMessageStatus(json))
        bounded(*status);
    if (const auto states = phone::readMessageStates(json)) {
        if (states->size() > 500)
            std::abort();
        for (const phone::MessageStatus& status : *states)
            bounded(status);
    }
    if (const auto texts = phone::readInbox(json)) {
        if (texts->size() > 500)
            std::abort();
        for (const phone::InboxText& text : *texts)
            if (text.id.isEmpty() || text.sender.size() > 64 || text.text.size() > 1600)
                std::abort();
    }
    if (phone::errorMessageOf(json).size() > 200)
        std::abort();
    return 0;
}
