#include "connectivity/online_check.h"

#include "connectivity/command_output.h"
#include "platform/desktop.h"

namespace connectivity {

void CheckOnline(platform::Desktop& desktop, const QString& applicationTitle,
                 const QString& commandLine, int timeLimitMs) {
    const QString output =
        CaptureCommandOutput(desktop, commandLine, true, false, true, timeLimitMs);
    if (output.contains(QLatin1String("bytes from"), Qt::CaseInsensitive))
        return;
    desktop.messageBox(QStringLiteral("You must be online to use this software accurately."),
                       platform::Buttons::Ok, platform::Icon::None, applicationTitle);
}

} // namespace connectivity
