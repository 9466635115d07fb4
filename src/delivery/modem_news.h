#pragma once

#include "model/command_context.h"

#include <QDateTime>

namespace modem {
class TextModem;
}

namespace delivery {

// Brings the log up to date with what the modem holds for recent sends through it. A status
// report tied to its text by number and reference says whether the network delivered it; a
// text received from a phone of such a send is that phone's reply. Each is logged once in
// its send's record and then deleted from the modem; texts from numbers not texted stay.
void bringModemNewsIntoLog(modem::TextModem& modem, const model::DataFiles& files,
                           const QDateTime& now);

} // namespace delivery
