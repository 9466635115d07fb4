#pragma once

#include "model/command_context.h"
#include "model/route.h"
#include "routes/kdeconnect/device/paired_phones.h"
#include "sending/texting.h"

namespace kdeconnect_route {

// Texts through a phone paired with this desktop: each phone once, in international form,
// one call a phone (several numbers in one call would become one group message), at the
// pace set. No delivery report comes: a text handed over is "handed to" the phone.
class PairedRoute final : public sending::TextingRoute {
  public:
    PairedRoute(const model::CommandContext& c, paired::PairedPhones& phones,
                paired::PairedPhone phone, sending::TextingPace pace);
    QString id() const override;
    model::RouteWords words() const override;
    bool hasWhatItNeeds() const override { return true; }
    bool makeReady() override;
    model::RouteResult sendEach(const model::TextToSend& text, const QList<model::Targets>& batches,
                                const model::RouteSteps& steps) override;
    QString allowanceQuestion(qsizetype recent, qsizetype needed, qsizetype partsEach,
                              qsizetype fits) const override;

  private:
    paired::PairedPhones& phones_;
    const paired::PairedPhone phone_;
};

// The failure number of the route, whose description is the whole box.
inline constexpr long kPairedNotSent = 0x80040241L;

} // namespace kdeconnect_route
