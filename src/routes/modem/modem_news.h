#pragma once

#include "model/command_context.h"
#include "model/knowledge.h"

#include <QDateTime>

namespace modem {
class TextModem;
}

namespace modem_route {

// Brings the log up to date with what the modem holds for recent sends through it. A status
// report tied to its text by number and reference says whether the network delivered it; a
// text received from a phone of such a send (the whole number alike) is that phone's reply. Each is
// logged once in its send's record and then deleted from the modem; texts from numbers not texted
// stay. A reply of STOP or START opts its phone out or back in (`knowledge`, saved to its file): a
// text the modem received comes from that number by nature.
// What the news tells of each phone goes to its status (`c.files.status`, `c.statuses`).
void bringModemNewsIntoLog(modem::TextModem& modem, const model::CommandContext& c,
                           model::Knowledge& knowledge);

} // namespace modem_route
