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

// How far a send of several messages has come, shown while it runs; the user may ask it to
// stop after the message in flight.
class SendProgress {
  public:
    virtual ~SendProgress() = default;
    virtual void show(int messagesDone, int messages, qsizetype recipientsDone,
                      qsizetype recipients) = 0;
    virtual bool stopAsked() = 0;
    virtual void close() = 0;
};

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
    QString keptPath = QString();      // the texts kept to go later; none: nothing is kept
    qsizetype dailyAllowance = 0;      // recipients Gmail takes in 24 hours; 0: not looked at
    SendProgress* progress = nullptr;  // none: no progress shown, no stop
    QString knowledgePath = QString(); // what was learned of each phone; none: nothing
};

} // namespace dispatch
