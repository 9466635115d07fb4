#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace core::settings {

inline const QString kOrganisation = QStringLiteral("Quorvane");
inline const QString kSection = QStringLiteral("Parlivo");
inline const QString kUser = QStringLiteral("User");
inline const QString kPassword = QStringLiteral("Password");
// Set once the user was told that the password is kept in this file for want of a keyring.
inline const QString kPasswordInFileTold = QStringLiteral("Password Kept Here Told");
inline const QString kCarriers = QStringLiteral("Carriers");
inline const QString kCarrierTicks = QStringLiteral("Carriers PushButtoned");
// The route the user chose ("email", "modem"); where it is not set, "Text By Modem=True", as
// an earlier version kept the choice, means the modem.
inline const QString kRoute = QStringLiteral("Send By");
inline const QString kTextByModem = QStringLiteral("Text By Modem");
// The country code that numbers without "+" get where a route texts whole numbers ("+1").
inline const QString kCountryCode = QStringLiteral("Modem Country Code");

struct CarrierRow {
    QString text;
    bool ticked = false;
    bool operator==(const CarrierRow&) const = default;
};

// Every row's text followed by "^", with no escaping; empty for an empty list.
QString carrierListString(const QList<CarrierRow>& rows);
// "True" or "False" for every row, each followed by "^".
QString tickListString(const QList<CarrierRow>& rows);

// The pieces of a stored string split at every "^". The empty text has no pieces;
// a text that ends in "^" has an empty last piece.
QStringList storedPieces(const QString& stored);

// The stored country code when it is one ("+" and one to four digits), else "+1".
QString countryCodeOf(const QString& stored);

// A stored tick read as a truth value: "True" or "False" in any letter case, or a decimal
// number that ticks unless it is zero. Anything else is a Type mismatch failure.
bool tickFromText(const QString& piece);

} // namespace core::settings
