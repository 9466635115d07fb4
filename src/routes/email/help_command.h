#pragma once

#include "model/command_context.h"

namespace email_route {

// "Help": how to set up the mail account.
void showHelp(const model::CommandContext& context);

} // namespace email_route
