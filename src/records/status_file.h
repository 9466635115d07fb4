#pragma once

#include "model/phone_status.h"

#include <QByteArray>
#include <QString>

namespace records {

inline const QString kStatusFileName = QStringLiteral("phone-status.tsv");

// How a phone row, an address or a number names its phone in the statuses: the whole number
// (after `countryCode` where typed without "+"), or a row that is no number as typed, in
// lower case.
QString statusKey(const QString& phoneOrAddress, const QString& countryCode);

// One line an event: its phone, kind, time, route and detail, percent-encoded.
QByteArray statusText(const QList<model::StatusEvent>& events);
model::PhoneStatuses readStatuses(const QByteArray& text);
// The file in the data folder (0600, never through a link); a missing or unusable one knows
// nothing. Events are added at its end; past its bound (16 MiB) it is written whole with each
// phone's last kStatusEvents.
model::PhoneStatuses loadStatuses(const QString& path);
// Adds the events to the file at `path`, and to `statuses` when given.
void noteStatuses(const QString& path, const QList<model::StatusEvent>& events,
                  model::PhoneStatuses* statuses = nullptr);

} // namespace records
