#include "connectivity/online_check.h"

#include "connectivity/command_output.h"
#include "platform/desktop.h"
#include "platform/tcp_probe.h"

#include <QElapsedTimer>
#include <QThread>

namespace connectivity {

void CheckOnline(platform::Desktop& desktop, const QString& applicationTitle,
                 const OnlineCheck& check) {
    QElapsedTimer clock;
    clock.start();
    const platform::TcpProbe server(check.host, check.port, check.limitMs);
    const QString output =
        CaptureCommandOutput(desktop, check.pingCommand, true, false, true, check.limitMs);
    if (output.contains(QLatin1String("bytes from"), Qt::CaseInsensitive))
        return;
    while (!server.finished() && clock.elapsed() < check.limitMs) {
        desktop.processEvents();
        QThread::msleep(5);
    }
    if (server.connected())
        return;
    desktop.messageBox(QStringLiteral("You must be online to use this software accurately."),
                       platform::Buttons::Ok, platform::Icon::None, applicationTitle);
}

} // namespace connectivity
