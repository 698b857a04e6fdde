#include "netutil.h"

#include <cerrno>
#include <charconv>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hostsim {

namespace {
constexpr int kListenBacklog = 64;
}  // namespace

std::optional<Endpoint> parseEndpoint(std::string_view text) {
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) {
        return std::nullopt;
    }
    Endpoint at;
    at.host = std::string(text.substr(0, colon));
    in_addr probe{};
    if (inet_pton(AF_INET, at.host.c_str(), &probe) != 1) {
        return std::nullopt;
    }
    const auto portText = text.substr(colon + 1);
    unsigned port = 0;
    const auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (portText.empty() || ec != std::errc() || end != portText.data() + portText.size() || port > 65535) {
        return std::nullopt;
    }
    at.port = static_cast<std::uint16_t>(port);
    return at;
}

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        reset(other.release());
    }
    return *this;
}

int Fd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void Fd::reset(int fd) {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = fd;
}

Fd listenOn(const Endpoint& at, std::string& error) {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) {
        error = std::string("socket: ") + std::strerror(errno);
        return {};
    }
    const int one = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(at.port);
    inet_pton(AF_INET, at.host.c_str(), &addr.sin_addr);
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        error = "bind " + at.host + ":" + std::to_string(at.port) + ": " + std::strerror(errno);
        return {};
    }
    if (::listen(fd.get(), kListenBacklog) != 0) {
        error = std::string("listen: ") + std::strerror(errno);
        return {};
    }
    return fd;
}

std::uint16_t localPort(int fd) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        return 0;
    }
    return ntohs(addr.sin_port);
}

std::string peerName(int fd) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        return "?";
    }
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(addr.sin_port));
}

bool sendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void setSendTimeout(int fd, int seconds) {
    timeval tv{seconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

void setReceiveTimeout(int fd, int seconds) {
    timeval tv{seconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

StopSignal::StopSignal() {
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC) == 0) {
        read_.reset(fds[0]);
        write_.reset(fds[1]);
    }
}

void StopSignal::notify() {
    const char byte = 1;
    // One byte is enough: nobody drains the pipe, so it stays readable.
    [[maybe_unused]] const auto n = ::write(write_.get(), &byte, 1);
}

WakeSignal::WakeSignal() {
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        read_.reset(fds[0]);
        write_.reset(fds[1]);
    }
}

void WakeSignal::notify() {
    const char byte = 1;
    // A full pipe is already readable: nothing is lost.
    [[maybe_unused]] const auto n = ::write(write_.get(), &byte, 1);
}

void WakeSignal::drain() {
    char buffer[64];
    while (::read(read_.get(), buffer, sizeof buffer) > 0) {
    }
}

Fd deafenListener(int listener) {
    // Linux lets a listening socket change its backlog. With 0 the queue holds one connection, and
    // is full while that one waits there.
    ::listen(listener, 0);
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
    if (addr.sin_addr.s_addr == htonl(INADDR_ANY)) {
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    // Waited for briefly, never for long: should a client's connection already sit in the queue, the
    // queue is full anyway and ours is simply never answered.
    Fd filler(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (filler.valid() && ::connect(filler.get(), reinterpret_cast<sockaddr*>(&addr), len) != 0 &&
        errno == EINPROGRESS) {
        pollfd done{filler.get(), POLLOUT, 0};
        ::poll(&done, 1, 1000);
    }
    return filler;
}

void restoreListener(int listener) { ::listen(listener, kListenBacklog); }

}  // namespace hostsim
