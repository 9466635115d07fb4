#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>

namespace modem {

// Why texts cannot go through the computer's modem now.
enum class ModemProblem {
    None,
    NoService,     // ModemManager does not answer
    NoModem,       // no modem that can send texts
    SimLocked,     // the SIM waits for its PIN (or PUK)
    NotRegistered, // the modem found no network to register with
    NotAllowed,    // the system's policy lets this session send no texts
    Failed,        // anything else; the detail says what
};

struct ModemReady {
    ModemProblem problem = ModemProblem::None;
    QString detail; // what the service said, when it said anything
};

// What became of one text.
enum class TextFate {
    Taken,     // the network took it
    Refused,   // it did not go
    Uncertain, // it was handed over and the modem went away before it said
};
struct TextResult {
    TextFate fate = TextFate::Refused;
    QString reference;       // the network's message reference, when taken
    QString reason;          // in plain words, when not taken
    bool modemGone = false;  // refused because the modem or ModemManager went away
    bool notAllowed = false; // refused because the system does not let this session text
};

// A message the network sent that the modem holds: a status report or a text received.
struct ModemMessage {
    QString path;           // how the modem names it, to delete it
    bool report = false;    // a status report; else a text received
    QString number;         // the phone it is about, or that sent it
    QString reference;      // a report's: the reference of the text it answers
    uint deliveryState = 0; // a report's: 0 delivered, from 0x20 still trying, from 0x40 failed
    QString text;           // a text's
    QDateTime when;         // when the network stamped it
};

// The computer's own modem, as ModemManager offers it.
class TextModem {
  public:
    virtual ~TextModem() = default;
    // The name of a modem that can send texts ("maker model"), or nothing; enables nothing.
    virtual QString available() = 0;
    // Makes that modem ready to send: enabled when it was disabled, its SIM unlocked and the
    // network registered, or why not.
    virtual ModemReady prepare() = 0;
    // One text to one number in international form, a delivery report asked for. The message
    // the modem keeps is deleted once its outcome is known.
    virtual TextResult send(const QString& number, const QString& text) = 0;
    // The status reports and texts received that the modem holds whole, in the order they
    // came; a text whose parts are still arriving is not among them.
    virtual QList<ModemMessage> received() = 0;
    // Deletes a message from the modem's storage.
    virtual void remove(const QString& path) = 0;
    // `changed` runs on the event loop whenever a modem may have come or gone (a modem added
    // or removed, ModemManager started or stopped).
    virtual void watch(std::function<void()> changed) = 0;
    // `arrived` runs on the event loop whenever the modem stored a message (a text or a status
    // report received, or one of ours).
    virtual void watchMessages(std::function<void()> arrived) = 0;
};

// Whether ModemManager runs on this machine, found without loading D-Bus: a process of that
// name. Where it does not, nothing of the modem is loaded.
bool modemServiceRuns();

} // namespace modem
