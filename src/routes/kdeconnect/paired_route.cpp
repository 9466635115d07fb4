#include "routes/kdeconnect/paired_route.h"

#include "core/procedure.h"
#include "recipients/summary.h"
#include "routes/kdeconnect/paired_texts.h"

namespace kdeconnect_route {

using model::Targets;

PairedRoute::PairedRoute(const model::CommandContext& c, paired::PairedPhones& phones,
                         paired::PairedPhone phone, sending::TextingPace pace)
    : TextingRoute(c, pace, {QStringLiteral("Your phone"), kNotTextableHint, kPairedNotSent}),
      phones_(phones), phone_(std::move(phone)) {}

QString PairedRoute::id() const {
    return routeIdOf(phone_);
}

model::RouteWords PairedRoute::words() const {
    return {
        QStringLiteral("text"),
        QStringLiteral("texts"),
        QStringLiteral("handing over was never confirmed"),
        QStringLiteral("the daily allowance you set for your phone"),
        handedTo(phone_),
        QStringLiteral("your phone %1 through %2").arg(phone_.name, serviceName(phone_.service)),
        kHanded};
}

QString PairedRoute::allowanceQuestion(qsizetype recent, qsizetype needed, qsizetype partsEach,
                                       qsizetype fits) const {
    return pairedAllowanceQuestion(phone_, recent, needed, partsEach, pace_.partsPerDay, fits);
}

bool PairedRoute::makeReady() {
    bool paired = false;
    for (const paired::PairedPhone& now : phones_.phones())
        if (now.id == phone_.id && now.service == phone_.service) {
            if (now.reachable)
                return true;
            paired = true;
        }
    tell(notReadyMessage(phone_, paired, {}));
    return false;
}

model::RouteResult PairedRoute::sendEach(const model::TextToSend& text,
                                         const QList<Targets>& batches,
                                         const model::RouteSteps& steps) {
    model::RouteResult result;
    const QString words = recipients::textOf(text.subject, text.body);
    for (int i = 0; i < batches.size(); ++i) {
        if (!nextGoes(i, text, steps)) {
            result.stopped = true;
            break;
        }
        const QString number = batches[i].first().phone;
        const paired::HandOver handed = phones_.send(phone_, number, words);
        if (handed.fate == paired::HandOverFate::Handed) {
            ++result.taken;
            // Tied to its news by the number and the time: the service gives no reference.
            steps.taken(i, number, {});
        } else if (handed.fate == paired::HandOverFate::Refused) {
            steps.refused(i, handed.reason);
        } else {
            result.nextMayHaveGone = handed.fate == paired::HandOverFate::Uncertain;
            result.failure =
                core::Failure(kPairedNotSent, goneMidwayMessage(phone_, number, handed.reason,
                                                                result.nextMayHaveGone));
            break;
        }
    }
    return result;
}

} // namespace kdeconnect_route
