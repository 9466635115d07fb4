#pragma once

#include "model/command_context.h"
#include "model/route.h"
#include "sending/send_texts.h"

namespace modem {
class TextModem;
}

namespace sending {

// Texts through the computer's own modem: each phone once, in international form, one text
// a phone at the pace set, the subject and the body as the gateways show them.
class ModemRoute final : public model::Route {
  public:
    ModemRoute(const model::CommandContext& c, modem::TextModem& modem);
    model::SendPlan plan(const model::OutgoingText& text) override;
    qsizetype mostInOneBatch() const override { return 0; }
    QString largeSendQuestion(const model::OutgoingText&, const model::SendPlan&) const override {
        return {};
    }
    QList<model::Targets> batches(const model::Targets& targets) const override;
    QString sendOne(const model::TextToSend& text, const model::Targets& batch) override;
    model::RouteResult sendEach(const model::TextToSend& text, const QList<model::Targets>& batches,
                                const model::RouteSteps& steps) override;
    QString batchNoun() const override { return QStringLiteral("texts"); }
    qsizetype partsOf(const model::TextToSend& text) const override;
    QString allowanceQuestion(qsizetype recent, qsizetype needed, qsizetype partsEach,
                              qsizetype allowance, qsizetype fits) const override {
        return modemAllowanceQuestion(recent, needed, partsEach, allowance, fits);
    }
    qint64 secondsLeft(int batchesLeft, const model::TextToSend& text) const override;
    bool counts(const QString& address) const override;
    bool explain(const model::OutgoingText& text, const core::Failure& failure, int line) override;

  private:
    // Waits out the pace before the next text; false when a stop was asked meanwhile.
    bool paced(const model::TextToSend& text, const model::RouteSteps& steps);

    const model::CommandContext& c_;
    modem::TextModem& modem_;
    bool first_ = true;
};

// A phone row as the modem sends to it: a number typed with "+" as typed (digits only), any
// other number after `countryCode`; nothing for a row that is an e-mail address or has no
// digit.
QString internationalNumber(const QString& phoneRow, const QString& countryCode);
// What a phone shows of a text from a gateway: the subject, a line break and the body (the
// body alone without a subject).
QString textOf(const QString& subject, const QString& body);

// Failure numbers of the modem route, whose description is the whole box.
inline constexpr long kModemNotReady = 0x80040221L;
inline constexpr long kTextRefused = 0x80040222L;

} // namespace sending
