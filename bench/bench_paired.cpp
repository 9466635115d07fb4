// Texts through a phone paired by KDE Connect: a hundred texts sent by Parlivo's flow (the
// pace off) against a hundred runs of kdeconnect-cli --send-sms, one phone a run, through the
// same daemon (tests/support/paired_phone_session.py), each side's time a text beside the
// ratio.
#include "bench_util.h"
#include "core/pointer.h"
#include "local_paired_phones.h"
#include "routes/kdeconnect/dbus/bus_paired_phones.h"
#include "routes/kdeconnect/kdeconnect_option.h"
#include "routes/kdeconnect/paired_texts.h"
#include "scripted_desktop.h"
#include "sending/send_command.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int kTexts = 100;

QStringList numbers(int first) {
    QStringList phones;
    for (int i = 0; i < kTexts; ++i)
        phones << QStringLiteral("+1555%1").arg(first + i, 7, 10, QLatin1Char('0'));
    return phones;
}
} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (QStandardPaths::findExecutable("kdeconnect-cli").isEmpty()) {
        std::printf("kdeconnect-cli is not installed: the paired phone figure skipped\n");
        return 0;
    }
    // Debian's kdeconnectd paired with a scripted phone where it can run alone in a network
    // namespace, else the stand-in of its bus interfaces.
    const bool real = QFile::exists("/usr/lib/x86_64-linux-gnu/libexec/kdeconnectd") &&
                      QProcess::execute("unshare", {"-rnpf", "true"}) == 0;
    LocalPairedPhones local(real ? QStringList{"--real", "--phone", "a1=Pixel 7"}
                                 : QStringList{"--phone", "a1=Pixel 7"});
    if (!local.started()) {
        std::printf("the daemon did not start\n");
        return 1;
    }
    std::printf("through %s\n", real ? "the real daemon" : "the daemon's stand-in");
    const auto handed = [&](qsizetype count) { // the packets reach the phone a moment later
        (void)QTest::qWaitFor([&] { return local.handed().size() >= count; }, 20000);
        return local.handed().size();
    };
    ScriptedDesktop desktop;
    FixedClock clock;
    core::WindowPointer pointer(nullptr);
    QTemporaryDir folder;
    MemorySettings settings; // no pause between texts, no allowance in the way
    settings.values = {{kdeconnect_route::kPartsPerMinuteSetting, "0"},
                       {kdeconnect_route::kPartsPerDaySetting, "100000"}};
    paired::BusPairedPhones phones;
    kdeconnect_route::KdeConnectOption option(&phones, settings);
    model::RouteOption* pixel = option.choices().value(0);
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
    sending::sendMessage(context, {numbers(1000), {}, "Hi", "at noon"}, *pixel);
    const double ours = double(took.nsecsElapsed()) / 1e6;
    if (handed(kTexts) != kTexts || desktop.boxTexts() != QStringList{"Done."})
        std::printf("our hundred texts did not all go: %lld, %s\n", qlonglong(handed(kTexts)),
                    qPrintable(desktop.boxTexts().join('|')));

    took.restart();
    for (const QString& number : numbers(2000)) {
        QProcess cli;
        cli.start("kdeconnect-cli",
                  {"-d", "a1", "--send-sms", "Hi\nat noon", "--destination", number});
        cli.waitForFinished(30000);
    }
    const double baseline = double(took.nsecsElapsed()) / 1e6;
    if (handed(2 * kTexts) != 2 * kTexts)
        std::printf("kdeconnect-cli's hundred texts did not all go: %lld\n",
                    qlonglong(handed(2 * kTexts) - kTexts));
    std::printf("a text: ours %.1f ms, kdeconnect-cli %.1f ms\n", ours / kTexts, baseline / kTexts);
    printRatio("a hundred texts through a paired phone, against kdeconnect-cli", ours, baseline,
               0.5);
    return benchExitCode();
}
