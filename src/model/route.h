#pragma once

#include "core/error_report.h"
#include "model/send_plan.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace model {

// How a route speaks of itself in the boxes every route shares.
struct RouteWords {
    QString batch;      // what one batch is called: "message", "text"
    QString batches;    // and more than one: "messages", "texts"
    QString unanswered; // what befell a batch that went without an answer: "reply never came"
    QString allowance;  // its daily allowance as a box names it: "Gmail's daily allowance"
    QString by;         // how a text went, as a phone's status says it: "by e-mail"
    // How the log's record of a send names the route ("the computer's modem"); nothing: the
    // record stands as e-mail's always has.
    QString inLog = {};
    // How a phone's status says a text the route took went, where "sent" would say more than
    // the route knows: "handed" (to a phone that reports no delivery); nothing: "sent".
    QString taken = {};
};

// What a route tells while a send of several batches runs. Batches go and are told in order;
// a route may send the next before the one before is told, and then tells no refused
// addresses of a batch taken (those would stand before a batch still in flight).
struct RouteSteps {
    std::function<void(int batch)> sending; // right before a batch goes out
    // Right after a batch was taken, with its reference; `refused`: addresses of it that were
    // refused while the rest of the batch was taken.
    std::function<void(int batch, const QString& reference, const QStringList& refused)> taken;
    // Right after a batch was refused while the send goes on with the next one (a text the
    // network refused for its number, say): kept for later, `reason` in plain words.
    std::function<void(int batch, const QString& reason)> refused;
    std::function<bool()> goOn; // asked before each further batch; false ends the send
};

// How a send of several batches ended. The batches taken are always the first few.
struct RouteResult {
    int taken = 0;
    bool nextMayHaveGone = false; // the batches in flight went but their answer never came
    bool stopped = false;         // goOn said no and nothing failed
    // Why the send ended before every batch went (or a batch went only in part), as the box
    // that explains it says it; nothing when it did not end early.
    std::optional<core::Failure> failure;
};

// A way for texts to reach phones. The send's flow (questions, the kept rest, progress, the
// log, the pending sends) is the same for every route; a route says how the phones go in
// batches, sends them, and speaks for itself in every box.
class Route {
  public:
    virtual ~Route() = default;
    // How the files name the route: "email", "modem".
    virtual QString id() const = 0;
    virtual RouteWords words() const = 0;
    // Whether the route has what it needs to send (a login, say); a kept text is offered
    // only then, and otherwise the send's own checks speak.
    virtual bool hasWhatItNeeds() const = 0;
    // Makes the route ready to send now (a modem enabled, say), or tells the user why it
    // cannot be and returns false (then nothing goes).
    virtual bool makeReady() = 0;
    // The phones of the text and what each goes to, the route made ready; not ready when the
    // route told the user why it cannot send it (then nothing goes).
    virtual SendPlan plan(const OutgoingText& text) = 0;
    // What the route asks before a send of this plan goes (more recipients than one message
    // takes, say), as a Yes/No question; nothing: it goes without a question.
    virtual QString questionBefore(const OutgoingText& text, const SendPlan& plan) const {
        Q_UNUSED(text);
        Q_UNUSED(plan);
        return {};
    }
    // The batches the targets go in, in order: each a run of the targets.
    virtual QList<Targets> batches(const Targets& targets) const = 0;
    virtual RouteResult sendEach(const TextToSend& text, const QList<Targets>& batches,
                                 const RouteSteps& steps) = 0;
    // How long the batches left take at the route's pace, in seconds; -1: not known.
    virtual qint64 secondsLeft(int batchesLeft, const TextToSend& text) const {
        Q_UNUSED(batchesLeft);
        Q_UNUSED(text);
        return -1;
    }
    // The most a route sends in 24 hours, counted as `partsOf` says; 0: no allowance.
    virtual qsizetype dailyAllowance() const = 0;
    // What one recipient of `text` counts toward the daily allowance: 1 for a recipient;
    // for a text, its parts.
    virtual qsizetype partsOf(const TextToSend& text) const = 0;
    // The question before a send that would cross the daily allowance (`recent` negative:
    // what went in the last 24 hours is not known; `needed` and `fits` in recipients).
    virtual QString allowanceQuestion(qsizetype recent, qsizetype needed, qsizetype partsEach,
                                      qsizetype fits) const = 0;
    // The route's own answer to a failure raised at `line` of a send of `text`: shows its
    // box and returns true when it explained it (the send ends).
    virtual bool explain(const OutgoingText& text, const core::Failure& failure, int line) = 0;
};

} // namespace model
