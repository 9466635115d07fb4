#pragma once

#include "model/command_context.h"
#include "model/route.h"

namespace modem {
class TextModem;
}

namespace modem_route {

// How the files and the settings name this route.
inline const QString kRouteId = QStringLiteral("modem");

// How texts go through the modem: at most so many text parts a minute and a day.
struct ModemPace {
    int partsPerMinute = 10; // 0: no pause between texts
    qsizetype partsPerDay = 500;
};

// Texts through the computer's own modem: each phone once, in international form, one text
// a phone at the pace set, the subject and the body as the gateways show them.
class ModemRoute final : public model::Route {
  public:
    ModemRoute(const model::CommandContext& c, modem::TextModem& modem, ModemPace pace);
    QString id() const override { return kRouteId; }
    model::RouteWords words() const override;
    bool hasWhatItNeeds() const override { return true; }
    bool makeReady() override;
    model::SendPlan plan(const model::OutgoingText& text) override;
    qsizetype mostInOneBatch() const override { return 0; }
    QString largeSendQuestion(const model::OutgoingText&, const model::SendPlan&) const override {
        return {};
    }
    QList<model::Targets> batches(const model::Targets& targets) const override;
    model::RouteResult sendEach(const model::TextToSend& text, const QList<model::Targets>& batches,
                                const model::RouteSteps& steps) override;
    qint64 secondsLeft(int batchesLeft, const model::TextToSend& text) const override;
    qsizetype dailyAllowance() const override { return pace_.partsPerDay; }
    qsizetype partsOf(const model::TextToSend& text) const override;
    QString allowanceQuestion(qsizetype recent, qsizetype needed, qsizetype partsEach,
                              qsizetype fits) const override;
    bool explain(const model::OutgoingText& text, const core::Failure& failure, int line) override;

  private:
    // Waits out the pace before the next text; false when a stop was asked meanwhile.
    bool paced(const model::TextToSend& text, const model::RouteSteps& steps);

    const model::CommandContext& c_;
    modem::TextModem& modem_;
    const ModemPace pace_;
    bool first_ = true;
};

// Failure numbers of the modem route, whose description is the whole box.
inline constexpr long kModemNotReady = 0x80040221L;
inline constexpr long kTextRefused = 0x80040222L;

} // namespace modem_route
