#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

// Median wall time of `reps` runs of `work`, in milliseconds; `prepare` runs before each
// run and is not timed.
inline double medianMs(int reps, const std::function<void()>& work,
                       const std::function<void()>& prepare = {}) {
    std::vector<double> times;
    for (int i = 0; i < reps; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Medians of `ours` and `baseline` timed in alternation, so that drifts of the machine
// (clock speed, other load) fall on both alike.
inline std::pair<double, double> alternatingMedians(int reps, const std::function<void()>& ours,
                                                    const std::function<void()>& baseline,
                                                    const std::function<void()>& prepare = {}) {
    std::vector<double> a;
    std::vector<double> b;
    for (int i = 0; i < reps; ++i) {
        a.push_back(medianMs(1, ours, prepare));
        b.push_back(medianMs(1, baseline, prepare));
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return {a[a.size() / 2], b[b.size() / 2]};
}

// Runs `work` with a 1 ms timer beside it; returns the longest gap between two ticks, the
// longest time the event loop did not turn.
inline double longestGapMs(const std::function<void()>& work) {
    QElapsedTimer sinceTick;
    double longest = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, double(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.restart();
    });
    tick.start();
    sinceTick.start();
    work();
    longest = std::max(longest, double(sinceTick.nsecsElapsed()) / 1e6);
    return longest;
}

// Whether any figure of this run was over its target; the benchmark's exit code says so.
inline bool& anyOverTarget() {
    static bool over = false;
    return over;
}

// "ok" or "OVER" for a figure against its target, noting an OVER for the exit code.
inline const char* verdict(bool withinTarget) {
    if (!withinTarget)
        anyOverTarget() = true;
    return withinTarget ? "ok" : "OVER";
}

// What main() returns: 1 when a figure was over its target, so that a script or CI sees it.
inline int benchExitCode() {
    if (anyOverTarget())
        std::printf("a figure is OVER its target\n");
    return anyOverTarget() ? 1 : 0;
}

inline void printRatio(const char* what, double ours, double baseline, double target) {
    const double ratio = ours / baseline;
    std::printf("%-58s %10.3f ms  baseline %10.3f ms  ratio %5.2f  (target <= %.2f) %s\n", what,
                ours, baseline, ratio, target, verdict(ratio <= target));
}

// bench/delay_proxy.py in front of `target`: a 50 ms round trip, and the round trips each
// connection took.
struct DelayProxy {
    explicit DelayProxy(quint16 target) {
        process.start("/usr/bin/python3",
                      {QStringLiteral(PARLIVO_SOURCE_DIR) + "/bench/delay_proxy.py",
                       QString::number(target), "25"});
        while (port == 0 && process.waitForReadyRead(10000))
            if (const QByteArray line = process.readLine().trimmed(); line.startsWith("PORT "))
                port = line.mid(5).toInt();
    }
    ~DelayProxy() {
        process.closeWriteChannel();
        process.waitForFinished(3000);
    }
    int turnsOfLastConnection() {
        while (!process.canReadLine())
            if (!process.waitForReadyRead(10000))
                return -1;
        return process.readLine().trimmed().mid(6).toInt();
    }
    QProcess process;
    int port = 0;
};
