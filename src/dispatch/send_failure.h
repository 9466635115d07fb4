#pragma once

#include "dispatch/dispatch_context.h"

namespace core {
class Failure;
}
namespace mail {
struct SubmitResult;
}

namespace dispatch {

// Failure numbers of a submission that the send command explains itself.
inline constexpr long kMailNotDelivered = 0x80040211L;
inline constexpr long kRecipientsRefused = 0x8004020FL;
inline constexpr long kMailFailed = 0x80040213L;
// Failures whose description is the whole message shown to the user.
inline constexpr long kServerUnreachable = 0x80040217L;
inline constexpr long kServerUntrusted = 0x80040218L;
inline constexpr long kAddressesRefused = 0x80040219L;
inline constexpr long kMailRefused = 0x8004021AL;

// The statement of the send that submits the message.
inline constexpr int kSubmitLine = 182;

// Raises a failed submission as the failure whose box explains it.
void throwIfFailed(const DispatchContext& c, const mail::SubmitResult& result);
// That failure, for a send that goes on to tell more than it.
core::Failure sendFailureOf(const DispatchContext& c, const mail::SubmitResult& result);

// The send's own answer to failures it can explain: shows the box and returns true (the
// send ends: a message that did not go out is neither logged nor reported as done).
bool explainSendFailure(const DispatchContext& c, const OutgoingText& text,
                        const core::Failure& failure, int line);

} // namespace dispatch
