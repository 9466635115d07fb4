#pragma once

#include "dispatch/dispatch_context.h"

namespace dispatch {

// "Help": how to set up the mail account.
void showHelp(const DispatchContext& context);

} // namespace dispatch
