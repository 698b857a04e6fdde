// Test-side peers of the host stand-in: a service client on plain POSIX sockets, a one-shot HTTP GET,
// the client's reply routing table, and a scratch data directory.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hostsim::test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline int connectTo(std::uint16_t port, const std::string& host = "127.0.0.1") {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return -1;
    }
    int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, found->ai_addr, found->ai_addrlen) != 0) {
        ::close(fd);
        fd = -1;
    }
    ::freeaddrinfo(found);
    return fd;
}

// Speaks the client's side of the service protocol and, like the client, takes every received chunk
// as one reply.
class ServiceClient {
public:
    explicit ServiceClient(std::uint16_t port, const std::string& host = "127.0.0.1")
        : fd_(connectTo(port, host)) {}
    ~ServiceClient() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    ServiceClient(const ServiceClient&) = delete;
    ServiceClient& operator=(const ServiceClient&) = delete;

    bool connected() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool sendRaw(std::string_view bytes) {
        return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    // The text, a NUL and zero fill; a text of `size` bytes or more is cut and carries no NUL.
    bool sendBlock(std::string_view text, std::size_t size = 256) {
        std::string block(text.substr(0, size));
        block.resize(size, '\0');
        return sendRaw(block);
    }
    void setCredentials(std::string user, std::string password) {
        user_ = std::move(user);
        password_ = std::move(password);
    }
    // word + login part + action suffix, as the client composes a command.
    bool command(std::string_view word, std::string_view action = "") {
        std::string text = std::string(word) + "?loginsc=" + user_ + "&passwordsc=" + password_;
        if (!action.empty()) {
            text += "&action=" + std::string(action);
        }
        return sendBlock(text);
    }
    // A settings request: blanks become "+", 1000-byte block.
    bool settings(std::string_view word, std::string_view items) {
        std::string text = std::string(word) + "?loginsc=" + user_ + "&passwordsc=" + password_ +
                           "&config=" + std::string(items);
        for (auto& ch : text) {
            if (ch == ' ') {
                ch = '+';
            }
        }
        return sendBlock(text, 1000);
    }

    // One receive: a chunk, "" when the server closed, nullopt when nothing came in time.
    std::optional<std::string> chunk(std::chrono::milliseconds timeout = 5000ms) {
        pollfd pfd{fd_, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(timeout.count())) <= 0) {
            return std::nullopt;
        }
        std::string data(65536, '\0');
        const ssize_t n = ::recv(fd_, data.data(), data.size(), 0);
        if (n < 0) {
            lastError_ = errno;
            return std::string();
        }
        data.resize(static_cast<std::size_t>(n));
        return data;
    }
    // Chunks until one contains `keyword`; the chunks skipped on the way (keep-alives) are dropped.
    std::string reply(std::string_view keyword, std::chrono::milliseconds timeout = 5000ms) {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            auto got = chunk(left);
            if (!got || got->empty()) {
                return {};
            }
            if (got->find(keyword) != std::string::npos) {
                return *got;
            }
        }
        return {};
    }
    bool login(const std::string& user, const std::string& password) {
        setCredentials(user, password);
        return sendBlock(user) && sendBlock("Username," + user + "," + password);
    }
    // True once the server has closed the connection (a receive of 0 bytes or a reset).
    bool waitClosed(std::chrono::milliseconds timeout = 5000ms) {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            auto got = chunk(left);
            if (got && got->empty()) {
                return true;
            }
            if (!got) {
                return false;
            }
        }
        return false;
    }
    int lastError() const { return lastError_; }

private:
    int fd_;
    std::string user_;
    std::string password_;
    int lastError_ = 0;
};

// Where the client sends a reply: the first row whose keyword occurs decides; its error keywords send
// the reply to the message list instead.
struct Route {
    int row = 0;               // 1 to 12, 0: dropped
    bool messageList = false;  // shown whole in the message list

    bool operator==(const Route&) const = default;
};

inline Route routeOf(std::string_view reply) {
    struct Row {
        std::string_view keyword;
        std::vector<std::string_view> errors;
        bool listRow;
    };
    static const std::vector<Row> rows = {
        {"Shoutcast server getconfig", {"Cannot retreive", "Invalid Shoutcast server", "Error - "}, false},
        {"Shoutcast server content", {"Cannot retreive", "Invalid Shoutcast server", "Error - "}, false},
        {"Shoutcast server", {}, true},
        {"Shoutcast dj getconfig", {"Cannot retreive", "Invalid Shoutcast dj getconfig", "Error - "}, false},
        {"Shoutcast AutoDJ Logs",
         {"Cannot retreive", "Invalid Shoutcast AutoDJ Logs", "Error - ", "Disabled for demo user"},
         false},
        {"Shoutcast AutoTV Logs",
         {"Cannot retreive", "Invalid Shoutcast AutoTV Logs", "Error - ", "Disabled for demo user"},
         false},
        {"Shoutcast Account Summary",
         {"Cannot retreive", "Invalid Shoutcast Account Summary", "Error - "},
         false},
        {"Shoutcast AutoDJ", {}, true},
        {"Shoutcast tv getconfig", {"Cannot retreive", "Invalid Shoutcast", "Error - "}, false},
        {"Shoutcast AutoTV", {}, true},
        {"Server Status:",
         {"Error -", "Account currently suspended", "Can not retreive status", "Invalid login"},
         false},
        {"Failed login.", {}, true},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (reply.find(rows[i].keyword) == std::string_view::npos) {
            continue;
        }
        bool error = rows[i].listRow;
        for (const auto e : rows[i].errors) {
            error = error || reply.find(e) != std::string_view::npos;
        }
        return Route{static_cast<int>(i + 1), error};
    }
    return Route{};
}

// "name=value" items of a "|"-separated settings reply (first match per name, like a lookup).
inline std::optional<std::string> item(std::string_view reply, std::string_view name) {
    std::size_t at = 0;
    while (at <= reply.size()) {
        const auto bar = reply.find('|', at);
        const auto piece =
            reply.substr(at, bar == std::string_view::npos ? std::string_view::npos : bar - at);
        const auto eq = piece.find('=');
        if (eq != std::string_view::npos && piece.substr(0, eq) == name) {
            return std::string(piece.substr(eq + 1));
        }
        if (bar == std::string_view::npos) {
            break;
        }
        at = bar + 1;
    }
    return std::nullopt;
}

struct HttpResult {
    int status = 0;
    std::string headers;
    std::string body;
};

inline HttpResult httpGet(std::uint16_t port, std::string_view target, std::string_view method = "GET",
                          const std::string& host = "127.0.0.1") {
    HttpResult result;
    const int fd = connectTo(port, host);
    if (fd < 0) {
        return result;
    }
    const std::string request =
        std::string(method) + " " + std::string(target) + " HTTP/1.0\r\nHost: x\r\n\r\n";
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string all;
    char buffer[4096];
    while (true) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 5000) <= 0) {
            break;
        }
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        all.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    const auto split = all.find("\r\n\r\n");
    if (all.size() < 12 || split == std::string::npos) {
        return result;
    }
    result.status = std::stoi(all.substr(9, 3));
    result.headers = all.substr(0, split);
    result.body = all.substr(split + 4);
    return result;
}

// A fresh directory under the system's temporary folder, removed with its contents at the end.
class ScratchDir {
public:
    ScratchDir() {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() /
                ("hostsim-test-" + std::to_string(::getpid()) + "-" + std::to_string(seed()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace hostsim::test
