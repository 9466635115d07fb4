// The mail module: libcurl and its TLS libraries, loaded by the program on the first send.
#include "platform/curl_mail_submitter.h"
#include "platform/lazy_mail_submitter.h"

extern "C" Q_DECL_EXPORT platform::MailSubmitter*
parlivo_create_mail_submitter(const platform::CurlMailOptions* options,
                              const platform::Clock* clock) {
    return new platform::CurlMailSubmitter(*options, clock);
}
