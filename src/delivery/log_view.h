#pragma once

#include "model/command_context.h"
#include "model/route_option.h"
#include "model/send_plan.h"

namespace delivery {

// "View Log": brings the log up to date with what each of `routes` heard of recent sends, in
// turn, then opens it in the desktop's viewer, or says that nothing was stored.
void viewLog(const model::CommandContext& context, const QList<model::RouteOption*>& routes);

} // namespace delivery
