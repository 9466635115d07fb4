#pragma once

#include "model/command_context.h"
#include "model/send_plan.h"

namespace delivery {

// "View Log": brings the log up to date with what the mailbox says of recent sends (when a
// mailbox is set), then opens it in the desktop's viewer, or says that nothing was stored.
void viewLog(const model::CommandContext& context, const model::Login& login);

} // namespace delivery
