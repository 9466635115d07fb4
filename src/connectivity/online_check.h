#pragma once

#include <QString>

namespace platform {
class Desktop;
}

namespace connectivity {

// One echo request to a well-known public host; each reply line holds "bytes from".
inline const QString kPingCommand = QStringLiteral("ping -c 1 -W 2 www.google.com");
// However the network behaves (no name server, a black-holed route), start-up waits no
// longer than this for the ping and the connection.
inline constexpr int kOnlineCheckLimitMs = 5000;

// What the start-up check tries: the ping, and at the same time a TCP connection to the mail
// server (networks that drop ICMP still reach it); no host: the ping alone.
struct OnlineCheck {
    QString pingCommand = kPingCommand;
    QString host = QStringLiteral("smtp.gmail.com");
    quint16 port = 465;
    int limitMs = kOnlineCheckLimitMs;
};

// Warns when neither the ping nor the connection answered within the limit; an empty ping
// answer counts as no reply.
void CheckOnline(platform::Desktop& desktop, const QString& applicationTitle,
                 const OnlineCheck& check = {});

} // namespace connectivity
