#include "relay_option.h"

#include "recipients/summary.h"
#include "sending/send_texts.h"
#include "sending/texting.h"

#include <QFile>

namespace relay_route {

namespace {
class RelayRoute final : public sending::TextingRoute {
  public:
    RelayRoute(const model::CommandContext& c, QString wire)
        : TextingRoute(c, {0, 500},
                       {QStringLiteral("The relay"), QStringLiteral("Nothing else takes them."),
                        0x80040299L}),
          wire_(std::move(wire)) {}
    QString id() const override { return QStringLiteral("relay"); }
    model::RouteWords words() const override {
        return {QStringLiteral("text"),
                QStringLiteral("texts"),
                QStringLiteral("relay never answered"),
                QStringLiteral("the relay's allowance"),
                QStringLiteral("through the relay"),
                QStringLiteral("the tests' relay")};
    }
    bool hasWhatItNeeds() const override { return true; }
    bool makeReady() override { return true; }
    QString allowanceQuestion(qsizetype recent, qsizetype needed, qsizetype partsEach,
                              qsizetype fits) const override {
        return sending::partsAllowanceQuestion(QStringLiteral("through the relay"),
                                               QStringLiteral("Relay Parts A Day"), recent, needed,
                                               partsEach, pace_.partsPerDay, fits);
    }
    model::RouteResult sendEach(const model::TextToSend& text, const QList<model::Targets>& batches,
                                const model::RouteSteps& steps) override {
        model::RouteResult result;
        QFile wire(wire_ + QStringLiteral("/relay-wire.txt"));
        for (int i = 0; i < batches.size(); ++i) {
            steps.sending(i);
            if (!wire.open(QIODevice::Append))
                break;
            wire.write((batches[i].first().phone + QLatin1Char(' ') +
                        recipients::textOf(text.subject, text.body) + QLatin1Char('\n'))
                           .toUtf8());
            wire.close();
            ++result.taken;
            steps.taken(i, QStringLiteral("relay-%1").arg(i), {});
        }
        return result;
    }

  private:
    QString wire_;
};
} // namespace

std::unique_ptr<model::Route> RelayOption::open(const model::CommandContext& c,
                                                const QList<model::PendingSend>&,
                                                const model::Knowledge&) {
    return std::make_unique<RelayRoute>(c, wire_);
}

std::unique_ptr<model::RouteOption> makeOption(const model::RouteParts& parts) {
    return std::make_unique<RelayOption>(parts);
}

} // namespace relay_route
