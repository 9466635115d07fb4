#include "sending/texting.h"

#include "core/error_report.h"
#include "core/pointer.h"
#include "platform/desktop.h"
#include "platform/settings_store.h"
#include "recipients/phone_rules.h"
#include "recipients/summary.h"
#include "sending/send_flow.h"
#include "sending/send_texts.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSet>
#include <QTimer>

namespace sending {

TextingPace textingPace(platform::SettingsStore& settings, const QString& perMinuteSetting,
                        const QString& perDaySetting) {
    TextingPace pace;
    bool ok = false;
    const int perMinute = settings.read(perMinuteSetting, QString()).toInt(&ok);
    if (ok && perMinute >= 0)
        pace.partsPerMinute = perMinute;
    const qsizetype perDay = settings.read(perDaySetting, QString()).toLongLong(&ok);
    if (ok && perDay > 0)
        pace.partsPerDay = perDay;
    return pace;
}

model::SendPlan numbersOf(const QStringList& rows, const QString& countryCode) {
    model::SendPlan plan;
    QSet<QString> seen;
    for (const QString& row : rows) {
        const QString number = recipients::internationalNumber(row, countryCode);
        if (number.isEmpty())
            plan.leftOut << row;
        else if (seen.contains(number))
            ++plan.repeatedRows;
        else {
            seen.insert(number);
            plan.targets << model::PhoneTarget{number, {}};
        }
    }
    return plan;
}

QList<model::Targets> onePerBatch(const model::Targets& targets) {
    QList<model::Targets> batches;
    for (const model::PhoneTarget& target : targets)
        batches << model::Targets{target};
    return batches;
}

qsizetype partsOf(const model::TextToSend& text) {
    return recipients::gatewayTexts(text.subject, text.body).texts;
}

QString notTextableMessage(const QString& who, const QStringList& rows, const QString& hint) {
    return QStringLiteral("%1 texts phone numbers only; these rows are left out of this send: "
                          "%2. %3")
        .arg(who, firstFew(rows), hint);
}

model::SendPlan TextingRoute::plan(const model::OutgoingText& text) {
    model::SendPlan plan = numbersOf(text.phones, c_.countryCode);
    plan.ready = false;
    if (!makeReady())
        return plan;
    if (!plan.leftOut.isEmpty())
        tell(notTextableMessage(texting_.who, plan.leftOut, texting_.notTextable));
    plan.ready = !plan.targets.isEmpty();
    return plan;
}

bool TextingRoute::explain(const model::OutgoingText&, const core::Failure& failure, int line) {
    if (failure.number() != texting_.failureNumber)
        return reportAtSubmitLine(c_, failure, line);
    tell(failure.description());
    return true;
}

void TextingRoute::tell(const QString& message) const {
    c_.pointer.setStyle(core::kDefaultPointer);
    c_.desktop.messageBox(message, platform::Buttons::Ok, platform::Icon::None,
                          c_.applicationTitle);
}

bool TextingRoute::nextGoes(int batch, const model::TextToSend& text,
                            const model::RouteSteps& steps) {
    if ((batch > 0 && steps.goOn && !steps.goOn()) || !pacer_.waitBefore(text, steps))
        return false;
    steps.sending(batch);
    return true;
}

bool Pacer::waitBefore(const model::TextToSend& text, const model::RouteSteps& steps) {
    if (std::exchange(first_, false) || perMinute_ <= 0)
        return true;
    const qint64 pause = 60000 * partsOf(text) / perMinute_;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < pause) {
        if (steps.goOn && !steps.goOn())
            return false;
        QEventLoop loop;
        QTimer::singleShot(int(qMin<qint64>(100, pause - waited.elapsed())), &loop,
                           &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

qint64 Pacer::secondsLeft(int batchesLeft, const model::TextToSend& text) const {
    if (perMinute_ <= 0)
        return -1;
    return qint64(batchesLeft) * 60 * partsOf(text) / perMinute_;
}

} // namespace sending
