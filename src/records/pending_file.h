#pragma once

#include "model/send_records.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace records {

inline const QString kPendingFileName = QStringLiteral("delivery-pending.tsv");

// One line a send, its fields percent-encoded and separated by tabs. Lines that cannot be
// read are left out and counted in `unreadable`.
QByteArray pendingSendsText(const QList<model::PendingSend>& sends);
QList<model::PendingSend> readPendingSends(const QByteArray& text, qsizetype* unreadable = nullptr);

// The file in the user's data folder (0600, never through a link); a missing file holds no
// sends. A file that cannot be read whole (too large, unreadable, a line that is no send)
// gives the sends that could be read; with `keptAs` it is moved aside under a name of its
// own, never overwritten, and `keptAs` says where, so that the next save loses nothing.
QList<model::PendingSend> loadPendingSends(const QString& path, QString* keptAs = nullptr);
// What the user is told once when the file was kept aside.
QString pendingKeptAsideMessage(const QString& keptAs);
// Replaces the file whole, within the size it is read with (4 MiB): the largest sends in a
// compact form first, then the oldest checked sends left out, then the oldest of any, which
// `dropped` receives when it is given.
bool savePendingSends(const QString& path, const QList<model::PendingSend>& sends,
                      QList<model::PendingSend>* dropped = nullptr);
// The text of the sends within `bound` bytes, as savePendingSends writes it; `sends` keeps
// the sends written.
QByteArray pendingSendsTextWithin(QList<model::PendingSend>& sends, qint64 bound,
                                  QList<model::PendingSend>* dropped = nullptr);
// Adds a send the server took: one line at the end of the file while it stays within its
// bound, else the file written whole as savePendingSends writes it, a send left out for want
// of room told in the log at `logPath`. A send that cannot be remembered is simply not
// reported on. Returns where a file that could not be read was kept aside, or nothing.
QString rememberSend(const QString& path, const model::PendingSend& send,
                     const QString& logPath = QString());

} // namespace records
