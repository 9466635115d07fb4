#pragma once

#include "model/command_context.h"
#include "model/knowledge.h"
#include "model/route.h"
#include "model/send_records.h"
#include "routes/email/email_texts.h"
#include "routes/email/gmail_login.h"

#include <QString>
#include <QStringList>

namespace mail {
class MailSubmitter;
}

namespace email_route {

// Texts by e-mail through the user's Gmail account to the carriers' gateways: each phone at
// every ticked gateway that was not learned to be wrong for it, in messages of at most 100
// recipients, within the account's daily allowance (`allowance` recipients).
class EmailRoute final : public model::Route {
  public:
    EmailRoute(const model::CommandContext& c, mail::MailSubmitter& mail, Login login,
               const QList<model::PendingSend>& sent, const model::Knowledge& known,
               qsizetype allowance);
    QString id() const override { return kRouteId; }
    model::RouteWords words() const override;
    bool hasWhatItNeeds() const override;
    bool makeReady() override { return true; }
    model::SendPlan plan(const model::OutgoingText& text) override;
    QString questionBefore(const model::OutgoingText& text,
                           const model::SendPlan& plan) const override;
    QList<model::Targets> batches(const model::Targets& targets) const override;
    model::RouteResult sendEach(const model::TextToSend& text, const QList<model::Targets>& batches,
                                const model::RouteSteps& steps) override;
    qsizetype dailyAllowance() const override { return allowance_; }
    qsizetype partsOf(const model::TextToSend&) const override { return 1; }
    QString allowanceQuestion(qsizetype recent, qsizetype needed, qsizetype partsEach,
                              qsizetype fits) const override;
    bool explain(const model::OutgoingText& text, const core::Failure& failure, int line) override;

  private:
    const model::CommandContext& c_;
    mail::MailSubmitter& mail_;
    const Login login_;
    const QList<model::PendingSend>& sent_;
    const model::Knowledge& known_;
    const qsizetype allowance_;
};

// Every phone row at every domain (the ticked carriers, in list order), each phone once (a
// row repeating one, by its last ten digits or its whole address, is counted in
// `repeatedRows`); a row that is already a whole address (recipients::isFullAddress) goes to
// that address alone. With what was
// learned of each phone, each row gets the gateways gatewaysFor gives it; a row left without
// any is named in `leftOut`.
model::SendPlan planRecipients(const QStringList& phones, const QStringList& tickedDomains,
                               const model::Knowledge& known = {});
// The gateways one phone row goes to at the ticked `domains`: none for a whole address; a
// phone whose carrier is known and ticked only that carrier's gateway; otherwise every ticked
// gateway that has not refused it for good (none when all have).
QStringList gatewaysFor(const QString& phoneRow, const QStringList& domains,
                        const model::Knowledge& known);
// Ticked gateways that refused every address in each of the last three checks of sends that
// used them, at least ten addresses in all: closed, most likely.
QStringList closedGateways(const model::Knowledge& known, const QStringList& tickedDomains);

// The targets in batches of at most `most` recipients, in order. A phone's addresses stay in
// one batch whenever they fit in one.
QList<model::Targets> recipientGroups(const model::Targets& targets, qsizetype most);

} // namespace email_route
