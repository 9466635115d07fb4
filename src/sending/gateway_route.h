#pragma once

#include "model/command_context.h"
#include "model/knowledge.h"
#include "model/route.h"

#include <QString>
#include <QStringList>

namespace sending {

class Ledger;

// Texts by e-mail through the user's Gmail account to the carriers' gateways: each phone at
// every ticked gateway that was not learned to be wrong for it, in messages of at most 100
// recipients.
class GatewayRoute final : public model::Route {
  public:
    GatewayRoute(const model::CommandContext& c, const Ledger& ledger,
                 const model::Knowledge& known);
    model::SendPlan plan(const model::OutgoingText& text) override;
    qsizetype mostInOneBatch() const override { return model::kRecipientLimit; }
    QString largeSendQuestion(const model::OutgoingText& text,
                              const model::SendPlan& plan) const override;
    QList<model::Targets> batches(const model::Targets& targets) const override;
    QString sendOne(const model::TextToSend& text, const model::Targets& batch) override;
    model::RouteResult sendEach(const model::TextToSend& text, const QList<model::Targets>& batches,
                                const model::RouteSteps& steps) override;
    bool explain(const model::OutgoingText& text, const core::Failure& failure, int line) override;

  private:
    const model::CommandContext& c_;
    const Ledger& ledger_;
    const model::Knowledge& known_;
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

// "<n> phones at <m> carriers" of the text's lists, and the same for the most recipients one
// message takes (the recipient-limit question and the too-many-recipients box).
QString recipientSummary(const model::OutgoingText& text);
QString allowedRecipientSummary(const model::OutgoingText& text);

} // namespace sending
