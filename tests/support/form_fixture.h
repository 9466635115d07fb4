#pragma once

#include "app/main_window.h"
#include "app/program.h"
#include "scripted_desktop.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <memory>
#include <vector>

namespace mail {
class MailboxReader;
class MailSubmitter;
} // namespace mail
namespace modem {
class TextModem;
}
namespace phone {
class PhoneGateway;
}

// A main window on scripted seams, with its own program and data folders.
struct FormFixture {
    FormFixture();
    ~FormFixture();
    // Builds the window; `load` runs its start-up as the program does.
    app::Form1& open(bool load = true);
    QString programFolder() const { return base + QStringLiteral("/program"); }
    QString dataFolder() const { return base + QStringLiteral("/data"); }

    QTemporaryDir folder;
    QString base = folder.path(); // where the program and data folders are
    ScriptedDesktop desktop;
    MemorySettings settings;
    platform::SettingsStore* settingsStore = &settings; // the store the window uses
    ScriptedMail mail;
    mail::MailSubmitter* submitter = &mail; // the mail layer the window uses
    mail::MailboxReader* mailbox = nullptr; // where the window reads bounces
    platform::Keyring* keyring = nullptr;   // none: the password stays in the settings
    modem::TextModem* modem = nullptr;      // none: no ModemManager on this machine
    phone::PhoneGateway* phone = nullptr;   // none: the phone module beside the program
    QString settingsFile = QStringLiteral("Quorvane.ini");
    FixedClock clock;
    ScriptedRandom random;
    // A stand-in for the ping that answers as an online machine would, and a mail server
    // on this machine that refuses at once (nothing leaves the machine).
    connectivity::OnlineCheck onlineCheck{
        QStringLiteral("/bin/echo 64 bytes from 192.0.2.1: icmp_seq=1"),
        QStringLiteral("127.0.0.1"), 1, 1000};
    std::unique_ptr<phone::PhoneGateway> phoneModule;
    // The routes, in the order the program offers them, on the seams above.
    std::vector<std::unique_ptr<model::RouteOption>> routes;
    std::unique_ptr<app::Form1> form;
};

// The controls of `window` a user could not reach though they are shown: each "<name> outside"
// when it is not wholly inside the window, "<name> under <other>" when a widget drawn above it
// covers part of it.
QStringList unreachableControls(QWidget* window);

// The seed of the tests' random waits: PARLIVO_TEST_SEED where set, else a fixed one, so that
// a run can be made again alike; and a generator on it for this test program.
quint32 testSeed();
QRandomGenerator& testRandom();

// The mouse moving over a widget with no button pressed.
void moveOver(QWidget* widget);

// The texts and ticks of a list, one "text" or "[x] text" entry a row.
QStringList rowsOf(const class QTreeWidget* list);

// Picks the entry at `path` ("Use Saved Text", "Rehearsal") of the menu about to open, with
// the keys, as a user does; a path not offered, or offered disabled, picks nothing.
void pickInNextMenu(QObject* context, QStringList path);
