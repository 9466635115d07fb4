#include "sending/send_routes.h"

#include "records/knowledge_file.h"

namespace sending {

SendRoute::SendRoute(const model::CommandContext& c, const Ledger& ledger) {
    if (c.route) {
        route_ = c.route;
        return;
    }
    if (c.modem) {
        modem_.emplace(c, *c.modem);
        route_ = &*modem_;
        return;
    }
    if (!c.knowledge)
        read_ = records::loadKnowledge(c.files.knowledge);
    gateway_.emplace(c, ledger, c.knowledge ? *c.knowledge : read_);
    route_ = &*gateway_;
}

} // namespace sending
