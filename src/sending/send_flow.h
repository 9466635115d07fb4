#pragma once

#include "model/command_context.h"
#include "model/knowledge.h"
#include "model/route.h"
#include "model/send_records.h"

#include <QDateTime>

namespace core {
class Failure;
class Procedure;
} // namespace core

namespace sending {

class Ledger;

// What is known of each phone for one command: the context's, or read once from its file.
class KnownPhones {
  public:
    explicit KnownPhones(const model::CommandContext& c);
    const model::Knowledge& operator*() const { return known_ ? *known_ : read_; }

  private:
    model::Knowledge read_;
    const model::Knowledge* known_ = nullptr;
};

// One send under way: what it reaches, the route its texts take, the ledger read for it, and
// the text.
struct Send {
    const model::CommandContext& c;
    model::Route& route;
    Ledger& ledger;
    model::TextToSend text;
};

// The statements of the send that submit, and that write the log.
inline constexpr int kSubmitLine = 182;
inline constexpr int kLogLine = 186;

// A failure at the submitting statement that no box of the route explains: the error
// report, and the send ends. False for a failure at any other statement.
bool reportAtSubmitLine(const model::CommandContext& c, const core::Failure& failure, int line);

// The kept texts; a file that could not be read whole is moved aside and the user told. What
// the `pending` sends of its route hold as taken leaves a text's uncertain head.
QList<model::KeptSend> loadKeptTexts(const model::CommandContext& c,
                                     const QList<model::PendingSend>& pending);

// Leaves out of `items` (phone rows, or kept addresses) those whose phone, as `phoneOf` reads
// it, asked not to be texted (a number without "+" taken after `countryCode` where the STOP
// came from a whole number); returns those phones for the box, each once.
QStringList leaveOutOptedOut(QStringList& items, const model::Knowledge& known,
                             const QString& countryCode,
                             const std::function<QString(const QString&)>& phoneOf);

// The one flow of a send, of one batch or many: sends `now` in the route's batches over one
// connection and keeps `later` to go another day. The kept-texts file holds what has not gone from
// before connecting until the end, each batch taken is logged and remembered for the delivery check
// as it is taken, and the batch in flight is marked uncertain meanwhile, so a stop, a refusal or a
// crash loses nothing and sends nothing twice. Shows the outcome, phone by phone; when nothing
// went, the failure is raised, for the route to explain. `replacing`: the index of the kept text
// this send takes the place of, or -1. Returns what became of each phone.
QList<model::PhoneOutcome> sendInBatches(const Send& send, const model::Targets& now,
                                         const model::Targets& later, const QDateTime& keptUtc,
                                         qsizetype replacing = -1);

} // namespace sending
