// Blocking IPv4 sockets: every transfer waits for readiness with a whole-second time-out, then makes
// one call; every failure becomes a BlockingSocketException carrying the platform's error code.
#ifdef _WIN32
#ifndef _WINSOCK_DEPRECATED_NO_WARNINGS
#define _WINSOCK_DEPRECATED_NO_WARNINGS  // inet_addr: its lenient parsing is what callers get
#endif
#endif

#include "net/blockingsocket.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <cerrno>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
using AddressLength = int;
constexpr int kSendFlags = 0;
#else
using AddressLength = socklen_t;
#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;  // a closed peer must not kill the process with SIGPIPE
#else
constexpr int kSendFlags = 0;  // SO_NOSIGPIPE is set on every descriptor instead
#endif
#endif

constexpr AddressLength kAddressLength = sizeof(sockaddr_in);  // 16

enum class Readiness { kReadable, kWritable };

#ifdef _WIN32
constexpr int kNoSocketError = WSAENOTSOCK;
#else
constexpr int kNoSocketError = EBADF;
#endif

using Milliseconds = std::chrono::milliseconds;

Milliseconds FromSeconds(int seconds) {
    return seconds < 0 ? Milliseconds(-1) : std::chrono::seconds(seconds);
}

// True when the socket is ready, or when the wait itself failed (the transfer call that follows then
// reports the error); false when the time-out passed. A negative wait has no limit.
bool WaitReady(SOCKET socket, Readiness readiness, Milliseconds wait) {
#ifdef _WIN32
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    // Winsock reports a connect that failed in the exception set, never as writable.
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(socket, &failed);
    timeval timeout{static_cast<long>(wait.count() / 1000), static_cast<long>(wait.count() % 1000 * 1000)};
    fd_set* readSet = readiness == Readiness::kReadable ? &set : nullptr;
    fd_set* writeSet = readiness == Readiness::kWritable ? &set : nullptr;
    fd_set* exceptSet = readiness == Readiness::kWritable ? &failed : nullptr;
    // A time-out exception reports the thread's last error as it was before the wait.
    const int errorBefore = WSAGetLastError();
    const int result = select(0, readSet, writeSet, exceptSet, wait.count() < 0 ? nullptr : &timeout);
    if (result == 0) {
        WSASetLastError(errorBefore);
        return false;
    }
    return true;
#else
    if (socket < 0) {
        return true;  // nothing to wait on; the call reports EBADF at once
    }
    using Clock = std::chrono::steady_clock;
    const int errorBefore = errno;
    const bool forever = wait.count() < 0;
    const Clock::time_point deadline = Clock::now() + (forever ? Milliseconds(0) : wait);
    // poll, not select: a descriptor number above FD_SETSIZE must work.
    pollfd entry{};
    entry.fd = socket;
    entry.events = readiness == Readiness::kReadable ? POLLIN : POLLOUT;
    for (;;) {
        int timeoutMs = -1;
        if (!forever) {
            const long long left = std::chrono::ceil<Milliseconds>(deadline - Clock::now()).count();
            timeoutMs = static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
        }
        entry.revents = 0;
        const int result = poll(&entry, 1, timeoutMs);
        if (result > 0) {
            return true;
        }
        if (result == 0) {
            return false;
        }
        if (errno != EINTR) {
            return true;
        }
        // A signal is not a failure of ours: wait out the rest, and leave the thread's last error as
        // it was, since a time-out exception reports it.
        errno = errorBefore;
    }
#endif
}

#ifndef _WIN32
// Repeats a call that a signal interrupted before it transferred anything.
template <typename Call>
auto RetryInterrupted(Call call) {
    for (;;) {
        const auto result = call();
        if (result != -1 || errno != EINTR) {
            return result;
        }
    }
}

// Makes a fresh descriptor fit for this class: never 0 (which means "no socket"), closed on exec,
// and silent on writes to a closed peer. Returns -1 with errno set on failure (fd is then closed).
int AdoptDescriptor(int fd) {
    if (fd == 0) {
        const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
        const int code = errno;
        close(fd);
        if (moved == -1) {
            errno = code;
            return -1;
        }
        fd = moved;
    }
#ifndef SOCK_CLOEXEC
    fcntl(fd, F_SETFD, FD_CLOEXEC);
#endif
#ifdef SO_NOSIGPIPE
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    return fd;
}

