#pragma once

#include <QString>
#include <memory>

namespace platform {

// Tries, in the background, to open a TCP connection to a host and port within a time limit
// (name lookup included), and closes it at once. Nothing waits for it: the caller asks
// whether it has answered. A lookup that hangs past the limit is left to end on its own.
class TcpProbe {
  public:
    TcpProbe(const QString& host, quint16 port, int limitMs);
    // Waits at most `ms` for the answer; true once there is one.
    bool waitFor(int ms) const;
    bool connected() const;

  private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace platform
