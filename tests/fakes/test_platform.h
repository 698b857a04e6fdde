// What the tests need from the system beyond the socket class, on POSIX and on Windows alike: raw
// socket calls for the fakes, the error numbers each platform reports, temporary folders, the
// process's open handles and the environment.
#pragma once

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "net/blockingsocket.h"

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <cerrno>

#include <dirent.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace ostravel::testing {

// The error numbers the socket class reports, by meaning.
struct SocketErrors {
#ifdef _WIN32
    static constexpr int kNoSocket = WSAENOTSOCK;
    static constexpr int kInvalid = WSAEINVAL;
    static constexpr int kRefused = WSAECONNREFUSED;
    static constexpr int kReset = WSAECONNRESET;
    static constexpr int kAddressInUse = WSAEADDRINUSE;
    static constexpr int kNotConnected = WSAENOTCONN;
    static constexpr int kNotSupported = WSAEOPNOTSUPP;
    static constexpr int kTimedOut = WSAETIMEDOUT;
    static constexpr int kCancelled = WSAECONNABORTED;
    static constexpr int kWouldBlock = WSAEWOULDBLOCK;
#else
    static constexpr int kNoSocket = EBADF;
    static constexpr int kInvalid = EINVAL;
    static constexpr int kRefused = ECONNREFUSED;
    static constexpr int kReset = ECONNRESET;
    static constexpr int kAddressInUse = EADDRINUSE;
    static constexpr int kNotConnected = ENOTCONN;
    static constexpr int kNotSupported = EOPNOTSUPP;
    static constexpr int kTimedOut = ETIMEDOUT;
    static constexpr int kCancelled = ECANCELED;
    static constexpr int kWouldBlock = EAGAIN;
#endif
};

// Sets the thread's last socket error, as a failed call would.
inline void SetLastSocketError(int code) {
#ifdef _WIN32
    WSASetLastError(code);
#else
    errno = code;
#endif
}

// A raw stream socket, for fakes that must not depend on the class under test.
inline SOCKET RawStreamSocket() {
    InitSockets();
    return ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
}

inline void CloseRawSocket(SOCKET socket) {
#ifdef _WIN32
    ::closesocket(socket);
#else
    ::close(socket);
#endif
}

// Shuts the reading side (SHUT_RD), or both.
inline void ShutdownRawSocket(SOCKET socket, bool readOnly) {
#ifdef _WIN32
    ::shutdown(socket, readOnly ? SD_RECEIVE : SD_BOTH);
#else
    ::shutdown(socket, readOnly ? SHUT_RD : SHUT_RDWR);
#endif
}

// Shuts the sending side only (SHUT_WR): the peer reads the end, this side can still read.
inline bool ShutdownSending(SOCKET socket) {
#ifdef _WIN32
    return ::shutdown(socket, SD_SEND) == 0;
#else
    return ::shutdown(socket, SHUT_WR) == 0;
#endif
}

// A zero linger time: the final close resets the connection.
inline bool SetAbortiveClose(SOCKET socket) {
    linger hard{1, 0};
    return ::setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard) ==
           0;
}

inline bool SetIntOption(SOCKET socket, int level, int name, int value) {
    return ::setsockopt(socket, level, name, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

// Bytes received and not read yet.
inline int PendingBytes(SOCKET socket) {
#ifdef _WIN32
    u_long pending = 0;
    ::ioctlsocket(socket, FIONREAD, &pending);
    return static_cast<int>(pending);
#else
    int pending = 0;
    ::ioctl(socket, FIONREAD, &pending);
    return pending;
#endif
}

// Descriptors (handles on Windows) the process holds open: a leak makes the count grow.
inline int OpenDescriptors() {
#ifdef _WIN32
    DWORD count = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &count);
    return static_cast<int>(count);
#else
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir) != nullptr) ++count;
        ::closedir(dir);
    }
    return count;
#endif
}

inline int ProcessId() {
#ifdef _WIN32
    return ::_getpid();
#else
    return static_cast<int>(::getpid());
#endif
}

// A fresh, empty folder under the system's temporary folder; the caller removes it.
inline std::filesystem::path MakeTempDir(const std::string& prefix) {
    static std::atomic<int> serial{0};
    for (;;) {
        const std::filesystem::path candidate =
            std::filesystem::temp_directory_path() /
            (prefix + "-" + std::to_string(ProcessId()) + "-" + std::to_string(++serial));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) return candidate;
        if (error) throw std::filesystem::filesystem_error("temporary folder", candidate, error);
    }
}

inline void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
    ::_putenv_s(name, value.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

}  // namespace ostravel::testing

namespace ostravel::testing {

// Waits up to `milliseconds` for data (or the end) on a socket: > 0 ready, 0 not yet, < 0 failed.
inline int WaitReadable(SOCKET socket, int milliseconds) {
#ifdef _WIN32
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval timeout{milliseconds / 1000, milliseconds % 1000 * 1000};
    return ::select(0, &set, nullptr, nullptr, &timeout);
#else
    pollfd entry{socket, POLLIN, 0};
    return ::poll(&entry, 1, milliseconds);
#endif
}

// True when the program runs under Wine, which differs from Windows in a few socket details.
inline bool RunningUnderWine() {
#ifdef _WIN32
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

inline constexpr char kWineReadsResetAsClose[] =
    "Wine only: a reset connection reads as closed (recv 0) where Windows reports 10054 (WSAECONNRESET)";

// True when the last socket call was cut short by a signal (never on Windows).
inline bool InterruptedBySignal() {
#ifdef _WIN32
    return false;
#else
    return errno == EINTR;
#endif
}

}  // namespace ostravel::testing