// A connect interrupted by a signal goes on in the kernel; wait for it and collect its outcome.
int FinishInterruptedConnect(int fd) {
    pollfd entry{};
    entry.fd = fd;
    entry.events = POLLOUT;
    if (RetryInterrupted([&] { return poll(&entry, 1, -1); }) == -1) {
        return errno;
    }
    int code = 0;
    socklen_t length = sizeof code;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &code, &length) == -1) {
        return errno;
    }
    return code;
}
#endif

#ifdef _WIN32
void KeepFromChildren(SOCKET socket) {
    SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
}
#endif

// A negative size is refused before the system sees it, with the platform's own "invalid argument".
void SetInvalidArgument() {
#ifdef _WIN32
    WSASetLastError(WSAEINVAL);
#else
    errno = EINVAL;
#endif
}

int SendSome(SOCKET socket, const char* data, int size) {
    if (size < 0) {
        SetInvalidArgument();
        return SOCKET_ERROR;
    }
#ifdef _WIN32
    return send(socket, data, size, kSendFlags);
#else
    return static_cast<int>(
        RetryInterrupted([&] { return send(socket, data, static_cast<size_t>(size), kSendFlags); }));
#endif
}

int ReceiveSome(SOCKET socket, char* buffer, int size) {
    if (size < 0) {
        SetInvalidArgument();
        return SOCKET_ERROR;
    }
#ifdef _WIN32
    return recv(socket, buffer, size, 0);
#else
    return static_cast<int>(
        RetryInterrupted([&] { return recv(socket, buffer, static_cast<size_t>(size), 0); }));
#endif
}

int SendSomeTo(SOCKET socket, const char* data, int size, const sockaddr* to) {
    if (size < 0) {
        SetInvalidArgument();
        return SOCKET_ERROR;
    }
#ifdef _WIN32
    return sendto(socket, data, size, kSendFlags, to, kAddressLength);
#else
    return static_cast<int>(RetryInterrupted(
        [&] { return sendto(socket, data, static_cast<size_t>(size), kSendFlags, to, kAddressLength); }));
#endif
}

int ReceiveSomeFrom(SOCKET socket, char* buffer, int size, sockaddr* from) {
    AddressLength length = kAddressLength;
    AddressLength* lengthArgument = from != nullptr ? &length : nullptr;
    if (size < 0) {
        SetInvalidArgument();
        return SOCKET_ERROR;
    }
#ifdef _WIN32
    return recvfrom(socket, buffer, size, 0, from, lengthArgument);
#else
    return static_cast<int>(RetryInterrupted([&] {
        length = kAddressLength;
        return recvfrom(socket, buffer, static_cast<size_t>(size), 0, from, lengthArgument);
    }));
#endif
}

// The resolver's own failure code, or the system's when the resolver only passes that on.
int ResolverError(int result) {
#ifndef _WIN32
    if (result == EAI_SYSTEM) {
        return errno;
    }
#endif
    return result;
}

}  // namespace

int LastSocketError() {
#ifdef _WIN32
    return WSAGetLastError();
#else
    return errno;
#endif
}

bool InitSockets() {
#ifdef _WIN32
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
#else
    return true;
#endif
}

// ---------------------------------------------------------------------------------------------------
// BlockingSocketException

BlockingSocketException::BlockingSocketException(std::string operation)
    : BlockingSocketException(std::move(operation), LastSocketError()) {}

BlockingSocketException::BlockingSocketException(std::string operation, int errorCode)
    : m_errorCode(errorCode), m_operation(std::move(operation)) {
    char text[200];
    if (m_errorCode == 0) {
        std::snprintf(text, sizeof text, "%s error", m_operation.c_str());
    } else {
        std::snprintf(text, sizeof text, "%s error #%d", m_operation.c_str(), m_errorCode);
    }
    m_message = text;
}

bool BlockingSocketException::GetErrorMessage(char* buffer, unsigned capacity, unsigned* helpContext) const {
    (void)helpContext;
    if (buffer == nullptr || capacity == 0) {
        return false;  // no room even for the terminator
    }
    const size_t length = (std::min)(m_message.size(), static_cast<size_t>(capacity) - 1);
    std::memcpy(buffer, m_message.data(), length);
    buffer[length] = '\0';
    return true;
}

