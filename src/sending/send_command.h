#pragma once

#include "model/command_context.h"
#include "model/route_option.h"
#include "model/send_plan.h"

namespace sending {

// "Send Message" by the route the user chose: offers a text kept for that route first; has
// the route plan every phone, asks before more recipients than one batch takes and before
// crossing the route's daily allowance. A route's single batch that goes alone is submitted,
// remembered for the delivery check, logged, and "Done." said; a failure shows its box and
// ends the send with nothing logged. Everything else goes in batches (sendInBatches).
// Returns the carrier rows the user chose to untick, for the window to untick.
QList<qsizetype> sendMessage(const model::CommandContext& context, const model::OutgoingText& text,
                             model::RouteOption& route);

} // namespace sending
