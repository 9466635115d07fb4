#pragma once

#include "model/command_context.h"

namespace sending {

// "Help": how to set up the mail account.
void showHelp(const model::CommandContext& context);

} // namespace sending
