#include "connectivity/command_output.h"

#include "core/error_report.h"
#include "platform/desktop.h"

#include <QElapsedTimer>
#include <QProcess>

namespace connectivity {

namespace {
constexpr int kReadSliceMs = 20;
}

QString CaptureCommandOutput(platform::Desktop& desktop, const QString& commandLine,
                             bool captureOutput, bool captureErrors, bool convertCodePage,
                             int timeLimitMs) {
    // Console code pages do not exist here: the conversion is the identity.
    Q_UNUSED(convertCodePage);
    if (!captureOutput && !captureErrors)
        throw core::Failure(core::failure_number::InvalidCall);

    const QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty())
        return kCannotStart;
    QProcess child;
    child.setProgram(words.first());
    child.setArguments(words.mid(1));
    child.setStandardInputFile(QProcess::nullDevice());
    if (captureOutput && captureErrors) {
        child.setProcessChannelMode(QProcess::MergedChannels);
    } else if (captureOutput) {
        child.setStandardErrorFile(QProcess::nullDevice());
    } else {
        child.setStandardOutputFile(QProcess::nullDevice());
        child.setReadChannel(QProcess::StandardError);
    }
    child.start();
    if (!child.waitForStarted())
        return kCannotStart;

    QByteArray output;
    QElapsedTimer running;
    running.start();
    for (;;) {
        desktop.processEvents();
        // The limit holds also for a child that writes without pause.
        if (timeLimitMs >= 0 && running.elapsed() > timeLimitMs) {
            child.kill();
            child.waitForFinished(1000);
            output += child.readAll();
            break;
        }
        if (child.waitForReadyRead(kReadSliceMs)) {
            output += child.readAll();
            continue;
        }
        if (child.state() == QProcess::NotRunning) {
            output += child.readAll();
            break;
        }
    }
    return QString::fromLocal8Bit(output);
}

} // namespace connectivity
