#include "routes/modem/modem_texts.h"

#include "routes/modem/device/text_modem.h"
#include "sending/send_texts.h"

#include <QLocale>

namespace modem_route {

namespace {
const QString kBreak = QStringLiteral("\r\n");
} // namespace

QString modemAllowanceQuestion(qsizetype recent, qsizetype needed, qsizetype partsEach,
                               qsizetype allowance, qsizetype fits) {
    return sending::partsAllowanceQuestion(QStringLiteral("through this computer's modem"),
                                           kPartsPerDaySetting, recent, needed, partsEach,
                                           allowance, fits);
}

QString modemNotReadyMessage(const modem::ModemReady& ready) {
    QString why;
    switch (ready.problem) {
    case modem::ModemProblem::None:
        break;
    case modem::ModemProblem::NoService:
        why = QStringLiteral("ModemManager, the system service that runs the modem, does not "
                             "answer. Start it (or choose e-mail under \"Send by\").");
        break;
    case modem::ModemProblem::NoModem:
        why = QStringLiteral("No modem that can send texts is attached. Plug it in, or choose "
                             "e-mail under \"Send by\".");
        break;
    case modem::ModemProblem::SimLocked:
        why = QStringLiteral("The modem's SIM waits for its PIN. Unlock it in the system's "
                             "network settings, then send again.");
        break;
    case modem::ModemProblem::NotRegistered:
        why = QStringLiteral("The modem found no mobile network. Move where it has signal, or "
                             "check the SIM's plan, then send again.");
        break;
    case modem::ModemProblem::NotAllowed:
        why = QStringLiteral("The system does not let this session send texts through the "
                             "modem (only the person at the computer may). Send from a local "
                             "desktop session.");
        break;
    case modem::ModemProblem::Failed:
        why = QStringLiteral("The modem could not be made ready: %1").arg(ready.detail);
        break;
    }
    return QStringLiteral("Nothing was sent. ") + why;
}

QString modemGoneMessage(const QString& phone) {
    return QStringLiteral("The modem went away before the text to %1 went. Plug it in again and "
                          "send: the rest is kept.")
        .arg(phone);
}

QString modemGoneInFlightMessage(const QString& reason) {
    return QStringLiteral("The modem went away while a text was in flight: %1. The rest is kept.")
        .arg(reason);
}

} // namespace modem_route
