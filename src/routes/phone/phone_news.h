#pragma once

#include "model/command_context.h"
#include "model/knowledge.h"
#include "routes/phone/app/phone_gateway.h"

#include <QDateTime>

namespace phone_route {

// Brings the log up to date with what the phone knows of recent sends through it: a text the
// network delivered or gave up on, as its app tells, and the texts it received from a phone
// of such a send (the whole number alike), each logged once in its send's record. A reply of
// STOP or START opts its phone out or back in (`knowledge`, saved to its file); texts from
// other numbers are left alone. A phone that does not answer leaves it all for the next time.
// What the news tells of each phone goes to its status (`c.files.status`, `c.statuses`).
void bringPhoneNewsIntoLog(phone::PhoneGateway& gateway, const phone::PhoneLogin& login,
                           const model::CommandContext& c, model::Knowledge& knowledge);

} // namespace phone_route
