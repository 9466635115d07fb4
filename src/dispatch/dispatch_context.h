#pragma once

#include "recipients/lists.h"

#include <QString>
#include <QStringList>

namespace core {
class WindowPointer;
}
namespace platform {
class Clock;
class Desktop;
} // namespace platform
namespace mail {
class MailboxReader;
class MailSubmitter;
} // namespace mail

namespace dispatch {

struct DeliveryCheckMemory;

// The Gmail login as typed.
struct Login {
    QString userName;
    QString password;
};

// One text as the window holds it when "Send Message" is pressed.
struct OutgoingText {
    QStringList phones;                     // the phone list's rows, in order
    QList<recipients::CarrierRow> carriers; // the carrier list's rows with their ticks
    Login login;
    QString subject;
    QString body;
};

// What "Send Message", "View Log" and "Help" reach: the desktop, the mail layer, the clock,
// the window's pointer, and where the program's files are.
struct DispatchContext {
    platform::Desktop& desktop;
    mail::MailSubmitter& mail;
    const platform::Clock& clock;
    QString applicationTitle;
    core::WindowPointer& pointer;
    QString programFolder; // where the guidance pictures are
    QString logPath;
    QString pendingPath;                    // the sends awaiting their report
    mail::MailboxReader* mailbox = nullptr; // none: no delivery check
    DeliveryCheckMemory* deliveryMemory = nullptr;
};

} // namespace dispatch
