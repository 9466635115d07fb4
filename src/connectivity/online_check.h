#pragma once

#include <QString>

namespace platform {
class Desktop;
}

namespace connectivity {

// One echo request to a well-known public host; each reply line holds "bytes from".
inline const QString kPingCommand = QStringLiteral("ping -c 1 -W 2 www.google.com");
// However the network behaves (no name server, a black-holed route), start-up waits no
// longer than this for the ping.
inline constexpr int kOnlineCheckLimitMs = 5000;

// Pings once and warns when no reply came; an empty answer counts as no reply.
void CheckOnline(platform::Desktop& desktop, const QString& applicationTitle,
                 const QString& commandLine = kPingCommand, int timeLimitMs = kOnlineCheckLimitMs);

} // namespace connectivity
