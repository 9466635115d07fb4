// Texts through the user's phone: a hundred phones sent by Parlivo's flow (the pace off) to a
// stand-in for the phone's SMS gateway app (tests/support/phone_standin.py) over a 50 ms link
// (bench/delay_proxy.py), against curl making the same requests over the same link in one run
// (the readiness checks, then for each phone the text and its state read back); and the
// longest pause of the window's event loop during our send, beside that of the same loop
// idle while curl runs, which is what the machine itself stalls; then the longest pause during
// a news check against a phone that answers each request in 2 s.
#include "bench_util.h"
#include "core/pointer.h"
#include "local_phone.h"
#include "routes/phone/app/lazy_phone_gateway.h"
#include "routes/phone/phone_option.h"
#include "scripted_desktop.h"
#include "sending/send_command.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace {
constexpr int kPhones = 100;

// curl's config: the same requests as ours, on one connection; `run` keeps its ids apart.
QByteArray curlConfig(int port, int run) {
    const QByteArray base = "http://127.0.0.1:" + QByteArray::number(port);
    const QByteArray common = "user = \"ann:secret\"\nsilent\noutput = \"/dev/null\"\n";
    QByteArray config = "url = \"" + base + "/health\"\n" + common + "next\nurl = \"" + base +
                        "/inbox?type=SMS&limit=1\"\n" + common;
    for (int i = 0; i < kPhones; ++i) {
        const QByteArray id = "curl-" + QByteArray::number(run) + '-' + QByteArray::number(i);
        const QByteArray body =
            QJsonDocument(QJsonObject{{"id", QString::fromLatin1(id)},
                                      {"textMessage", QJsonObject{{"text", "Hi\nat noon"}}},
                                      {"phoneNumbers", QJsonArray{QStringLiteral("+1555%1").arg(
                                                           9000000 + i, 7, 10, QLatin1Char('0'))}},
                                      {"withDeliveryReport", true},
                                      {"ttl", 3600}})
                .toJson(QJsonDocument::Compact)
                .replace("\\", "\\\\") // as curl's config reads a quoted text
                .replace('"', "\\\"");
        config += "next\nurl = \"" + base + "/messages\"\n" + common +
                  "header = \"Content-Type: application/json\"\ndata = \"" + body + "\"\n";
        config += "next\nurl = \"" + base + "/messages/" + id + "\"\n" + common;
    }
    return config;
}
} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    LocalPhone phone;
    DelayProxy link(phone.port());
    if (phone.port() == 0 || link.port == 0) {
        std::printf("the stand-in phone or the delay proxy did not start\n");
        return 1;
    }
    ScriptedDesktop desktop;
    FixedClock clock;
    core::WindowPointer pointer(nullptr);
    QTemporaryDir folder;
    MemorySettings settings;
    settings.values = {
        {phone_route::kAddressSetting, QStringLiteral("http://127.0.0.1:%1").arg(link.port)},
        {phone_route::kUserSetting, "ann"},
        {phone_route::kPasswordSetting, "secret"},
        {phone_route::kPartsPerMinuteSetting, "0"},
        {phone_route::kPartsPerDaySetting, "100000"}};
    phone::LazyPhoneGateway gateway(QStringLiteral(PARLIVO_PROGRAM_DIR) + "/libparlivo_phone");
    phone_route::PhoneOption option(gateway, settings, nullptr, {});
    model::CommandContext context{desktop,
                                  clock,
                                  "Parlivo",
                                  pointer,
                                  folder.path(),
                                  {folder.filePath("sentmessages.log"),
                                   folder.filePath("delivery-pending.tsv"),
                                   folder.filePath("kept-sends.tsv")}};
    QStringList numbers;
    for (int i = 0; i < kPhones; ++i)
        numbers << QStringLiteral("555%1").arg(1000000 + i, 7, 10, QLatin1Char('0'));
    // Each side three times in alternation, a new text each time (its ids new), the medians.
    constexpr int kRuns = 3;
    int run = 0;
    double pause = 0;
    double idlePause = 0; // the same loop with nothing to do while curl runs: the machine's own
    bool allWent = true;
    const auto ours = [&] {
        clock.time = clock.time.addSecs(1); // a new kept text, new ids
        desktop.boxes.clear();
        const qsizetype before = phone.logged("TEXT").size();
        pause = qMax(pause, longestGapMs([&] {
                         sending::sendMessage(context, {numbers, {}, "Hi", "at noon"}, option);
                     }));
        allWent = allWent && phone.logged("TEXT").size() == before + kPhones &&
                  desktop.boxTexts() == QStringList{"Done."};
    };
    const auto curl = [&] {
        QFile config(folder.filePath("curl.config"));
        config.open(QIODevice::WriteOnly);
        config.write(curlConfig(link.port, run++));
        config.close();
        const qsizetype before = phone.logged("TEXT").size();
        QProcess process;
        QEventLoop idle;
        QObject::connect(&process, &QProcess::finished, &idle, &QEventLoop::quit);
        process.start("curl", {"-K", config.fileName()});
        idlePause = qMax(idlePause, longestGapMs([&] { idle.exec(); }));
        allWent = allWent && phone.logged("TEXT").size() == before + kPhones;
    };
    const auto [mine, baseline] = alternatingMedians(kRuns, ours, curl);
    if (!allWent || !phone.logged("BAD").isEmpty())
        std::printf("not every text went as asked: %s\n",
                    qPrintable(phone.logged("BAD").join('|')));
    std::printf("a phone: ours %.1f ms, curl %.1f ms (two requests each, a 50 ms round trip)\n",
                mine / kPhones, baseline / kPhones);
    printRatio("a hundred phones through the phone's app, against curl", mine, baseline, 1.0);
    std::printf("%-58s %10.1f ms  (target < 50) %s\n", "the window's longest pause during it",
                pause, verdict(pause < 50));
    std::printf("%-58s %10.1f ms  (the machine's own stalls)\n",
                "the same loop's longest pause, idle while curl ran", idlePause);
    // A news check of the sends above against a phone that takes 2 s to answer each request.
    phone.push("mode unhurried");
    model::Knowledge known;
    QElapsedTimer checking;
    checking.start();
    const double newsPause = longestGapMs([&] { option.bringNewsIntoLog(context, known); });
    std::printf("%-58s %10.1f ms  (target < 50; the check took %.1f s) %s\n",
                "the window's longest pause during a news check, answers in 2 s", newsPause,
                double(checking.elapsed()) / 1000,
                verdict(newsPause < 50 && checking.elapsed() >= 2000));
    return benchExitCode();
}
