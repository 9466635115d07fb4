#include "sending/kept_offer.h"

#include "core/pointer.h"
#include "core/procedure.h"
#include "model/route.h"
#include "platform/desktop.h"
#include "recipients/phone_rules.h"
#include "records/kept_file.h"
#include "records/sent_log.h"
#include "sending/allowance.h"
#include "sending/send_flow.h"
#include "sending/send_texts.h"

#include <QFileInfo>

namespace sending {

using platform::Answer;

bool keptSendWaits(const model::DataFiles& files) {
    return !files.kept.isEmpty() && QFileInfo::exists(files.kept);
}

bool offerKeptSend(const model::CommandContext& c, model::Route& route,
                   const model::Knowledge& known, Ledger& ledger, core::Procedure& p) {
    // A route without what it needs lets the send's own checks speak first.
    if (c.files.kept.isEmpty() || !route.hasWhatItNeeds())
        return false;
    QList<model::KeptSend> kept = loadKeptTexts(c, ledger.sends());
    const qsizetype mine =
        std::find_if(kept.cbegin(), kept.cend(),
                     [&](const model::KeptSend& text) { return text.route == route.id(); }) -
        kept.cbegin();
    if (mine == kept.size())
        return false;
    model::KeptSend& text = kept[mine];
    // A phone that asked not to be texted since the text was kept leaves it.
    const qsizetype before = text.addresses.size();
    const QStringList optedOut =
        leaveOutOptedOut(text.addresses, known, c.countryCode, recipients::phoneOf);
    if (!optedOut.isEmpty()) {
        text.uncertain = qMax<qsizetype>(0, text.uncertain - (before - text.addresses.size()));
        c.desktop.messageBox(optedOutMessage(optedOut, text.addresses.isEmpty()),
                             platform::Buttons::Ok, platform::Icon::None, c.applicationTitle);
        const bool noneLeft = text.addresses.isEmpty();
        if (noneLeft)
            kept.removeAt(mine);
        records::saveKeptSends(c.files.kept, kept);
        if (noneLeft)
            return false;
    }
    const model::TextToSend words{text.subject, text.body};
    qsizetype recent = 0;
    const qsizetype fits = ledger.fits(route, text.addresses.size(), &recent, route.partsOf(words));
    if (fits == 0)
        return false;
    const model::Targets targets = model::targetsOf(text.addresses);
    const Answer answer = c.desktop.messageBox(
        keptSendQuestion(route.words(), targets.size(),
                         records::logStamp(text.keptUtc.toLocalTime()), text.subject,
                         text.uncertain, fits, text.addresses.size()),
        platform::Buttons::YesNoCancel, platform::Icon::None, c.applicationTitle);
    if (answer == Answer::No)
        return false;
    if (answer != Answer::Yes) {
        kept.removeAt(mine);
        records::saveKeptSends(c.files.kept, kept);
        return false;
    }
    c.pointer.setStyle(core::kBusyPointer);
    if (!route.makeReady())
        return true;
    p.step(kSubmitLine, [&] {
        sendInBatches({c, route, ledger, words}, model::firstRecipients(targets, fits),
                      model::afterRecipients(targets, fits), text.keptUtc, mine);
    });
    return true;
}

void offerKeptSends(const model::CommandContext& c, const model::OutgoingText& text,
                    const QList<model::RouteOption*>& routes) {
    for (model::RouteOption* option : routes) {
        if (!keptSendWaits(c.files))
            return;
        Ledger ledger(c);
        const KnownPhones known(c);
        const std::unique_ptr<model::Route> route = option->open(c, ledger.sends(), *known);
        core::Procedure p(c.desktop, core::qualifiedName("Form1", "PushButton1_Click"),
                          [&](const core::Failure& failure, int line) {
                              return route->explain(text, failure, line);
                          });
        offerKeptSend(c, *route, *known, ledger, p);
    }
}

} // namespace sending
