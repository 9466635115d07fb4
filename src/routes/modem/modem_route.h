#pragma once

#include "model/command_context.h"
#include "model/route.h"
#include "sending/texting.h"

namespace modem {
class TextModem;
}

namespace modem_route {

// How the files and the settings name this route.
inline const QString kRouteId = QStringLiteral("modem");

// Texts through the computer's own modem: each phone once, in international form, one text
// a phone at the pace set, the subject and the body as the gateways show them.
class ModemRoute final : public sending::TextingRoute {
  public:
    ModemRoute(const model::CommandContext& c, modem::TextModem& modem, sending::TextingPace pace);
    QString id() const override { return kRouteId; }
    model::RouteWords words() const override;
    bool hasWhatItNeeds() const override { return true; }
    bool makeReady() override;
    model::RouteResult sendEach(const model::TextToSend& text, const QList<model::Targets>& batches,
                                const model::RouteSteps& steps) override;
    QString allowanceQuestion(qsizetype recent, qsizetype needed, qsizetype partsEach,
                              qsizetype fits) const override;

  private:
    modem::TextModem& modem_;
};

// The failure number of the modem route, whose description is the whole box (0x80040221 is
// no longer raised).
inline constexpr long kTextRefused = 0x80040222L;

} // namespace modem_route
