#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <functional>

namespace core {
class WindowPointer;
}
namespace platform {
class Clock;
class Desktop;
} // namespace platform

namespace model {

struct Knowledge;
struct StatusEvent;

// How far a send of several batches has come.
struct Progress {
    int batchesDone = 0;
    int batches = 0;
    qsizetype recipientsDone = 0;
    qsizetype recipients = 0;
    QString batchNoun;       // the route's word for its batches: "messages", "texts"
    qint64 secondsLeft = -1; // at the route's pace; -1: not known
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
    QString status = {};    // what became of each phone's texts; none: not kept
    QString people = {};    // the groups and saved texts; none: not kept
};

// What "Send Message", "View Log" and "Help" reach whatever the route: the desktop, the
// clock, the window's pointer, and where the program's files are.
struct CommandContext {
    platform::Desktop& desktop;
    const platform::Clock& clock;
    QString applicationTitle;
    core::WindowPointer& pointer;
    QString programFolder; // where the guidance pictures are
    DataFiles files;
    SendProgress* progress = nullptr; // none: no progress shown, no stop
    // What is known of each phone, kept for as long as its holder lives; none: read from
    // `files.knowledge` once a send or check.
    Knowledge* knowledge = nullptr;
    // What a number typed without "+" gets where a route needs it whole (and where a STOP
    // came from a whole number).
    QString countryCode = QStringLiteral("+1");
    // What became of each phone's texts, kept for as long as its holder lives and brought up
    // to date as news comes; none: only the file is.
    QHash<QString, QList<StatusEvent>>* statuses = nullptr;
    // Shows the statuses as they are now on whatever shows them (the window's rows), before a
    // command's last box; none: nothing shows them.
    std::function<void()> showStatuses = {};
};

} // namespace model
