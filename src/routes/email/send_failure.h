#pragma once

#include "model/command_context.h"
#include "model/send_plan.h"
#include "model/send_records.h"

namespace core {
class Failure;
}
namespace mail {
struct SubmitResult;
}
namespace platform {
class Clock;
}

namespace email_route {

// Failure numbers of a submission that the e-mail route explains itself.
inline constexpr long kMailNotDelivered = 0x80040211L;
inline constexpr long kRecipientsRefused = 0x8004020FL;
inline constexpr long kMailFailed = 0x80040213L;
// Failures whose description is the whole message shown to the user.
inline constexpr long kServerUnreachable = 0x80040217L;
inline constexpr long kServerUntrusted = 0x80040218L;
inline constexpr long kAddressesRefused = 0x80040219L;
inline constexpr long kMailRefused = 0x8004021AL;

// The failure whose box explains a failed submission; a daily limit is told with what the
// `sent` sends by e-mail counted in the 24 hours before `clock`'s now.
core::Failure sendFailureOf(const mail::SubmitResult& result, const QList<model::PendingSend>& sent,
                            const platform::Clock& clock);

// The e-mail route's own answer to failures it can explain: shows the box and returns true
// (the send ends: a message that did not go out is neither logged nor reported as done).
bool explainSendFailure(const model::CommandContext& c, const model::OutgoingText& text,
                        const core::Failure& failure, int line);

} // namespace email_route
