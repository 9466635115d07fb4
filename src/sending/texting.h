#pragma once

#include "model/command_context.h"
#include "model/route.h"
#include "model/send_plan.h"

#include <QString>
#include <QStringList>

namespace platform {
class SettingsStore;
}

namespace sending {

// What every route that texts phones itself shares (the modem, the user's phone): each phone
// once as a number in international form, one text a batch, at a pace of text parts a minute
// and within an allowance of parts a day that the user sets.
struct TextingPace {
    int partsPerMinute = 10; // 0: no pause between texts
    qsizetype partsPerDay = 500;
};
// The pace the settings named give: 10 parts a minute and 500 a day unless set.
TextingPace textingPace(platform::SettingsStore& settings, const QString& perMinuteSetting,
                        const QString& perDaySetting);

// Each phone row once, as recipients::internationalNumber makes it after `countryCode`; the
// rows that are no number in `leftOut`, a row repeating a number counted in `repeatedRows`.
model::SendPlan numbersOf(const QStringList& rows, const QString& countryCode);
// One phone a batch, in order.
QList<model::Targets> onePerBatch(const model::Targets& targets);
// What a phone shows of the text: its parts.
qsizetype partsOf(const model::TextToSend& text);
// Told when rows that are no number were left out: `who` texts phone numbers only, and `hint`
// says where else they could go.
QString notTextableMessage(const QString& who, const QStringList& rows, const QString& hint);

// Waits out the pace before each text after the first, the window painting meanwhile.
class Pacer {
  public:
    explicit Pacer(int partsPerMinute) : perMinute_(partsPerMinute) {}
    // False when a stop was asked meanwhile.
    bool waitBefore(const model::TextToSend& text, const model::RouteSteps& steps);
    // How long `batchesLeft` texts take at the pace; -1 without one.
    qint64 secondsLeft(int batchesLeft, const model::TextToSend& text) const;

  private:
    int perMinute_;
    bool first_ = true;
};

// How a route that texts phones itself speaks of itself where they all say the same.
struct TextingWords {
    QString who;         // "The modem", as the box of rows that are no number names it
    QString notTextable; // where those rows could go instead
    long failureNumber;  // the route's failure whose description is the whole box
};

// A route that texts phones itself: each phone once, a phone a batch, made ready before the
// plan, the pace and the daily allowance in text parts, a failure of its own told in its box.
class TextingRoute : public model::Route {
  public:
    TextingRoute(const model::CommandContext& c, TextingPace pace, TextingWords words)
        : c_(c), pace_(pace), pacer_(pace.partsPerMinute), texting_(std::move(words)) {}
    // Each row once as a whole number, the route made ready first; rows that are no number
    // named and left out.
    model::SendPlan plan(const model::OutgoingText& text) override;
    bool explain(const model::OutgoingText& text, const core::Failure& failure, int line) override;
    QList<model::Targets> batches(const model::Targets& targets) const override {
        return onePerBatch(targets);
    }
    qint64 secondsLeft(int batchesLeft, const model::TextToSend& text) const override {
        return pacer_.secondsLeft(batchesLeft, text);
    }
    qsizetype dailyAllowance() const override { return pace_.partsPerDay; }
    qsizetype partsOf(const model::TextToSend& text) const override {
        return sending::partsOf(text);
    }

  protected:
    // Shows `message` in a box of its own, the pointer back to normal.
    void tell(const QString& message) const;
    // Before the text of `batch`: the pace's pause, then the batch told as going; false, with
    // nothing told, when a stop was asked before it.
    bool nextGoes(int batch, const model::TextToSend& text, const model::RouteSteps& steps);

    const model::CommandContext& c_;
    const TextingPace pace_;
    Pacer pacer_;

  private:
    const TextingWords texting_;
};

} // namespace sending
