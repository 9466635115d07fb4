#include "sending/send_routes.h"

#include "records/knowledge_file.h"

namespace sending {

SendRoute::SendRoute(const model::CommandContext& c, const Ledger& ledger) : known_(c.knowledge) {
    if (!c.knowledge)
        read_ = records::loadKnowledge(c.files.knowledge);
    if (c.route) {
        route_ = c.route;
        return;
    }
    if (c.modem) {
        modem_.emplace(c, *c.modem);
        route_ = &*modem_;
        return;
    }
    gateway_.emplace(c, ledger, known());
    route_ = &*gateway_;
}

} // namespace sending
