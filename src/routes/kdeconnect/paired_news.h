#pragma once

#include "model/command_context.h"
#include "model/knowledge.h"
#include "routes/kdeconnect/device/paired_phones.h"

namespace kdeconnect_route {

// Brings the log up to date with what `phone`'s conversations show of recent sends through
// it: a text of ours the phone says it sent or could not send, and the texts it received from
// a phone of such a send (the whole number alike), each logged once in the latest send to that
// number before it. A reply of STOP or START opts its phone out or back in (`knowledge`, saved
// to its file); messages of other numbers are left alone. What the news tells of each phone
// goes to its status (`c.files.status`, `c.statuses`).
void bringPairedNewsIntoLog(paired::PairedPhones& phones, const paired::PairedPhone& phone,
                            const model::CommandContext& c, model::Knowledge& knowledge);

} // namespace kdeconnect_route