std::string BlockingSocketException::GetErrorMessage() const { return m_message; }

// ---------------------------------------------------------------------------------------------------
// SocketAddress

SocketAddress::SocketAddress() : sockaddr_in{} {
    sin_family = AF_INET;
    sin_port = 0;
    sin_addr.s_addr = htonl(INADDR_ANY);
}

SocketAddress::SocketAddress(const char* dottedQuad, unsigned short port) : sockaddr_in{} {
    sin_family = AF_INET;
    sin_port = htons(port);
    sin_addr.s_addr = inet_addr(dottedQuad);
}

SocketAddress::SocketAddress(const sockaddr_in& address) : sockaddr_in(address) {}

unsigned short SocketAddress::Port() const { return ntohs(sin_port); }

std::string SocketAddress::DottedQuad() const {
    unsigned char bytes[4];
    std::memcpy(bytes, &sin_addr, sizeof bytes);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

// ---------------------------------------------------------------------------------------------------
// BlockingSocket

void BlockingSocket::RequireSocket(const char* operation) const {
    // A closed or never-opened socket never reaches a system call.
    if (!HasSocket()) throw BlockingSocketException(operation, kNoSocketError);
}

void BlockingSocket::Create(int type, int family) {
    assert(!HasSocket());
    // The datagram operations need a UDP socket; a fixed TCP protocol would refuse SOCK_DGRAM.
    const int protocol = type == SOCK_STREAM ? IPPROTO_TCP : type == SOCK_DGRAM ? IPPROTO_UDP : 0;
#ifdef _WIN32
    InitSockets();  // Winsock refuses every call until it is started
    m_socket = socket(family, type, protocol);
    if (m_socket == INVALID_SOCKET) {
        throw BlockingSocketException("Create", WSAGetLastError());
    }
    KeepFromChildren(m_socket);
#else
#ifdef SOCK_CLOEXEC
    m_socket = socket(family, type | SOCK_CLOEXEC, protocol);
#else
    m_socket = socket(family, type, protocol);
#endif
    if (m_socket == INVALID_SOCKET) {
        throw BlockingSocketException("Create", errno);
    }
    m_socket = AdoptDescriptor(m_socket);
    if (m_socket == INVALID_SOCKET) {
        throw BlockingSocketException("Create", errno);
    }
#endif
}

void BlockingSocket::Connect(const SocketAddress& address) {
    RequireSocket("Connect");
    if (connect(m_socket, address, kAddressLength) == 0) {
        return;
    }
    int code = LastSocketError();
#ifndef _WIN32
    if (code == EINTR) {
        code = FinishInterruptedConnect(m_socket);
        if (code == 0) {
            return;
        }
    }
#endif
    throw BlockingSocketException("Connect", code);
}

void BlockingSocket::Connect(const SocketAddress& address, int seconds, std::stop_token cancel) {
    Connect(address, kAddressLength, seconds, std::move(cancel));
}

void BlockingSocket::Connect(const sockaddr* address, int length, int seconds, std::stop_token cancel) {
    RequireSocket("Connect");
    using Clock = std::chrono::steady_clock;
    const bool forever = seconds < 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(forever ? 0 : seconds);
    // Cancelling is checked between short waits, so a user who gives up is answered at once.
    constexpr Milliseconds kCancelSlice(50);
#ifdef _WIN32
    u_long nonBlocking = 1;
    ioctlsocket(m_socket, FIONBIO, &nonBlocking);
    int code = 0;
    if (connect(m_socket, address, static_cast<AddressLength>(length)) == SOCKET_ERROR) {
        code = WSAGetLastError();
        if (code == WSAEWOULDBLOCK) code = WSAEINPROGRESS;
    }
    const int inProgress = WSAEINPROGRESS;
    const int timedOut = WSAETIMEDOUT;
    const int cancelled = WSAECONNABORTED;
#else
    const int flags = fcntl(m_socket, F_GETFL);
    fcntl(m_socket, F_SETFL, flags | O_NONBLOCK);
    int code = 0;
    if (connect(m_socket, address, static_cast<AddressLength>(length)) == -1) {
        code = errno == EINTR ? EINPROGRESS : errno;  // an interrupted connect goes on in the kernel
    }
    const int inProgress = EINPROGRESS;
    const int timedOut = ETIMEDOUT;
    const int cancelled = ECANCELED;
#endif
    while (code == inProgress) {
        if (cancel.stop_requested()) {
            code = cancelled;
            break;
        }
        Milliseconds wait = kCancelSlice;
        if (!forever) {
            const auto left = std::chrono::ceil<Milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                code = timedOut;
                break;
            }
            wait = (std::min)(wait, left);
        }
        if (!WaitReady(m_socket, Readiness::kWritable, wait)) continue;
        int error = 0;
        AddressLength length = sizeof error;
        if (getsockopt(m_socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
            error = LastSocketError();
        }
        code = error;
    }
    // Back to blocking: every transfer waits for readiness itself.
#ifdef _WIN32
    u_long blocking = 0;
    ioctlsocket(m_socket, FIONBIO, &blocking);
#else
    fcntl(m_socket, F_SETFL, flags);
#endif
    if (code != 0) {
        throw BlockingSocketException("Connect", code);
    }
}

void BlockingSocket::SendAtOnce() {
    const int on = 1;
    setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

void BlockingSocket::Bind(const SocketAddress& address) {
    RequireSocket("Bind");
    if (bind(m_socket, address, kAddressLength) == SOCKET_ERROR) {
        throw BlockingSocketException("Bind", LastSocketError());
    }
}

void BlockingSocket::Listen() {
    RequireSocket("Listen");
    if (listen(m_socket, 5) == SOCKET_ERROR) {
        throw BlockingSocketException("Listen", LastSocketError());
    }
}

bool BlockingSocket::Accept(BlockingSocket& target, SocketAddress* address) {
    RequireSocket("Accept");
    assert(!target.HasSocket());
    AddressLength length = kAddressLength;
    sockaddr* peer = address != nullptr ? static_cast<sockaddr*>(*address) : nullptr;
    AddressLength* lengthArgument = address != nullptr ? &length : nullptr;
#ifdef _WIN32
    target.m_socket = accept(m_socket, peer, lengthArgument);
    if (target.m_socket == INVALID_SOCKET) {
        const int code = WSAGetLastError();
        // ShutdownListener closed the handle under us: the blocked accept ends with
        // WSA_OPERATION_ABORTED (995) or WSAEINTR, a later one with WSAENOTSOCK.
        if (code == WSA_OPERATION_ABORTED || code == WSAEINTR || code == WSAENOTSOCK) {
            return false;
        }
        throw BlockingSocketException("Accept", code);
    }
    KeepFromChildren(target.m_socket);
    return true;
#else
#ifdef __linux__
    const SOCKET accepted = accept4(m_socket, peer, lengthArgument, SOCK_CLOEXEC);
#else
    const SOCKET accepted = accept(m_socket, peer, lengthArgument);
#endif
    target.m_socket = accepted;
    if (accepted == INVALID_SOCKET) {
        const int code = errno;
        // EINTR: a signal cancelled the wait. EINVAL: ShutdownListener stopped the listening socket.
        if (code == EINTR || code == EINVAL) {
            return false;
        }
        throw BlockingSocketException("Accept", code);
    }
    target.m_socket = AdoptDescriptor(accepted);
    if (target.m_socket == INVALID_SOCKET) {
        throw BlockingSocketException("Accept", errno);
    }
    return true;
#endif
}

void BlockingSocket::ShutdownListener() {
    if (!HasSocket()) return;
#ifdef _WIN32
    m_closedByShutdown = closesocket(m_socket) == 0;
#else
    // On Linux this wakes a thread blocked in accept, which then fails with EINVAL.
    shutdown(m_socket, SHUT_RDWR);
#endif
}

void BlockingSocket::Close() {
    if (!HasSocket()) {
        return;
    }
#ifdef _WIN32
    if (m_closedByShutdown) {
        m_closedByShutdown = false;
    } else if (closesocket(m_socket) == SOCKET_ERROR) {
        throw BlockingSocketException("Close", WSAGetLastError());
    }
#else
    // After EINTR the descriptor is already released on Linux; closing again could hit a reused one.
    if (close(m_socket) == -1 && errno != EINTR) {
        throw BlockingSocketException("Close", errno);
    }
#endif
    m_socket = kNoSocket;
}

void BlockingSocket::CloseQuietly() {
    if (!HasSocket()) {
        return;
    }
#ifdef _WIN32
    if (m_closedByShutdown) {
        return;
    }
    const int result = closesocket(m_socket);
    assert(result == 0);
#else
    const int result = close(m_socket);
    assert(result == 0 || errno == EINTR);
#endif
    (void)result;
}

int BlockingSocket::Send(const char* data, int size, int seconds) {
    RequireSocket("Send");
    if (!WaitReady(m_socket, Readiness::kWritable, FromSeconds(seconds))) {
        throw BlockingSocketException("Send timeout");
    }
    const int sent = SendSome(m_socket, data, size);
    if (sent == SOCKET_ERROR) {
        throw BlockingSocketException("Send", LastSocketError());
    }
    return sent;
}

int BlockingSocket::SendAll(const char* data, int size, int seconds) {
    int sent = 0;
    do {
        sent += Send(data + sent, size - sent, seconds);
    } while (sent < size);
    return sent;
}

int BlockingSocket::Receive(char* buffer, int size, int seconds) {
    return ReceiveWithin(buffer, size, FromSeconds(seconds));
}

int BlockingSocket::ReceiveWithin(char* buffer, int size, std::chrono::milliseconds wait) {
    RequireSocket("Receive");
    if (!WaitReady(m_socket, Readiness::kReadable, wait)) {
        return -1;
    }
    const int received = ReceiveSome(m_socket, buffer, size);
    if (received == SOCKET_ERROR) {
        throw BlockingSocketException("Receive", LastSocketError());
    }
    return received;
}

int BlockingSocket::ReceiveDatagram(char* buffer, int size, SocketAddress* from, int seconds) {
    RequireSocket("ReceiveDatagram");
    if (!WaitReady(m_socket, Readiness::kReadable, FromSeconds(seconds))) {
        throw BlockingSocketException("Receive timeout");
    }
    sockaddr* sender = from != nullptr ? static_cast<sockaddr*>(*from) : nullptr;
    const int received = ReceiveSomeFrom(m_socket, buffer, size, sender);
    if (received == SOCKET_ERROR) {
        throw BlockingSocketException("ReceiveDatagram", LastSocketError());
    }
    return received;
}

int BlockingSocket::SendDatagram(const char* data, int size, const SocketAddress& to, int seconds) {
    RequireSocket("SendDatagram");
    if (!WaitReady(m_socket, Readiness::kWritable, FromSeconds(seconds))) {
        throw BlockingSocketException("Send timeout");
    }
    const int sent = SendSomeTo(m_socket, data, size, to);
    if (sent == SOCKET_ERROR) {
        throw BlockingSocketException("SendDatagram", LastSocketError());
    }
    return sent;
}

void BlockingSocket::GetPeerName(SocketAddress* address) const {
    RequireSocket("GetPeerName");
    AddressLength length = kAddressLength;
    if (getpeername(m_socket, *address, &length) == SOCKET_ERROR) {
        throw BlockingSocketException("GetPeerName", LastSocketError());
    }
}

void BlockingSocket::GetSockName(SocketAddress* address) const {
    RequireSocket("GetSockName");
    AddressLength length = kAddressLength;
    if (getsockname(m_socket, *address, &length) == SOCKET_ERROR) {
        throw BlockingSocketException("GetSockName", LastSocketError());
    }
}

SocketAddress BlockingSocket::GetHostByName(const char* hostName, unsigned short port) {
    InitSockets();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int result = getaddrinfo(hostName != nullptr ? hostName : "", nullptr, &hints, &found);
    if (result != 0 || found == nullptr) {
        throw BlockingSocketException("GetHostByName", ResolverError(result));
    }
    SocketAddress address;
    sockaddr_in first;
    std::memcpy(&first, found->ai_addr, sizeof first);
    freeaddrinfo(found);
    address.sin_addr = first.sin_addr;
    address.sin_port = htons(port);
    return address;
}

std::string BlockingSocket::GetHostByAddr(const SocketAddress& address) {
    InitSockets();
    char host[NI_MAXHOST];
    // NI_NAMEREQD: an address without a name is a failure, not its own text.
    const int result = getnameinfo(address, kAddressLength, host, sizeof host, nullptr, 0, NI_NAMEREQD);
    if (result != 0) {
        throw BlockingSocketException("GetHostByAddr", ResolverError(result));
    }
    return host;
}
