#include "connectivity/online_check.h"

#include "connectivity/command_output.h"
#include "platform/desktop.h"
#include "platform/tcp_probe.h"

#include <QElapsedTimer>
#include <optional>

namespace connectivity {

void CheckOnline(platform::Desktop& desktop, const QString& applicationTitle,
                 const OnlineCheck& check) {
    QElapsedTimer clock;
    clock.start();
    std::optional<platform::TcpProbe> server;
    if (!check.host.isEmpty())
        server.emplace(check.host, check.port, check.limitMs);
    const QString output =
        CaptureCommandOutput(desktop, check.pingCommand, true, false, true, check.limitMs);
    if (output.contains(QLatin1String("bytes from"), Qt::CaseInsensitive))
        return;
    while (server && clock.elapsed() < check.limitMs &&
           !server->waitFor(int(qMin<qint64>(10, check.limitMs - clock.elapsed()))))
        desktop.processEvents();
    if (server && server->connected())
        return;
    desktop.messageBox(QStringLiteral("You must be online to use this software accurately."),
                       platform::Buttons::Ok, platform::Icon::None, applicationTitle);
}

} // namespace connectivity
