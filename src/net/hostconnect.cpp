#include "net/hostconnect.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <netdb.h>
#endif

namespace ostravel {

namespace {

using SteadyClock = std::chrono::steady_clock;

#ifdef _WIN32
constexpr int kTimedOut = WSAETIMEDOUT;
constexpr int kCancelled = WSAECONNABORTED;
#else
constexpr int kTimedOut = ETIMEDOUT;
constexpr int kCancelled = ECANCELED;
#endif

struct Resolved {
    sockaddr_storage address{};
    int length = 0;
    int family = 0;
};

// One look-up, shared by the thread that runs it and the caller that may stop waiting for it.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int error = 0;
    std::vector<Resolved> addresses;
};

void Resolve(const HostAddress& host, Lookup& lookup) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    if (host.kind != HostAddress::Kind::Name) hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(host.port);
    const int error = getaddrinfo(host.host.c_str(), port.c_str(), &hints, &found);
    std::vector<Resolved> addresses;
    for (const addrinfo* entry = found; error == 0 && entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_addrlen > sizeof(sockaddr_storage)) continue;
        Resolved one;
        std::memcpy(&one.address, entry->ai_addr, entry->ai_addrlen);
        one.length = static_cast<int>(entry->ai_addrlen);
        one.family = entry->ai_family;
        addresses.push_back(one);
    }
    if (found != nullptr) freeaddrinfo(found);
    std::lock_guard lock(lookup.mutex);
    lookup.error = error != 0 ? error : addresses.empty() ? EAI_NONAME : 0;
    lookup.addresses = std::move(addresses);
    lookup.finished = true;
    lookup.done.notify_all();
}

// The host's addresses, looked up on a thread of its own; a look-up that outlives the time-out or
// the cancel is left to finish by itself and its result dropped.
std::vector<Resolved> Addresses(const HostAddress& host, bool forever, SteadyClock::time_point deadline,
                                const std::stop_token& cancel) {
    auto lookup = std::make_shared<Lookup>();
    if (host.kind != HostAddress::Kind::Name) {
        Resolve(host, *lookup);  // a literal needs no resolver, and cannot hang
    } else {
        std::thread([host, lookup] { Resolve(host, *lookup); }).detach();
    }
    constexpr std::chrono::milliseconds kCancelSlice(50);
    std::unique_lock lock(lookup->mutex);
    while (!lookup->finished) {
        if (cancel.stop_requested()) throw BlockingSocketException("Connect", kCancelled);
        if (!forever && SteadyClock::now() >= deadline) throw BlockingSocketException("Connect", kTimedOut);
        auto until = SteadyClock::now() + kCancelSlice;
        if (!forever) until = (std::min)(until, deadline);
        lookup->done.wait_until(lock, until);
    }
    if (lookup->error != 0) throw BlockingSocketException("Resolve", lookup->error);
    return lookup->addresses;
}

}  // namespace

BlockingSocket ConnectToHost(const HostAddress& host, int seconds, std::stop_token cancel) {
    const bool forever = seconds < 0;
    const auto deadline = SteadyClock::now() + std::chrono::seconds(forever ? 0 : seconds);
    const std::vector<Resolved> addresses = Addresses(host, forever, deadline, cancel);
    std::unique_ptr<BlockingSocketException> last;
    for (const Resolved& address : addresses) {
        int left = -1;
        if (!forever) {
            const auto remaining = std::chrono::ceil<std::chrono::seconds>(deadline - SteadyClock::now());
            if (remaining.count() <= 0) break;
            left = static_cast<int>(remaining.count());
        }
        BlockingSocket socket;
        try {
            socket.Create(SOCK_STREAM, address.family);
            socket.Connect(reinterpret_cast<const sockaddr*>(&address.address), address.length, left, cancel);
            return socket;
        } catch (const BlockingSocketException& error) {
            socket.CloseQuietly();
            last = std::make_unique<BlockingSocketException>(error);
            if (cancel.stop_requested()) break;
        }
    }
    if (cancel.stop_requested()) throw BlockingSocketException("Connect", kCancelled);
    if (last) throw *last;
    throw BlockingSocketException("Connect", kTimedOut);
}

}  // namespace ostravel
