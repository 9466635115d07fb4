#include "routes/modem/modem_route.h"

#include "core/pointer.h"
#include "core/procedure.h"
#include "modem/text_modem.h"
#include "platform/desktop.h"
#include "recipients/phone_rules.h"
#include "recipients/summary.h"
#include "routes/modem/modem_texts.h"
#include "sending/send_flow.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSet>
#include <QTimer>

namespace modem_route {

using model::PhoneTarget;
using model::Targets;

namespace {
void waitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

ModemRoute::ModemRoute(const model::CommandContext& c, modem::TextModem& modem, ModemPace pace)
    : c_(c), modem_(modem), pace_(pace) {}

model::RouteWords ModemRoute::words() const {
    return {QStringLiteral("text"), QStringLiteral("texts"), QStringLiteral("answer never came"),
            QStringLiteral("the daily allowance you set for the modem"),
            QStringLiteral("through the modem")};
}

QString ModemRoute::allowanceQuestion(qsizetype recent, qsizetype needed, qsizetype partsEach,
                                      qsizetype fits) const {
    return modemAllowanceQuestion(recent, needed, partsEach, pace_.partsPerDay, fits);
}

model::SendPlan ModemRoute::plan(const model::OutgoingText& text) {
    model::SendPlan plan;
    plan.ready = false;
    QStringList notNumbers;
    QSet<QString> seen;
    for (const QString& row : text.phones) {
        const QString number = recipients::internationalNumber(row, c_.countryCode);
        if (number.isEmpty())
            notNumbers << row;
        else if (seen.contains(number))
            ++plan.repeatedRows;
        else {
            seen.insert(number);
            plan.targets << PhoneTarget{number, {}};
        }
    }
    if (!makeReady())
        return plan;
    if (!notNumbers.isEmpty()) {
        c_.desktop.messageBox(notTextableMessage(notNumbers), platform::Buttons::Ok,
                              platform::Icon::None, c_.applicationTitle);
        plan.leftOut = notNumbers;
    }
    plan.ready = !plan.targets.isEmpty();
    return plan;
}

bool ModemRoute::makeReady() {
    const modem::ModemReady ready = modem_.prepare();
    if (ready.problem == modem::ModemProblem::None)
        return true;
    c_.pointer.setStyle(core::kDefaultPointer);
    c_.desktop.messageBox(modemNotReadyMessage(ready), platform::Buttons::Ok, platform::Icon::None,
                          c_.applicationTitle);
    return false;
}

QList<Targets> ModemRoute::batches(const Targets& targets) const {
    QList<Targets> batches;
    for (const PhoneTarget& target : targets)
        batches << Targets{target};
    return batches;
}

qsizetype ModemRoute::partsOf(const model::TextToSend& text) const {
    return recipients::gatewayTexts(text.subject, text.body).texts;
}

qint64 ModemRoute::secondsLeft(int batchesLeft, const model::TextToSend& text) const {
    if (pace_.partsPerMinute <= 0)
        return -1;
    return qint64(batchesLeft) * 60 * recipients::gatewayTexts(text.subject, text.body).texts /
           pace_.partsPerMinute;
}

bool ModemRoute::paced(const model::TextToSend& text, const model::RouteSteps& steps) {
    if (std::exchange(first_, false) || pace_.partsPerMinute <= 0)
        return true;
    const qint64 parts = recipients::gatewayTexts(text.subject, text.body).texts;
    const qint64 pause = 60000 * parts / pace_.partsPerMinute;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < pause) {
        if (steps.goOn && !steps.goOn())
            return false;
        waitMs(int(qMin<qint64>(100, pause - waited.elapsed())));
    }
    return true;
}

model::RouteResult ModemRoute::sendEach(const model::TextToSend& text,
                                        const QList<Targets>& batches,
                                        const model::RouteSteps& steps) {
    model::RouteResult result;
    const QString words = recipients::textOf(text.subject, text.body);
    for (int i = 0; i < batches.size(); ++i) {
        if ((i > 0 && steps.goOn && !steps.goOn()) || !paced(text, steps)) {
            result.stopped = true;
            break;
        }
        steps.sending(i);
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

bool ModemRoute::explain(const model::OutgoingText&, const core::Failure& failure, int line) {
    if (failure.number() == kTextRefused || failure.number() == kModemNotReady) {
        c_.pointer.setStyle(core::kDefaultPointer);
        c_.desktop.messageBox(failure.description(), platform::Buttons::Ok, platform::Icon::None,
                              c_.applicationTitle);
        return true;
    }
    return sending::reportAtSubmitLine(c_, failure, line);
}

} // namespace modem_route
