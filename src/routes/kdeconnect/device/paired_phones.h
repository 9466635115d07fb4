#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>

namespace paired {

// The desktop service a phone is paired through.
enum class Service { KdeConnect, GsConnect };

// A phone paired with this desktop.
struct PairedPhone {
    QString id; // as its service names it
    QString name;
    Service service = Service::KdeConnect;
    bool reachable = false; // on the network, with the phone's app running
};

// What became of handing one text to a paired phone.
enum class HandOverFate {
    Handed,    // the service took it to pass to the phone
    Refused,   // the service refused this text; the next may go
    Gone,      // the service or the phone went away: nothing more can go now
    Uncertain, // it was handed over and the service went away before it answered
};
struct HandOver {
    HandOverFate fate = HandOverFate::Refused;
    QString reason; // in the service's words, when not handed
};

// How a phone's conversations list a message.
enum class TextKind { Received = 1, Sent = 2, Failed = 5, Queued = 6 };

// A message of a phone's conversations, as the service shows them.
struct PhoneText {
    QString number; // the other phone
    QString body;
    QDateTime when;
    int kind = 0; // a TextKind, or another the service knows
    QString key;  // the same message keeps the same key
};

// The phones paired with this desktop through KDE Connect or GSConnect, on the session bus.
class PairedPhones {
  public:
    virtual ~PairedPhones() = default;
    // The paired phones, reachable or not; nothing where no service runs.
    virtual QList<PairedPhone> phones() = 0;
    // Hands one text for one number in international form to `phone`: one number a call,
    // since several in one call become one group message.
    virtual HandOver send(const PairedPhone& phone, const QString& number, const QString& text) = 0;
    // The messages `phone`'s conversations have shown since they were first asked for, and
    // the latest of each conversation; oldest first. Nothing from a service that shows none.
    virtual QList<PhoneText> texts(const PairedPhone& phone) = 0;
    // `changed` runs on the event loop whenever a phone may have come, gone, or changed its name.
    virtual void watch(std::function<void()> changed) = 0;
    // `arrived` runs on the event loop whenever a phone's conversations showed a message.
    virtual void watchTexts(std::function<void()> arrived) = 0;
};

// Whether KDE Connect's or GSConnect's service runs on this machine, found without loading
// D-Bus: a process of theirs. Where none does, nothing of D-Bus is loaded.
bool pairingServiceRuns();

} // namespace paired
