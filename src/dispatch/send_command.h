#pragma once

#include <QString>

class QTreeWidget;

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

// Failure numbers of a submission that the send command explains itself.
inline constexpr long kMailNotDelivered = 0x80040211L;
inline constexpr long kRecipientsRefused = 0x8004020FL;
inline constexpr long kMailFailed = 0x80040213L;
// Failures whose description is the whole message shown to the user.
inline constexpr long kServerUnreachable = 0x80040217L;
inline constexpr long kServerUntrusted = 0x80040218L;
inline constexpr long kAddressesRefused = 0x80040219L;
inline constexpr long kMailRefused = 0x8004021AL;

inline const QString kMailDomain = QStringLiteral("gmail.com");

// What "Send Message", "View Log" and "Help" work on.
struct DispatchControls {
    platform::Desktop& desktop;
    mail::MailSubmitter& mail;
    const platform::Clock& clock;
    QString applicationTitle;
    core::WindowPointer& pointer;
    QTreeWidget* phoneList;
    QTreeWidget* carrierList;
    QString userName;
    QString password;
    QString subject;
    QString body;
    QString programFolder; // where the guidance pictures are
    QString logPath;
    QString pendingPath;                    // the sends awaiting their report
    mail::MailboxReader* mailbox = nullptr; // none: no delivery check
    DeliveryCheckMemory* deliveryMemory = nullptr;
};

// The trimmed user name, followed by "@" and the mail domain unless it holds an "@" already.
QString userAddress(const QString& userName);
// The password as it is sent: trimmed, and an app password typed as Google shows it (four
// groups of four letters, single blanks between) without its blanks.
QString passwordToSend(const QString& typed);

void sendMessage(const DispatchControls& controls); // "Send Message"
void viewLog(const DispatchControls& controls);     // "View Log"
void showHelp(const DispatchControls& controls);    // "Help"

} // namespace dispatch
