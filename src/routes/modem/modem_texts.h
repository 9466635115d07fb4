#pragma once

#include <QString>
#include <QStringList>

namespace modem {
struct ModemReady;
}

namespace modem_route {

// The settings of the pace, as the settings file names them.
inline const QString kPartsPerMinuteSetting = QStringLiteral("Modem Parts A Minute");
inline const QString kPartsPerDaySetting = QStringLiteral("Modem Parts A Day");

// How a text went, as a phone's status says it.
inline const QString kBy = QStringLiteral("through the modem");
// Where rows that are no number could go instead.
inline const QString kNotTextableHint =
    QStringLiteral("Choose e-mail under \"Send by\" to send to them by e-mail.");

// Asked before a send through the modem that would cross the allowance the user set, counted
// in text parts.
QString modemAllowanceQuestion(qsizetype recent, qsizetype needed, qsizetype partsEach,
                               qsizetype allowance, qsizetype fits);
// Why nothing goes through the modem now, in plain words.
QString modemNotReadyMessage(const modem::ModemReady& ready);
// The modem gone before the text to `phone` went, or while a text was in flight.
QString modemGoneMessage(const QString& phone);
QString modemGoneInFlightMessage(const QString& reason);

} // namespace modem_route
