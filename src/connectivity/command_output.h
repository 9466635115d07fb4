#pragma once

#include <QString>

namespace platform {
class Desktop;
}

namespace connectivity {

inline const QString kCannotStart =
    QStringLiteral("Failed to create process, check the path of the command line.");

// Runs a command line (program and arguments, split as a shell would) and returns what it
// wrote to the chosen streams, whole and in order. Pending window events run while it
// reads. The child's standard input is empty and closed. Asking for neither stream is an
// "Invalid procedure call or argument" failure. With `timeLimitMs` >= 0 a child that is
// still running after that long is killed and what it wrote so far is returned.
QString CaptureCommandOutput(platform::Desktop& desktop, const QString& commandLine,
                             bool captureOutput, bool captureErrors, bool convertCodePage,
                             int timeLimitMs = -1);

} // namespace connectivity
