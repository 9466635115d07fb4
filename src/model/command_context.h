#pragma once

#include <QByteArray>
#include <QString>

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
namespace modem {
class TextModem;
}

namespace model {

struct Knowledge;
class Route;

// How far a send of several batches has come.
struct Progress {
    int batchesDone = 0;
    int batches = 0;
    qsizetype recipientsDone = 0;
    qsizetype recipients = 0;
    QString batchNoun = QStringLiteral("messages"); // "texts" through the modem
    qint64 secondsLeft = -1;                        // at the route's pace; -1: not known
};

// How far a send of several batches has come, shown while it runs; the user may ask it to
// stop after the batch in flight.
class SendProgress {
  public:
    virtual ~SendProgress() = default;
    virtual void show(const Progress& progress) = 0;
    virtual bool stopAsked() = 0;
    virtual void close() = 0;
};

// Where the program's private files are.
struct DataFiles {
    QString log;
    QString pending;        // the sends awaiting their report, also the 24-hour ledger
    QString kept = {};      // the texts kept to go later; none: nothing is kept
    QString knowledge = {}; // what was learned of each phone; none: nothing is learned
    // The files in the program's folders: the log beside the program where the user may
    // write there, everything else in the data folder.
    static DataFiles in(const QString& programFolder, const QString& dataFolder);
};

// What the delivery check keeps between clicks of one run: the fingerprint of a password
// the mailbox refused, so that it is not tried again until the password changes.
struct DeliveryCheckMemory {
    QByteArray refusedPassword;
};

// How texts go through the computer's modem: numbers without a "+" get the country code,
// and at most so many text parts go a minute.
struct ModemPace {
    QString countryCode = QStringLiteral("+1");
    int partsPerMinute = 10; // 0: no pause between texts
};

// What "Send Message", "View Log" and "Help" reach: the desktop, the mail layer, the clock,
// the window's pointer, and where the program's files are.
struct CommandContext {
    platform::Desktop& desktop;
    mail::MailSubmitter& mail;
    const platform::Clock& clock;
    QString applicationTitle;
    core::WindowPointer& pointer;
    QString programFolder; // where the guidance pictures are
    DataFiles files;
    mail::MailboxReader* mailbox = nullptr; // none: no delivery check
    DeliveryCheckMemory* deliveryMemory = nullptr;
    qsizetype dailyAllowance = 0;     // recipients the account takes in 24 hours; 0: not asked
    SendProgress* progress = nullptr; // none: no progress shown, no stop
    // What is known of each phone, kept for as long as its holder lives; none: read from
    // `files.knowledge` once a send or check.
    Knowledge* knowledge = nullptr;
    Route* route = nullptr; // none: the modem when one is chosen, else Gmail to the gateways
    modem::TextModem* modem = nullptr; // the computer's modem, when the user chose to text by it
    ModemPace modemPace = {};
};

} // namespace model
