#pragma once

#include <QString>

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
    QString reference; // the network's message reference, when taken
    QString reason;    // in plain words, when not taken
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
};

// Whether ModemManager runs on this machine, found without loading D-Bus: a process of that
// name. Where it does not, nothing of the modem is loaded.
bool modemServiceRuns();

} // namespace modem
