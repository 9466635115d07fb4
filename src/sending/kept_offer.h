#pragma once

#include "model/command_context.h"
#include "model/knowledge.h"
#include "model/route_option.h"
#include "model/send_plan.h"

namespace core {
class Procedure;
}
namespace model {
class Route;
}

namespace sending {

class Ledger;

// A text kept by an earlier send waits to go.
bool keptSendWaits(const model::DataFiles& files);

// On "Send Message", while a text kept for `route` waits, the route has what it needs and its
// allowance leaves room: offers it. Yes sends it (what fits) and returns true; No keeps it,
// Cancel drops it, and the window's text goes on. Phones that asked not to be texted
// (`known`) leave it first, named in a box.
bool offerKeptSend(const model::CommandContext& c, model::Route& route,
                   const model::Knowledge& known, Ledger& ledger, core::Procedure& p);
// The same offer by each of `routes` in turn, as the program starts or a route appears.
void offerKeptSends(const model::CommandContext& c, const model::OutgoingText& text,
                    const QList<model::RouteOption*>& routes);

} // namespace sending
