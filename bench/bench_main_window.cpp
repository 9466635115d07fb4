// Building and showing the main window with its start-up, against a window with the same
// controls and no program logic; then the resident memory of a started Parlivo against a
// minimal Qt window. The online check is left out of the timing: it waits on the network.
#include "app/main_window.h"
#include "bench_util.h"
#include "notice/companion_notice.h"
#include "scripted_desktop.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>

namespace {

// The same controls in the same fonts, sizes and skin, without any of the program's logic.
void buildBaseline(const QString& skin) {
    QWidget window;
    window.setFixedSize(1064, 453);
    QFont font(QStringLiteral("Arial"), 9);
    font.setBold(true);
    window.setFont(font);
    QFont captionFont = font;
    captionFont.setPointSizeF(11.25);
    QTreeWidget* carriers = nullptr;
    for (int i = 0; i < 2; ++i) {
        carriers = new QTreeWidget(&window);
        carriers->setGeometry(8, 8 + 254 * i, 520, 146);
        carriers->setHeaderLabels({QStringLiteral("column")});
    }
    for (int i = 0; i < 13; ++i) {
        auto* button = new QPushButton(QStringLiteral("Button %1").arg(i), &window);
        button->setFont(captionFont);
        button->setGeometry(8 + 264 * (i % 4), 160 + 34 * (i / 4), 256, 27);
    }
    for (int i = 0; i < 3; ++i) {
        auto* frame = new QGroupBox(QStringLiteral("Frame"), &window);
        frame->setGeometry(536, 4 + 100 * i, 520, 90);
        new QLabel(QStringLiteral("Label"), frame);
        new QLineEdit(frame);
    }
    new QPlainTextEdit(&window);
    for (const char* carrier : {"a", "b", "c", "d", "e", "f", "g"}) {
        auto* item = new QTreeWidgetItem(QStringList{QLatin1String(carrier)});
        item->setCheckState(0, Qt::Unchecked);
        carriers->addTopLevelItem(item);
    }
    window.setStyleSheet(skin);
    QWidget notice;
    notice.setFixedSize(536, 77);
    notice.setFont(font);
    new QLabel(QStringLiteral("notice"), &notice);
    (new QPushButton(QStringLiteral("open"), &notice))->setFont(captionFont);
    notice.show();
    window.show();
    QApplication::processEvents();
}

void buildParlivo(const QString& programFolder) {
    ScriptedDesktop desktop;
    MemorySettings settings;
    ScriptedMail mail;
    FixedClock clock;
    ScriptedRandom random;
    app::Form1 form(
        {desktop, settings, mail, clock, random, programFolder, programFolder, QString()});
    form.Form_Load();
    form.show();
    QApplication::processEvents();
}

long residentKb(QProcess& process) {
    QFile status(QStringLiteral("/proc/%1/status").arg(process.processId()));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

long startedResidentKb(const QString& program, const QStringList& arguments,
                       const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.waitForStarted();
    QThread::msleep(2500);
    const long kb = residentKb(process);
    process.kill();
    process.waitForFinished();
    return kb;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && QByteArray(argv[1]).startsWith("--minimal-window")) {
        QApplication application(argc, argv);
        QWidget window;
        if (QByteArray(argv[1]) == "--minimal-window-of-the-same-size") {
            window.setFixedSize(1064, 453);
            new QLabel(QStringLiteral("Parlivo"), &window);
        }
        window.show();
        return QApplication::exec();
    }
    QApplication application(argc, argv);
    const QString programDir = QStringLiteral(PARLIVO_PROGRAM_DIR);

    QFile skinFile(programDir + "/x/o.cjs");
    skinFile.open(QIODevice::ReadOnly);
    const QString skin = QString::fromUtf8(skinFile.readAll());

    buildParlivo(programDir); // warm both paths once
    buildBaseline(skin);
    const double ours = medianMs(41, [&] { buildParlivo(programDir); });
    const double baseline = medianMs(41, [&] { buildBaseline(skin); });
    printRatio("build and show the main window and notice", ours, baseline, 1.3);

    QTemporaryDir home;
    QDir().mkpath(home.filePath("bin"));
    QFile ping(home.filePath("bin/ping"));
    ping.open(QIODevice::WriteOnly);
    ping.write("#!/bin/sh\necho 64 bytes from 192.0.2.1\n");
    ping.close();
    ping.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    environment.insert("PATH", home.filePath("bin") + ":" + environment.value("PATH"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    const long parlivoKb = startedResidentKb(programDir + "/parlivo", {}, environment);
    const auto compare = [&](const char* what, const char* argument) {
        const long minimalKb = startedResidentKb(QCoreApplication::applicationFilePath(),
                                                 {QLatin1String(argument)}, environment);
        const double ratio = double(parlivoKb) / double(minimalKb);
        std::printf("%-58s %10ld kB  baseline %10ld kB  ratio %5.2f  (target <= 1.30) %s\n", what,
                    parlivoKb, minimalKb, ratio, ratio <= 1.3 ? "ok" : "OVER");
    };
    compare("resident memory: Parlivo / same-size window with a label",
            "--minimal-window-of-the-same-size");
    compare("resident memory: Parlivo / bare empty window", "--minimal-window");
    return 0;
}
