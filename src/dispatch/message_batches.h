#pragma once

#include "dispatch/dispatch_context.h"

#include <QDateTime>
#include <QStringList>

namespace core {
class Procedure;
}
namespace mail {
struct MailMessage;
}

namespace dispatch {

// Sends `now` in messages of at most 100 recipients over one connection and one login, and
// keeps `later` to go another day. The kept-texts file holds what has not gone from before
// connecting until the end, each message the server takes is logged and remembered for the
// delivery check as it is taken, and the message in flight is marked uncertain meanwhile, so
// a stop, a refusal or a crash loses nothing and sends nothing twice. Shows the outcome;
// when nothing went, the failure is raised as a send of one message raises it. `replacing`:
// the index of the kept text this send takes the place of, or -1.
void sendInMessages(const DispatchContext& c, const mail::MailMessage& common,
                    const QStringList& now, const QStringList& later, const QDateTime& keptUtc,
                    qsizetype replacing = -1);

// How many of `needed` recipients fit in the account's daily allowance now: all when the
// context looks at no allowance.
qsizetype recipientsThatFit(const DispatchContext& c, qsizetype needed, qsizetype* recent);

// On "Send Message", while a kept text waits and the allowance leaves room: offers it. Yes
// sends it (what fits) and returns true; No keeps it, Cancel drops it, and the window's text
// goes on.
bool offerKeptSend(const DispatchContext& c, const OutgoingText& text, core::Procedure& p);
// The same offer when the program starts.
void offerKeptSendAtStart(const DispatchContext& c, const OutgoingText& text);

} // namespace dispatch
