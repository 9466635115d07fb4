#pragma once

#include "routes/kdeconnect/device/paired_phones.h"

#include <QString>

namespace kdeconnect_route {

// The settings of the pace, as the settings file names them. Android asks the phone's owner
// to allow more than 30 parts a minute from one app; the pace stays well below unless set.
inline const QString kPartsPerMinuteSetting = QStringLiteral("Paired Phone Parts A Minute");
inline const QString kPartsPerDaySetting = QStringLiteral("Paired Phone Parts A Day");
// The paired phones seen before, "<route id>\t<name>" a line, so that a chosen phone that is
// away is still named.
inline const QString kPhonesSeenSetting = QStringLiteral("Paired Phones Seen");

// How the files and the settings name the route through `phone`: its service and its id.
QString routeIdOf(const paired::PairedPhone& phone);
// The service as the user knows it: "KDE Connect", "GSConnect".
QString serviceName(paired::Service service);
// How the route choice shows the route through `phone`, here or away.
QString choiceLabel(const paired::PairedPhone& phone);
QString awayChoiceLabel(const paired::PairedPhone& phone);
// How a phone's status says a text went: "handed to Pixel 7" (no delivery report comes), then
// "sent by Pixel 7" once its conversations show it sent.
inline const QString kHanded = QStringLiteral("handed");
QString handedTo(const paired::PairedPhone& phone);
QString sentBy(const paired::PairedPhone& phone);

// Where rows that are no number could go instead.
inline const QString kNotTextableHint =
    QStringLiteral("Choose e-mail under \"Send by\" to send to them by e-mail.");

// Asked before a send that would cross the allowance the user set, counted in text parts.
QString pairedAllowanceQuestion(const paired::PairedPhone& phone, qsizetype recent,
                                qsizetype needed, qsizetype partsEach, qsizetype allowance,
                                qsizetype fits);
// Why nothing went: the phone not paired or not here, out of reach, texting turned off.
QString notReadyMessage(const paired::PairedPhone& phone, bool paired, const QString& reason);
// The phone went away midway, before the text to `number` went or, `uncertain`, while it was
// being handed over.
QString goneMidwayMessage(const paired::PairedPhone& phone, const QString& number,
                          const QString& reason, bool uncertain);

} // namespace kdeconnect_route
