#pragma once

#include "dispatch/dispatch_context.h"

namespace dispatch {

// "Send Message": asks before more recipients than Gmail takes in one message, expands every
// phone at every ticked carrier, checks every address, submits one message, then remembers it
// for the delivery check, logs it and says "Done.". A failure shows its box and ends the send
// with nothing logged.
void sendMessage(const DispatchContext& context, const OutgoingText& text);

} // namespace dispatch
