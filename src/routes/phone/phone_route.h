#pragma once

#include "model/command_context.h"
#include "model/route.h"
#include "routes/phone/app/phone_api.h"
#include "routes/phone/phone_texts.h"
#include "sending/texting.h"

#include <optional>

namespace phone_route {

// How texts go through the phone: at most so many text parts a minute and a day, and how long
// a text taken by the phone may stay unsent before it is called uncertain.
struct PhonePace : sending::TextingPace {
    int sentWithinSeconds = 60;
};

// Texts through the user's own Android phone, by its SMS gateway app on the user's network:
// each phone once, in international form, one request a phone under an id of its own made
// from the kept text and the number (a repeat is answered "already there", and that phone is
// not texted twice), its state read back until the phone sent it, failed, or the time ran out.
class PhoneRoute final : public sending::TextingRoute {
  public:
    PhoneRoute(const model::CommandContext& c, phone::PhoneGateway& gateway,
               phone::PhoneLogin login, QString shownAddress, PhonePace pace);
    QString id() const override { return kRouteId; }
    model::RouteWords words() const override;
    bool hasWhatItNeeds() const override { return !login_.password.isEmpty(); }
    bool makeReady() override;
    model::RouteResult sendEach(const model::TextToSend& text, const QList<model::Targets>& batches,
                                const model::RouteSteps& steps) override;
    QString allowanceQuestion(qsizetype recent, qsizetype needed, qsizetype partsEach,
                              qsizetype fits) const override;

  private:
    // The text to `number` sent under its own id, or, when the phone has it already, what
    // became of it; a try that failed before goes again under the next id. `firstAnswer`: the
    // phone's answer to the first try, when it was asked already.
    phone::MessageStatus sendOnce(const model::TextToSend& text, const QString& number,
                                  std::optional<phone::MessageStatus> firstAnswer = {});
    // The state read back until the phone sent it or failed, or the time ran out; `justRead`:
    // the state given was read a moment ago.
    phone::MessageStatus settled(phone::MessageStatus status, bool justRead);
    // What became of the text of `batch` told through `steps`; false when the send ends with
    // it, `result` saying why.
    bool tellWhatBecame(int batch, const QString& number, const phone::MessageStatus& sent,
                        const model::RouteSteps& steps, model::RouteResult& result) const;
    phone::PhoneGateway& gateway_;
    const phone::PhoneLogin login_;
    const QString address_;
    const int sentWithinSeconds_;
};

// The id of the text to `number` of a kept text, before any try: the same whenever that text
// goes again, within the 36 characters the app takes.
QString messageId(const model::TextToSend& text, const QString& number);

// The failure number of the phone route, whose description is the whole box.
inline constexpr long kPhoneNotSent = 0x80040231L;

} // namespace phone_route
