#pragma once

#include "dispatch/delivery_records.h"

#include <QByteArray>

namespace mail {
class MailboxReader;
}

namespace dispatch {

// What the delivery check keeps between clicks of one run: the fingerprint of a password
// the mailbox refused, so that it is not tried again until the password changes.
struct DeliveryCheckMemory {
    QByteArray refusedPassword;
};

// Adds a send that the server accepted to the sends awaiting their report. A send that
// cannot be remembered is simply not reported on. Returns where a list that could not be
// read was kept aside, or nothing.
// A send left out of the list for want of room is told in the log at `logPath`.
QString rememberSend(const QString& pendingPath, const PendingSend& send,
                     const QString& logPath = QString());

// Brings the sent-message log up to date: reads the bounces of the pending sends from the
// mailbox and appends one delivery record per send with news; a send whose days passed
// without any check gets a record that says so. Shows nothing; a mailbox that cannot be
// read leaves the pending sends for the next time. Returns where a list of pending sends that
// could not be read was kept aside, or nothing. What the replies and bounces teach of each
// phone and gateway is kept at `knowledgePath`, when given.
QString bringLogUpToDate(mail::MailboxReader& mailbox, DeliveryCheckMemory& memory,
                         const QString& pendingPath, const QString& logPath, const QString& user,
                         const QString& password, const QDateTime& now,
                         const QString& knowledgePath = QString());

} // namespace dispatch
