#include "routes/modem/modem_option.h"

#include "platform/clock.h"
#include "platform/settings_store.h"
#include "routes/modem/device/lazy_text_modem.h"
#include "routes/modem/device/text_modem.h"
#include "routes/modem/modem_news.h"

namespace modem_route {

namespace {
// Where ModemManager does not run: no modem, and every text says why.
class NoModem final : public modem::TextModem {
  public:
    QString available() override { return {}; }
    modem::ModemReady prepare() override { return {modem::ModemProblem::NoService, {}}; }
    modem::TextResult send(const QString&, const QString&) override {
        return {modem::TextFate::Refused, {}, QStringLiteral("ModemManager does not run")};
    }
    QList<modem::ModemMessage> received() override { return {}; }
    void remove(const QString&) override {}
    void watch(std::function<void()>) override {}
    void watchMessages(std::function<void()>) override {}
};
} // namespace

ModemOption::ModemOption(const model::RouteParts& parts)
    : ownModem_(std::make_unique<modem::LazyTextModem>(parts.programFolder +
                                                       QStringLiteral("/libparlivo_modem"))),
      modem_(ownModem_.get()), settings_(parts.settings) {}

ModemOption::ModemOption(modem::TextModem* modem, platform::SettingsStore& settings)
    : modem_(modem), settings_(settings) {}

ModemOption::~ModemOption() = default;

std::unique_ptr<model::RouteOption> makeOption(const model::RouteParts& parts) {
    return std::make_unique<ModemOption>(parts);
}

QString ModemOption::label() {
    const QString name = modem_ ? modem_->available() : QString();
    return name.isEmpty() ? QString()
                          : QStringLiteral("Texts through this computer's modem (%1)").arg(name);
}

QString ModemOption::awayLabel() const {
    return QStringLiteral("Texts through this computer's modem (not found)");
}

void ModemOption::watch(std::function<void()> changed) {
    if (modem_)
        modem_->watch(std::move(changed));
}

void ModemOption::watchNews(std::function<void()> arrived) {
    if (modem_)
        modem_->watchMessages(std::move(arrived));
}

std::unique_ptr<model::Route> ModemOption::open(const model::CommandContext& c,
                                                const QList<model::PendingSend>&,
                                                const model::Knowledge&) {
    static NoModem none;
    return std::make_unique<ModemRoute>(
        c, modem_ ? *modem_ : none,
        sending::textingPace(settings_, kPartsPerMinuteSetting, kPartsPerDaySetting));
}

void ModemOption::bringNewsIntoLog(const model::CommandContext& c, model::Knowledge& known) {
    if (modem_)
        bringModemNewsIntoLog(*modem_, c, known);
}

} // namespace modem_route
