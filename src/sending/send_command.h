#pragma once

#include "model/command_context.h"
#include "model/send_plan.h"

namespace sending {

// "Send Message": offers a kept text first; has the route plan every phone (for e-mail each
// at every ticked carrier, narrowed by what was learned, every address checked), asks before
// more recipients than one batch takes and before crossing the daily allowance. What fits in
// one batch is submitted, remembered for the delivery check, logged, and "Done." said; a
// failure shows its box and ends the send with nothing logged. More recipients go in batches
// (sendInBatches). Returns the carrier rows the user chose to untick, for the window to untick.
QList<qsizetype> sendMessage(const model::CommandContext& context, const model::OutgoingText& text);

} // namespace sending
