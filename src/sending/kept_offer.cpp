#include "sending/kept_offer.h"

#include "core/pointer.h"
#include "core/procedure.h"
#include "mail/mime_message.h"
#include "model/login.h"
#include "model/route.h"
#include "platform/desktop.h"
#include "recipients/phone_rules.h"
#include "records/kept_file.h"
#include "records/sent_log.h"
#include "sending/allowance.h"
#include "sending/send_flow.h"
#include "sending/send_routes.h"
#include "sending/send_texts.h"

#include <QFileInfo>
#include <algorithm>

namespace sending {

using platform::Answer;

bool keptSendWaits(const model::DataFiles& files) {
    return !files.kept.isEmpty() && QFileInfo::exists(files.kept);
}

bool offerKeptSend(const model::CommandContext& c, model::Route& route,
                   const model::Knowledge& known, Ledger& ledger, const model::Login& login,
                   core::Procedure& p) {
    // Without a login that can sign in, the send's own checks speak first.
    if (c.files.kept.isEmpty() || !mail::isMailbox(model::userAddress(login.userName)) ||
        login.password.isEmpty())
        return false;
    QList<model::KeptSend> kept = loadKeptTexts(c, ledger.sends());
    if (kept.isEmpty())
        return false;
    model::KeptSend& first = kept.first();
    // A text kept by the other route waits for it: a modem's numbers, a gateway's addresses.
    if (!std::all_of(first.addresses.cbegin(), first.addresses.cend(),
                     [&route](const QString& address) { return route.counts(address); }))
        return false;
    // A phone that asked not to be texted since the text was kept leaves it.
    const qsizetype before = first.addresses.size();
    const QStringList optedOut = leaveOutOptedOut(first.addresses, known, recipients::phoneOf);
    if (!optedOut.isEmpty()) {
        first.uncertain = qMax<qsizetype>(0, first.uncertain - (before - first.addresses.size()));
        c.desktop.messageBox(optedOutMessage(optedOut, first.addresses.isEmpty()),
                             platform::Buttons::Ok, platform::Icon::None, c.applicationTitle);
        const bool noneLeft = first.addresses.isEmpty();
        if (noneLeft)
            kept.removeFirst();
        records::saveKeptSends(c.files.kept, kept);
        if (noneLeft)
            return false;
    }
    qsizetype recent = 0;
    const qsizetype fits = ledger.fits(route, first.addresses.size(), &recent,
                                       route.partsOf({login, first.subject, first.body}));
    if (fits == 0)
        return false;
    const model::Targets targets = model::targetsOf(first.addresses);
    const Answer answer = c.desktop.messageBox(
        keptSendQuestion(targets.size(), records::logStamp(first.keptUtc.toLocalTime()),
                         first.subject, first.uncertain, fits, first.addresses.size()),
        platform::Buttons::YesNoCancel, platform::Icon::None, c.applicationTitle);
    if (answer == Answer::No)
        return false;
    if (answer != Answer::Yes) {
        kept.removeFirst();
        records::saveKeptSends(c.files.kept, kept);
        return false;
    }
    c.pointer.setStyle(core::kBusyPointer);
    p.step(kSubmitLine, [&] {
        sendInBatches({c, route, ledger, {login, first.subject, first.body}},
                      model::firstRecipients(targets, fits), model::afterRecipients(targets, fits),
                      first.keptUtc, 0);
    });
    return true;
}

void offerKeptSendAtStart(const model::CommandContext& c, const model::OutgoingText& text) {
    Ledger ledger(c);
    SendRoute route(c, ledger);
    core::Procedure p(c.desktop, core::qualifiedName("Form1", "PushButton1_Click"),
                      [&](const core::Failure& failure, int line) {
                          return route->explain(text, failure, line);
                      });
    offerKeptSend(c, *route, route.known(), ledger, text.login, p);
}

} // namespace sending
