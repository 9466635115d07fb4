// Texts through the modem: fifty texts sent by Parlivo's flow (the pace off) against fifty
// mmcli create-and-send pairs, on the same ModemManager in its test mode with the same scripted
// modem (tests/support/modem_session.py), each side's time a text beside the ratio.
#include "bench_util.h"
#include "core/pointer.h"
#include "local_modem.h"
#include "routes/modem/dbus/mm_text_modem.h"
#include "routes/modem/modem_option.h"
#include "scripted_desktop.h"
#include "sending/send_command.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace {
constexpr int kTexts = 50;

QStringList numbers(int first) {
    QStringList phones;
    for (int i = 0; i < kTexts; ++i)
        phones << QStringLiteral("+1555%1").arg(first + i, 7, 10, QLatin1Char('0'));
    return phones;
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    LocalModem local;
    if (!local.started()) {
        std::printf("ModemManager in its test mode could not start: the modem figure skipped\n");
        return 0;
    }
    modem::MmTextModem textModem(local.bus());
    if (textModem.prepare().problem != modem::ModemProblem::None) {
        std::printf("the scripted modem did not become ready\n");
        return 1;
    }
    ScriptedDesktop desktop;
    FixedClock clock;
    ScriptedMail mail;
    core::WindowPointer pointer(nullptr);
    QTemporaryDir folder;
    MemorySettings settings; // no pause between texts, no allowance in the way
    settings.values = {{modem_route::kPartsPerMinuteSetting, "0"},
                       {modem_route::kPartsPerDaySetting, "100000"}};
    modem_route::ModemOption modem(&textModem, settings);
    model::CommandContext context{desktop,
                                  clock,
                                  "Parlivo",
                                  pointer,
                                  folder.path(),
                                  {folder.filePath("sentmessages.log"),
                                   folder.filePath("delivery-pending.tsv"),
                                   folder.filePath("kept-sends.tsv")}};
    QElapsedTimer took;
    took.start();
    sending::sendMessage(context, {numbers(1000), {}, "Hi", "at noon"}, modem);
    const double ours = double(took.nsecsElapsed()) / 1e6;
    if (local.texts().size() != kTexts || desktop.boxTexts() != QStringList{"Done."})
        std::printf("our fifty texts did not all go: %lld, %s\n", qlonglong(local.texts().size()),
                    qPrintable(desktop.boxTexts().join('|')));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SYSTEM_BUS_ADDRESS", local.address());
    const auto mmcli = [&](const QStringList& arguments) {
        QProcess run;
        run.setProcessEnvironment(environment);
        run.start("mmcli", arguments);
        run.waitForFinished(30000);
        return run.readAllStandardOutput();
    };
    took.restart();
    for (const QString& number : numbers(2000)) {
        const QByteArray created =
            mmcli({"-m", "any",
                   "--messaging-create-sms=number='" + number +
                       "',text='Hi\nat noon',delivery-report-request='yes'"});
        const qsizetype at = created.indexOf("/org/freedesktop/ModemManager1/SMS/");
        mmcli({"-s", QString::fromLatin1(created.mid(at).trimmed()), "--send"});
    }
    const double baseline = double(took.nsecsElapsed()) / 1e6;
    if (local.texts().size() != 2 * kTexts)
        std::printf("mmcli's fifty texts did not all go\n");
    std::printf("a text: ours %.1f ms, mmcli create and send %.1f ms\n", ours / kTexts,
                baseline / kTexts);
    printRatio("fifty texts through the modem, against mmcli", ours, baseline, 0.5);
    return benchExitCode();
}
