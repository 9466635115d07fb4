#pragma once

#include "model/command_context.h"
#include "model/phone_status.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace mail {
class MailboxReader;
}
namespace model {
struct Knowledge;
}

namespace email_route {

// What the delivery check keeps between clicks of one run: the fingerprint of a password
// the mailbox refused, so that it is not tried again until the password changes.
struct DeliveryCheckMemory {
    QByteArray refusedPassword;
};

// One check of the mailbox: who reads it with which login, the files it brings up to date,
// and the time it runs at.
struct DeliveryCheck {
    mail::MailboxReader& mailbox;
    DeliveryCheckMemory& memory;
    model::DataFiles files;
    QString user;     // the address that signs in
    QString password; // as it is sent
    QDateTime now;
    // The route whose sends the mailbox tells of ("email"); the other routes' sends are left to
    // their own news, and leave the file after their days.
    QString route;
    // What is known of each phone, brought up to date in place and saved; none: read from and
    // saved to `files.knowledge`.
    model::Knowledge* knowledge = nullptr;
    // What became of each phone's texts, brought up to date in place; none: only its file.
    model::PhoneStatuses* statuses = nullptr;
    QString countryCode = QStringLiteral("+1"); // of a number written without "+"
};

// Brings the sent-message log up to date: reads the bounces and replies of the pending sends
// from the mailbox and appends one delivery record per send with news; a send whose days
// passed without any check gets a record that says so. Shows nothing; a mailbox that cannot
// be read leaves the pending sends for the next time. What the replies and bounces teach of
// each phone and gateway is learned. Returns where a list of pending sends that could not be
// read was kept aside, or nothing.
QString bringLogUpToDate(const DeliveryCheck& check);

} // namespace email_route
