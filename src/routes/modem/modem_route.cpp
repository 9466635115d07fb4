#include "routes/modem/modem_route.h"

#include "core/pointer.h"
#include "core/procedure.h"
#include "platform/desktop.h"
#include "recipients/summary.h"
#include "routes/modem/device/text_modem.h"
#include "routes/modem/modem_texts.h"
#include "sending/send_flow.h"

namespace modem_route {

using model::Targets;

ModemRoute::ModemRoute(const model::CommandContext& c, modem::TextModem& modem,
                       sending::TextingPace pace)
    : TextingRoute(c, pace, {QStringLiteral("The modem"), kNotTextableHint, kTextRefused}),
      modem_(modem) {}

model::RouteWords ModemRoute::words() const {
    return {QStringLiteral("text"),
            QStringLiteral("texts"),
            QStringLiteral("answer never came"),
            QStringLiteral("the daily allowance you set for the modem"),
            kBy,
            QStringLiteral("the computer's modem")};
}

QString ModemRoute::allowanceQuestion(qsizetype recent, qsizetype needed, qsizetype partsEach,
                                      qsizetype fits) const {
    return modemAllowanceQuestion(recent, needed, partsEach, pace_.partsPerDay, fits);
}

bool ModemRoute::makeReady() {
    const modem::ModemReady ready = modem_.prepare();
    if (ready.problem == modem::ModemProblem::None)
        return true;
    tell(modemNotReadyMessage(ready));
    return false;
}

model::RouteResult ModemRoute::sendEach(const model::TextToSend& text,
                                        const QList<Targets>& batches,
                                        const model::RouteSteps& steps) {
    model::RouteResult result;
    const QString words = recipients::textOf(text.subject, text.body);
    for (int i = 0; i < batches.size(); ++i) {
        if (!nextGoes(i, text, steps)) {
            result.stopped = true;
            break;
        }
        const modem::TextResult sent = modem_.send(batches[i].first().phone, words);
        if (sent.fate == modem::TextFate::Taken) {
            ++result.taken;
            steps.taken(i, sent.reference, {});
        } else if (sent.fate == modem::TextFate::Refused && sent.notAllowed) {
            // The system's policy refuses every text alike: the send ends, nothing lost.
            result.failure = core::Failure(
                kTextRefused, modemNotReadyMessage({modem::ModemProblem::NotAllowed, sent.reason}));
            break;
        } else if (sent.fate == modem::TextFate::Refused && sent.modemGone) {
            result.failure =
                core::Failure(kTextRefused, modemGoneMessage(batches[i].first().phone));
            break;
        } else if (sent.fate == modem::TextFate::Refused) {
            steps.refused(i, sent.reason);
        } else {
            result.nextMayHaveGone = true;
            result.failure = core::Failure(kTextRefused, modemGoneInFlightMessage(sent.reason));
            break;
        }
    }
    return result;
}

} // namespace modem_route
