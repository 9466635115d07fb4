#include "sending/send_command.h"

#include "core/error_report.h"
#include "core/pointer.h"
#include "core/procedure.h"
#include "model/route.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "sending/allowance.h"
#include "sending/kept_offer.h"
#include "sending/send_flow.h"
#include "sending/send_texts.h"

namespace sending {

using core::Procedure;
using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace {

bool asked(const model::CommandContext& c, const QString& question) {
    return c.desktop.messageBox(question, Buttons::YesNo, Icon::None, c.applicationTitle) ==
           Answer::Yes;
}

// The route's plan of the phones; "No phone numbers." when the list is empty.
model::SendPlan planned(const model::CommandContext& c, model::Route& route,
                        const model::OutgoingText& text, Procedure& p) {
    model::SendPlan plan;
    plan.ready = false;
    if (p.opensBlock(112, [&] { return !text.phones.isEmpty(); })) {
        p.step(118, [&] {
            // Rows are counted in 16 bits: longer lists are an Overflow, not a send.
            core::toInteger(text.phones.size());
            core::toInteger(text.carriers.size());
            plan = route.plan(text);
        });
    } else {
        p.step(138, [&] {
            c.desktop.messageBox(QStringLiteral("No phone numbers."), Buttons::Ok, Icon::None,
                                 c.applicationTitle);
        });
    }
    return plan;
}

// What the route asks before this send (more recipients than one message takes, say).
bool largeSendAgreed(const model::CommandContext& c, model::Route& route,
                     const model::OutgoingText& text, const model::SendPlan& plan, Procedure& p) {
    bool goAhead = false;
    p.step(100, [&] { goAhead = false; });
    const QString question = route.questionBefore(text, plan);
    if (p.opensBlock(102, [&] { return !question.isEmpty(); })) {
        if (p.opensBlock(104, [&] { return asked(c, question); }))
            p.step(106, [&] { goAhead = true; });
    } else {
        p.step(108, [&] { goAhead = true; });
    }
    return !p.skipsAhead(110, [&] { return !goAhead; });
}

} // namespace

QList<qsizetype> sendMessage(const model::CommandContext& c, const model::OutgoingText& text,
                             model::RouteOption& option) {
    Ledger ledger(c);
    const KnownPhones known(c);
    const std::unique_ptr<model::Route> route = option.open(c, ledger.sends(), *known);
    Procedure p(c.desktop, core::qualifiedName("Form1", "PushButton1_Click"),
                [&](const core::Failure& failure, int line) {
                    return route->explain(text, failure, line);
                });
    if (offerKeptSend(c, *route, *known, ledger, p))
        return {};
    // Phones that asked not to be texted are left out before anything connects.
    model::OutgoingText wanted = text;
    const QStringList optedOut = leaveOutOptedOut(wanted.phones, *known, c.countryCode,
                                                  [](const QString& row) { return row; });
    if (!optedOut.isEmpty()) {
        c.desktop.messageBox(optedOutMessage(optedOut, wanted.phones.isEmpty()), Buttons::Ok,
                             Icon::None, c.applicationTitle);
        if (wanted.phones.isEmpty())
            return {};
    }
    const model::SendPlan plan = planned(c, *route, wanted, p);
    if (p.ended() || !plan.ready)
        return plan.untickedCarriers;
    if (plan.repeatedRows > 0)
        c.desktop.messageBox(repeatedRowsMessage(plan.repeatedRows), Buttons::Ok, Icon::None,
                             c.applicationTitle);
    if (!largeSendAgreed(c, *route, wanted, plan, p))
        return plan.untickedCarriers;
    // The daily allowance is looked at before anything goes: what does not fit now may be
    // kept for later.
    model::Targets now = plan.targets;
    model::Targets later;
    qsizetype recent = 0;
    const qsizetype needed = model::recipientCount(now);
    const model::TextToSend& words = text.words;
    const qsizetype partsEach = route->partsOf(words);
    if (const qsizetype fits = ledger.fits(*route, needed, &recent, partsEach);
        fits < needed || recent == Ledger::kUnknown) {
        if (!asked(c, route->allowanceQuestion(recent, needed, partsEach, fits)))
            return plan.untickedCarriers;
        later = model::afterRecipients(plan.targets, fits);
        now = model::firstRecipients(plan.targets, fits);
    }
    p.step(140, [&] { c.pointer.setStyle(core::kBusyPointer); });
    const Send send{c, *route, ledger, words};
    p.step(kSubmitLine, [&] { sendInBatches(send, now, later, c.clock.now().toUTC()); });
    return plan.untickedCarriers;
}

} // namespace sending
