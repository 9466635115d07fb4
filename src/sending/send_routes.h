#pragma once

#include "model/command_context.h"
#include "model/knowledge.h"
#include "sending/gateway_route.h"
#include "sending/modem_route.h"

#include <optional>

namespace sending {

class Ledger;

// The route one send takes: the context's own when it names one, else the computer's modem
// when the user chose it, else Gmail to the carriers' gateways with what is known of each
// phone (the context's, or read once from its file).
class SendRoute {
  public:
    SendRoute(const model::CommandContext& c, const Ledger& ledger);
    model::Route& operator*() { return *route_; }
    model::Route* operator->() { return route_; }
    // What is known of each phone: the context's, or read once from its file.
    const model::Knowledge& known() const { return known_ ? *known_ : read_; }

  private:
    model::Knowledge read_;
    const model::Knowledge* known_ = nullptr;
    std::optional<GatewayRoute> gateway_;
    std::optional<ModemRoute> modem_;
    model::Route* route_ = nullptr;
};

} // namespace sending
