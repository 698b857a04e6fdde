#include "netutil.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>
#include <optional>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hostsim {

namespace {

constexpr int kListenBacklog = 64;

// AF_INET for a dotted IPv4 address, AF_INET6 for an IPv6 one (a zone after '%' allowed), else
// AF_UNSPEC. Dotted only: "127.1" or "28000" are not taken for IPv4 addresses.
int numericFamily(std::string_view host) {
    const std::string text(host);
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1) {
        return AF_INET;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (text.find(':') == std::string::npos || ::getaddrinfo(text.c_str(), nullptr, &hints, &found) != 0) {
        return AF_UNSPEC;
    }
    ::freeaddrinfo(found);
    return AF_INET6;
}

std::optional<std::uint16_t> parsePort(std::string_view text) {
    unsigned port = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || port > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(port);
}

Endpoint endpointOf(const sockaddr_storage& addr, socklen_t len) {
    char host[NI_MAXHOST] = {};
    char service[NI_MAXSERV] = {};
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&addr), len, host, sizeof host, service,
                      sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        return {};
    }
    return {host, parsePort(service).value_or(0)};
}

}  // namespace

bool parseListenAddress(std::string_view text, Endpoint& at) {
    std::string_view host = text;
    std::optional<std::string_view> port;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos) {
            return false;
        }
        host = text.substr(1, close - 1);
        const auto rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':') {
                return false;
            }
            port = rest.substr(1);
        }
        if (numericFamily(host) != AF_INET6) {
            return false;
        }
    } else if (numericFamily(text) == AF_UNSPEC) {
        const auto colon = text.rfind(':');
        if (colon == std::string_view::npos) {
            return false;
        }
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (numericFamily(host) != AF_INET) {
            return false;
        }
    }
    std::optional<std::uint16_t> number;
    if (port && !(number = parsePort(*port))) {
        return false;
    }
    at.host = std::string(host);
    if (number) {
        at.port = *number;
    }
    return true;
}

std::string formatEndpoint(const Endpoint& at) {
    const bool v6 = at.host.find(':') != std::string::npos;
    return (v6 ? "[" + at.host + "]" : at.host) + ":" + std::to_string(at.port);
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
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(at.port);
    if (const int failed = ::getaddrinfo(at.host.c_str(), port.c_str(), &hints, &found); failed != 0) {
        error = "address " + formatEndpoint(at) + ": " + ::gai_strerror(failed);
        return {};
    }
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, &::freeaddrinfo);
    Fd fd(::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) {
        error = std::string("socket: ") + std::strerror(errno);
        return {};
    }
    const int one = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd.get(), found->ai_addr, found->ai_addrlen) != 0) {
        error = "bind " + formatEndpoint(at) + ": " + std::strerror(errno);
        return {};
    }
    if (::listen(fd.get(), kListenBacklog) != 0) {
        error = std::string("listen: ") + std::strerror(errno);
        return {};
    }
    return fd;
}

Endpoint localEndpoint(int fd) {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        return {};
    }
    return endpointOf(addr, len);
}

std::string peerName(int fd) {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        return "?";
    }
    const Endpoint peer = endpointOf(addr, len);
    return peer.host.empty() ? "?" : formatEndpoint(peer);
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
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
    if (addr.ss_family == AF_INET) {
        auto& v4 = reinterpret_cast<sockaddr_in&>(addr);
        if (v4.sin_addr.s_addr == htonl(INADDR_ANY)) {
            v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        }
    } else if (addr.ss_family == AF_INET6) {
        auto& v6 = reinterpret_cast<sockaddr_in6&>(addr);
        if (IN6_IS_ADDR_UNSPECIFIED(&v6.sin6_addr)) {
            v6.sin6_addr = in6addr_loopback;
        }
    }
    // Waited for briefly, never for long: should a client's connection already sit in the queue, the
    // queue is full anyway and ours is simply never answered.
    Fd filler(::socket(addr.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (filler.valid() && ::connect(filler.get(), reinterpret_cast<sockaddr*>(&addr), len) != 0 &&
        errno == EINPROGRESS) {
        pollfd done{filler.get(), POLLOUT, 0};
        ::poll(&done, 1, 1000);
    }
    return filler;
}

void restoreListener(int listener) { ::listen(listener, kListenBacklog); }

}  // namespace hostsim
