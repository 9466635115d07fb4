#pragma once

#include "dispatch/dispatch_context.h"

namespace dispatch {

// "View Log": brings the log up to date with what the mailbox says of recent sends (when a
// mailbox is set), then opens it in the desktop's viewer, or says that nothing was stored.
void viewLog(const DispatchContext& context, const Login& login);

} // namespace dispatch
