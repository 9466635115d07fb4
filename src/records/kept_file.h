#pragma once

#include "model/send_records.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace records {

inline const QString kKeptFileName = QStringLiteral("kept-sends.tsv");

// One line a kept text, its fields percent-encoded and separated by tabs, and after them the
// changes a send made since: "inflight" (the first n addresses of text i are in flight) and
// "gone" (the first n addresses of text i went: the refused ones stay in front, and those to
// try again later go to the end). Lines that cannot be read are left out and counted in
// `unreadable`.
QByteArray keptSendsText(const QList<model::KeptSend>& sends);
QList<model::KeptSend> readKeptSends(const QByteArray& text, qsizetype* unreadable = nullptr);

// A time as the file keeps it, to the second: what is made from a kept text's time (a
// request's id, say) is the same when it is read back.
QDateTime asKept(const QDateTime& utc);

// The file in the user's data folder; a missing file keeps nothing. A file that cannot be
// read whole is moved aside and `keptAs` says where; the texts it could read are returned.
QList<model::KeptSend> loadKeptSends(const QString& path, QString* keptAs);
// Replaces the file whole (0600, never through a link); an empty list removes it. False when
// it could not be written: the file as it was stays. No path: nothing is kept, and the
// changes below are no changes either.
bool saveKeptSends(const QString& path, const QList<model::KeptSend>& sends);

// One change to kept text `index` added as a line at the end of the file; where that cannot
// be done, the file is written whole from `sends`, which already hold the change.
bool keepInFlight(const QString& path, const QList<model::KeptSend>& sends, qsizetype index,
                  qsizetype count);
bool keepGone(const QString& path, const QList<model::KeptSend>& sends, qsizetype index,
              qsizetype count, const QStringList& refused, const QStringList& toEnd = {});

} // namespace records
