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
// "True" when the account is Google Workspace, which Gmail allows more recipients a day.
inline const QString kGoogleWorkspace = QStringLiteral("Google Workspace");
inline const QString kCarrierTicks = QStringLiteral("Carriers PushButtoned");
// Texts through the computer's modem: "True" when the user chose it; the country code that
// numbers without "+" get ("+1"); at most so many text parts a minute (10) and a day (500).
inline const QString kModem = QStringLiteral("Text By Modem");
inline const QString kModemCountryCode = QStringLiteral("Modem Country Code");
inline const QString kModemPartsPerMinute = QStringLiteral("Modem Parts A Minute");
inline const QString kModemPartsPerDay = QStringLiteral("Modem Parts A Day");

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

// A stored tick read as a truth value: "True" or "False" in any letter case, or a decimal
// number that ticks unless it is zero. Anything else is a Type mismatch failure.
bool tickFromText(const QString& piece);

} // namespace core::settings
