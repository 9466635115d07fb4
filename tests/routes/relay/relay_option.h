#pragma once

#include "model/route_option.h"

namespace relay_route {

// Texts through a relay of the tests' own: each phone once, in international form, its text
// written as a line "<number> <text>" to relay-wire.txt in the program's folder.
class RelayOption final : public model::RouteOption {
  public:
    explicit RelayOption(const model::RouteParts& parts) : wire_(parts.programFolder) {}
    QString id() const override { return QStringLiteral("relay"); }
    QString label() override { return QStringLiteral("Texts through the tests' relay"); }
    std::unique_ptr<model::Route> open(const model::CommandContext& c,
                                       const QList<model::PendingSend>& sent,
                                       const model::Knowledge& known) override;

  private:
    QString wire_;
};

std::unique_ptr<model::RouteOption> makeOption(const model::RouteParts& parts);

} // namespace relay_route
