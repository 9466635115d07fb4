#include "platform/tcp_probe.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

struct TcpProbe::State {
    std::mutex mutex;
    std::condition_variable answered;
    int result = -1; // -1 running, 0 no connection, 1 connected
};

namespace {
bool connectsWithin(const addrinfo* address, qint64 leftMs) {
    const int fd = socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                          address->ai_protocol);
    if (fd < 0)
        return false;
    bool connected = connect(fd, address->ai_addr, address->ai_addrlen) == 0;
    if (!connected && errno == EINPROGRESS) {
        pollfd waiting{fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        connected = poll(&waiting, 1, int(qMax<qint64>(0, leftMs))) == 1 &&
                    getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
    }
    close(fd);
    return connected;
}
} // namespace

TcpProbe::TcpProbe(const QString& host, quint16 port, int limitMs)
    : state_(std::make_shared<State>()) {
    std::thread([state = state_, host = host.toUtf8(), service = QByteArray::number(port),
                 limitMs] {
        QElapsedTimer clock;
        clock.start();
        addrinfo hints{};
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        bool connected = false;
        if (getaddrinfo(host.constData(), service.constData(), &hints, &found) == 0) {
            for (const addrinfo* a = found; a && !connected && clock.elapsed() < limitMs;
                 a = a->ai_next)
                connected = connectsWithin(a, limitMs - clock.elapsed());
            freeaddrinfo(found);
        }
        const std::lock_guard lock(state->mutex);
        state->result = connected && clock.elapsed() <= limitMs ? 1 : 0;
        state->answered.notify_all();
    }).detach();
}

bool TcpProbe::waitFor(int ms) const {
    std::unique_lock lock(state_->mutex);
    return state_->answered.wait_for(lock, std::chrono::milliseconds(ms),
                                     [this] { return state_->result >= 0; });
}

bool TcpProbe::connected() const {
    const std::lock_guard lock(state_->mutex);
    return state_->result == 1;
}

} // namespace platform
