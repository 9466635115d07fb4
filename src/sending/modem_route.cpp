#include "sending/modem_route.h"

#include "core/pointer.h"
#include "core/procedure.h"
#include "modem/text_modem.h"
#include "platform/desktop.h"
#include "recipients/phone_rules.h"
#include "recipients/summary.h"
#include "sending/send_flow.h"
#include "sending/send_texts.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSet>
#include <QTimer>

namespace sending {

using model::PhoneTarget;
using model::Targets;

namespace {
void waitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

QString internationalNumber(const QString& phoneRow, const QString& countryCode) {
    if (recipients::isFullAddress(phoneRow))
        return {};
    const QString digits = recipients::digitsOf(phoneRow);
    if (digits.isEmpty())
        return {};
    if (phoneRow.trimmed().startsWith(QLatin1Char('+')))
        return QLatin1Char('+') + digits;
    return countryCode + digits;
}

QString textOf(const QString& subject, const QString& body) {
    return subject.isEmpty() ? body : subject + QLatin1Char('\n') + body;
}

ModemRoute::ModemRoute(const model::CommandContext& c, modem::TextModem& modem)
    : c_(c), modem_(modem) {}

model::SendPlan ModemRoute::plan(const model::OutgoingText& text) {
    model::SendPlan plan;
    plan.ready = false;
    QStringList notNumbers;
    QSet<QString> seen;
    for (const QString& row : text.phones) {
        const QString number = internationalNumber(row, c_.modemPace.countryCode);
        if (number.isEmpty())
            notNumbers << row;
        else if (seen.contains(number))
            ++plan.repeatedRows;
        else {
            seen.insert(number);
            plan.targets << PhoneTarget{number, {}};
        }
    }
    const auto tell = [this](const QString& message) {
        c_.desktop.messageBox(message, platform::Buttons::Ok, platform::Icon::None,
                              c_.applicationTitle);
    };
    if (const modem::ModemReady ready = modem_.prepare();
        ready.problem != modem::ModemProblem::None) {
        tell(modemNotReadyMessage(ready));
        return plan;
    }
    if (!notNumbers.isEmpty()) {
        tell(notTextableMessage(notNumbers));
        plan.leftOut = notNumbers;
    }
    plan.ready = !plan.targets.isEmpty();
    return plan;
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

bool ModemRoute::counts(const QString& address) const {
    return !address.contains(QLatin1Char('@'));
}

qint64 ModemRoute::secondsLeft(int batchesLeft, const model::TextToSend& text) const {
    if (c_.modemPace.partsPerMinute <= 0)
        return -1;
    return qint64(batchesLeft) * 60 * recipients::gatewayTexts(text.subject, text.body).texts /
           c_.modemPace.partsPerMinute;
}

bool ModemRoute::paced(const model::TextToSend& text, const model::RouteSteps& steps) {
    if (std::exchange(first_, false) || c_.modemPace.partsPerMinute <= 0)
        return true;
    const qint64 parts = recipients::gatewayTexts(text.subject, text.body).texts;
    const qint64 pause = 60000 * parts / c_.modemPace.partsPerMinute;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < pause) {
        if (steps.goOn && !steps.goOn())
            return false;
        waitMs(int(qMin<qint64>(100, pause - waited.elapsed())));
    }
    return true;
}

QString ModemRoute::sendOne(const model::TextToSend& text, const Targets& batch) {
    const modem::TextResult sent =
        modem_.send(batch.first().phone, textOf(text.subject, text.body));
    if (sent.fate == modem::TextFate::Taken)
        return sent.reference;
    throw core::Failure(kTextRefused,
                        (sent.fate == modem::TextFate::Uncertain
                             ? QStringLiteral("The text to %1 may have been sent: %2.")
                             : QStringLiteral("Nothing was sent: the text to %1 did not go: %2."))
                            .arg(batch.first().phone, sent.reason));
}

model::RouteResult ModemRoute::sendEach(const model::TextToSend& text,
                                        const QList<Targets>& batches,
                                        const model::RouteSteps& steps) {
    model::RouteResult result;
    const QString words = textOf(text.subject, text.body);
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
            result.failure = core::Failure(
                kTextRefused, QStringLiteral("The modem went away before the text to %1 went. "
                                             "Plug it in again and send: the rest is kept.")
                                  .arg(batches[i].first().phone));
            break;
        } else if (sent.fate == modem::TextFate::Refused) {
            steps.refused(i, sent.reason);
        } else {
            result.nextMayHaveGone = true;
            result.failure = core::Failure(
                kTextRefused, QStringLiteral("The modem went away while a text was in flight: "
                                             "%1. The rest is kept.")
                                  .arg(sent.reason));
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
    return reportAtSubmitLine(c_, failure, line);
}

} // namespace sending
