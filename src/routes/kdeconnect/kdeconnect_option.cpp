#include "routes/kdeconnect/kdeconnect_option.h"

#include "platform/settings_store.h"
#include "routes/kdeconnect/device/lazy_paired_phones.h"
#include "routes/kdeconnect/paired_news.h"
#include "routes/kdeconnect/paired_route.h"
#include "routes/kdeconnect/paired_texts.h"

namespace kdeconnect_route {

namespace {
// Where no pairing service runs: nothing is paired, and every text says why.
class NoPhones final : public paired::PairedPhones {
  public:
    QList<paired::PairedPhone> phones() override { return {}; }
    paired::HandOver send(const paired::PairedPhone&, const QString&, const QString&) override {
        return {paired::HandOverFate::Gone, QStringLiteral("not reachable")};
    }
    QList<paired::PhoneText> texts(const paired::PairedPhone&) override { return {}; }
    void watch(std::function<void()>) override {}
    void watchTexts(std::function<void()>) override {}
};

paired::PairedPhones& noPhones() {
    static NoPhones none;
    return none;
}

const QLatin1Char kField('\t');
const QLatin1Char kLine('\n');
// The most phones remembered from earlier runs.
constexpr qsizetype kMostRemembered = 20;
} // namespace

QString PairedChoice::id() const {
    return routeIdOf(phone_);
}

QString PairedChoice::label() {
    return phone_.reachable ? choiceLabel(phone_) : QString();
}

QString PairedChoice::awayLabel() const {
    return awayChoiceLabel(phone_);
}

std::unique_ptr<model::Route> PairedChoice::open(const model::CommandContext& c,
                                                 const QList<model::PendingSend>&,
                                                 const model::Knowledge&) {
    return std::make_unique<PairedRoute>(
        c, phones_, phone_,
        sending::textingPace(settings_, kPartsPerMinuteSetting, kPartsPerDaySetting));
}

KdeConnectOption::KdeConnectOption(const model::RouteParts& parts)
    : ownPhones_(std::make_unique<paired::LazyPairedPhones>(
          parts.programFolder + QStringLiteral("/libparlivo_kdeconnect"))),
      phones_(ownPhones_.get()), settings_(parts.settings) {}

KdeConnectOption::KdeConnectOption(paired::PairedPhones* phones, platform::SettingsStore& settings)
    : phones_(phones ? phones : &noPhones()), settings_(settings) {}

KdeConnectOption::~KdeConnectOption() = default;

std::unique_ptr<model::RouteOption> makeOption(const model::RouteParts& parts) {
    return std::make_unique<KdeConnectOption>(parts);
}

PairedChoice& KdeConnectOption::choiceFor(const paired::PairedPhone& phone) {
    std::unique_ptr<PairedChoice>& choice = choices_[routeIdOf(phone)];
    if (!choice)
        choice = std::make_unique<PairedChoice>(*phones_, settings_, phone);
    choice->seenAs(phone);
    return *choice;
}

QList<model::RouteOption*> KdeConnectOption::choices() {
    // The phones remembered from before, away until their service shows them.
    if (choices_.empty())
        for (const QString& line : settings_.read(kPhonesSeenSetting, QString()).split(kLine)) {
            const QString routeId = line.section(kField, 0, 0);
            const QString name = line.section(kField, 1);
            const bool kde = routeId.startsWith(QLatin1String("kdeconnect:"));
            if (name.isEmpty() || (!kde && !routeId.startsWith(QLatin1String("gsconnect:"))))
                continue;
            choiceFor({routeId.section(QLatin1Char(':'), 1), name,
                       kde ? paired::Service::KdeConnect : paired::Service::GsConnect, false});
        }
    for (auto& [id, choice] : choices_) {
        paired::PairedPhone away = choice->phone();
        away.reachable = false;
        choice->seenAs(away);
    }
    QList<model::RouteOption*> shown;
    QStringList seen;
    for (const paired::PairedPhone& phone : phones_->phones()) {
        shown << &choiceFor(phone);
        seen << routeIdOf(phone) + kField + QString(phone.name).remove(kLine);
    }
    // Then those away, so that a chosen one is still named.
    for (auto& [id, choice] : choices_)
        if (!shown.contains(choice.get())) {
            shown << choice.get();
            if (seen.size() < kMostRemembered)
                seen << id + kField + choice->phone().name;
        }
    if (seen.join(kLine) != settings_.read(kPhonesSeenSetting, QString()))
        settings_.write(kPhonesSeenSetting, seen.join(kLine));
    return shown;
}

void KdeConnectOption::watch(std::function<void()> changed) {
    phones_->watch(std::move(changed));
}

void KdeConnectOption::watchNews(std::function<void()> arrived) {
    phones_->watchTexts(std::move(arrived));
}

std::unique_ptr<model::Route> KdeConnectOption::open(const model::CommandContext& c,
                                                     const QList<model::PendingSend>& sent,
                                                     const model::Knowledge& known) {
    // Sends go through a phone's choice; this stands for the first phone seen.
    const QList<model::RouteOption*> phones = choices();
    if (phones.isEmpty())
        return PairedChoice(
                   *phones_, settings_,
                   {QString(), QStringLiteral("your phone"), paired::Service::KdeConnect, false})
            .open(c, sent, known);
    return phones.first()->open(c, sent, known);
}

void KdeConnectOption::bringNewsIntoLog(const model::CommandContext& c, model::Knowledge& known) {
    for (const paired::PairedPhone& phone : phones_->phones())
        bringPairedNewsIntoLog(*phones_, phone, c, known);
}

} // namespace kdeconnect_route
