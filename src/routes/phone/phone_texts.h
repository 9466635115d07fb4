#pragma once

#include "routes/phone/app/phone_api.h"

#include <QString>

namespace phone_route {

// How the files and the settings name this route, and its settings as the file names them.
inline const QString kRouteId = QStringLiteral("phone");
inline const QString kAddressSetting = QStringLiteral("Phone Address");
inline const QString kUserSetting = QStringLiteral("Phone User");
inline const QString kPasswordSetting = QStringLiteral("Phone Password");
inline const QString kPasswordToldSetting = QStringLiteral("Phone Password Kept Here Told");
// The address the password was kept for: it goes with no other.
inline const QString kPasswordAddressSetting = QStringLiteral("Phone Password Address");
inline const QString kPartsPerMinuteSetting = QStringLiteral("Phone Parts A Minute");
inline const QString kPartsPerDaySetting = QStringLiteral("Phone Parts A Day");
inline const QString kSecondsToSendSetting = QStringLiteral("Phone Seconds To Send");
inline const QString kNewsEverySecondsSetting = QStringLiteral("Phone News Every Seconds");

// How a text went, as a phone's status says it.
inline const QString kBy = QStringLiteral("through your phone");
// Where rows that are no number could go instead.
inline const QString kNotTextableHint =
    QStringLiteral("Choose e-mail under \"Send by\" to send to them by e-mail.");

// Why nothing goes through the phone at `address` now, in plain words: it does not answer, it
// refused `user` or the password, its app is not ready, or its answer made no sense.
QString notReachedMessage(const phone::Answer& answer, const QString& address, const QString& user);
// Why the phone did not send a text, from the error its app gave.
QString failedWords(const QString& error);
// The text to `phone` taken by the phone but not sent within `seconds`.
QString stuckMessage(const QString& phone, int seconds);
// The app refused the text to `phone` for a reason of its own, or the send stopped there.
QString notSentMessage(const QString& phone, const phone::Answer& answer, const QString& address,
                       const QString& user);

} // namespace phone_route
