#pragma once

#include "dispatch/dispatch_context.h"

#include <QStringList>

namespace dispatch {

// "Send Message": offers a kept text first; asks before more recipients than Gmail takes in
// one message, expands every phone at every ticked carrier, checks every address, and asks
// before crossing the daily allowance. One message of at most 100 recipients is submitted,
// remembered for the delivery check, logged, and "Done." said; a failure shows its box and
// ends the send with nothing logged. More recipients go as several messages (sendInMessages).
// What was learned of each phone narrows its addresses (see addressesFor); a gateway that
// refused everything of late is offered to be unticked. Returns the carriers the user chose to
// untick, for the window to untick.
QStringList sendMessage(const DispatchContext& context, const OutgoingText& text);

} // namespace dispatch
