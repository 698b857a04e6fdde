// Small POSIX socket helpers for the host stand-in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace hostsim {

struct Endpoint {
    std::string host;  // numeric: dotted IPv4, or IPv6 without brackets
    std::uint16_t port = 0;
};

// An address to listen on as a command line gives it: "ADDR", "ADDR:PORT", "[ADDR]" or "[ADDR]:PORT",
// ADDR a numeric IPv4 or IPv6 address; IPv6 takes the brackets when a port follows, as "::1:8000" is
// an address of its own. Without a port `at` keeps its port; 0 asks for an ephemeral one. False, and
// `at` unchanged, for anything else.
bool parseListenAddress(std::string_view text, Endpoint& at);
// "ADDR:PORT", an IPv6 address in brackets.
std::string formatEndpoint(const Endpoint& at);

// Owns one descriptor; closes it once.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// Listening TCP socket bound to the endpoint; invalid Fd and a reason on failure.
Fd listenOn(const Endpoint& at, std::string& error);
// The address a socket is bound to; an empty host when it cannot be read.
Endpoint localEndpoint(int fd);
std::string peerName(int fd);

// Writes every byte (no SIGPIPE, EINTR retried); false on error or send time-out.
bool sendAll(int fd, const char* data, std::size_t size);
void setSendTimeout(int fd, int seconds);
void setReceiveTimeout(int fd, int seconds);

// A pipe whose read end becomes readable, for good, once notify() is called: every poll loop of the
// program watches it to learn about shutdown.
class StopSignal {
public:
    StopSignal();
    void notify();
    int readFd() const { return read_.get(); }

private:
    Fd read_;
    Fd write_;
};

// A pipe that wakes one poll loop each time notify() is called; the loop calls drain() when it wakes.
class WakeSignal {
public:
    WakeSignal();
    void notify();
    void drain();
    int readFd() const { return read_.get(); }

private:
    Fd read_;
    Fd write_;
};

// Makes `listener` answer no new connection, not even with a SYN-ACK: its accept queue is cut to
// one place and filled with a connection of our own that nobody accepts, so Linux drops every
// further SYN. Returns that connection; resetting it (after restoreListener) ends the deafness.
Fd deafenListener(int listener);
void restoreListener(int listener);

}  // namespace hostsim
