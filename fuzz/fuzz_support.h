// Shared by the fuzz harnesses: property checks that abort (so libFuzzer keeps the input), a
// loopback listener, and readers of what the client puts on the wire.
#pragma once

#include <fcntl.h>
#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "config/autodjconfig.h"
#include "config/autotvconfig.h"
#include "config/serverconfig.h"
#include "config/settingsgrammar.h"
#include "net/blockingsocket.h"

namespace ostravel::fuzz {

[[noreturn]] inline void Fail(const char* what, std::string_view detail, const char* file, int line) {
    std::fprintf(stderr, "\nproperty failed at %s:%d: %s\n", file, line, what);
    if (!detail.empty()) std::fprintf(stderr, "  %.*s\n", static_cast<int>(detail.size()), detail.data());
    std::abort();
}
#define FUZZ_CHECK(cond) ((cond) ? (void)0 : ::ostravel::fuzz::Fail(#cond, {}, __FILE__, __LINE__))
#define FUZZ_CHECK_MSG(cond, detail) ((cond) ? (void)0 : ::ostravel::fuzz::Fail(#cond, (detail), __FILE__, __LINE__))

inline std::string AsString(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

inline bool Contains(std::string_view text, std::string_view key) { return text.find(key) != std::string_view::npos; }

inline std::size_t CountOf(const std::vector<std::string>& lines, std::string_view line) {
    std::size_t n = 0;
    for (const std::string& l : lines) n += l == line;
    return n;
}

// A listening socket on 127.0.0.1 with an ephemeral port, made once per process.
class Listener {
public:
    Listener() {
        socket_.Create(SOCK_STREAM);
        socket_.Bind(SocketAddress("127.0.0.1", 0));
        socket_.Listen();
        socket_.GetSockName(&address_);
    }
    const SocketAddress& Address() const { return address_; }
    // The server end of the next connection.
    int Accept() {
        BlockingSocket peer;
        FUZZ_CHECK(socket_.Accept(peer, nullptr));
        return peer.m_socket;
    }

private:
    BlockingSocket socket_;
    SocketAddress address_;
};

// Sends every byte unless the peer is gone (then the rest is dropped, as a host's would be).
inline void SendBytes(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

// Appends what can be read from fd, waiting up to waitMs for the first bytes (0: only what is there
// now); false once the peer has closed or reset.
inline bool ReadAvailable(int fd, std::string& out, int waitMs = 0) {
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, waitMs) <= 0) return true;
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return false;
        if (n > 0) out.append(buffer, static_cast<std::size_t>(n));
        waitMs = 0;
    }
}

// Bytes waiting unread on fd; -1 when fd is no longer open.
inline int Unread(int fd) {
    int n = 0;
    return ::ioctl(fd, FIONREAD, &n) == 0 ? n : -1;
}

// Bytes sent on fd that the peer's end has not taken in yet; -1 when fd is no longer open.
inline int Unsent(int fd) {
    int n = 0;
    return ::ioctl(fd, SIOCOUTQ, &n) == 0 ? n : -1;
}

// A request as the client frames it: its text, a NUL and zero fill to the block's size.
struct WireBlock {
    std::size_t size;
    std::string text;
};

inline constexpr char kLogOffText[] = "/disconnected";

// Cuts the client's byte stream into blocks: the log-off notice travels in 14 bytes, settings set
// requests in 1000, every other request in 256. Anything else on the wire fails the run.
inline std::vector<WireBlock> SplitWire(std::string_view wire) {
    std::vector<WireBlock> blocks;
    while (!wire.empty()) {
        const std::size_t nul = wire.find('\0');
        FUZZ_CHECK_MSG(nul != std::string_view::npos, "a request without its NUL");
        const std::string text(wire.substr(0, nul));
        const std::size_t size = text == kLogOffText ? 14 : Contains(text, "_setconfig,") ? 1000 : 256;
        FUZZ_CHECK_MSG(wire.size() >= size, "a block cut short: " + text);
        FUZZ_CHECK_MSG(wire.substr(nul, size - nul).find_first_not_of('\0') == std::string_view::npos,
                       "a block not zero filled: " + text);
        blocks.push_back({size, text});
        wire.remove_prefix(size);
    }
    return blocks;
}

using Items = std::vector<std::pair<std::string, std::string>>;

// The "name=value" items after head of a set request (blanks already "+"); checks the head, that
// no blank travels and that every item is closed by its "|".
inline Items SetRequestItems(std::string_view request, std::string_view head) {
    FUZZ_CHECK_MSG(request.substr(0, head.size()) == head, std::string(request.substr(0, 200)));
    FUZZ_CHECK_MSG(request.find(' ') == std::string_view::npos, std::string(request.substr(0, 200)));
    std::string_view config = request.substr(head.size());
    FUZZ_CHECK(config.empty() || config.back() == '|');
    Items items;
    if (!config.empty()) config.remove_suffix(1);
    if (config.empty()) return items;
    for (std::string_view item : SplitAll(config, '|')) {
        const std::size_t eq = item.find('=');
        FUZZ_CHECK_MSG(eq != std::string_view::npos, "an item without '=': " + std::string(item));
        items.emplace_back(item.substr(0, eq), item.substr(eq + 1));
    }
    return items;
}

// Item names of each set request in order; "?" marks a switch that travels only when it is on.
inline const std::vector<std::string_view>& ServerItemNames() {
    static const std::vector<std::string_view> names = {
        "AdminPassword", "ConnectPassword", "MaxUser", "ShowLastSongs", "AutoDumpUsers", "AutoDumpSourceTime",
        "PublicServer", "AllowRelay", "AllowPublicRelay", "?RelayPortEnabled", "RelayPort",
        "?RelayServerEnabled", "RelayServer", "?PlayIntroFileEnabled", "IntroSongFile", "CustomIntroFile",
        "?PlayBackupFileEnabled", "BackupSongFile", "CustomBackupFile", "?TitleFormatEnabled", "TitleFormat",
        "?URLFormatEnabled", "URLFormat", "?ListenerTimerEnabled", "ListenerTimer", "?RIPOnlyEnabled", "RIPOnly"};
    return names;
}
inline const std::vector<std::string_view>& AutoDJItemNames() {
    static const std::vector<std::string_view> names = {
        "Password", "PlaylistFile", "StreamTitle", "StreamURL", "Genre", "Shuffle", "Bitrate", "SampleRate",
        "Channels", "Quality", "CrossfadeMode", "CrossfadeLength", "Public", "AIM", "ICQ", "IRC"};
    return names;
}
inline const std::vector<std::string_view>& AutoTVItemNames() {
    static const std::vector<std::string_view> names = {
        "Password", "PlaylistFile", "AutoReconnect", "StreamTitle", "StreamURL", "Genre",
        "Bitrate", "SampleRate", "Public", "AIM", "ICQ", "IRC"};
    return names;
}

// Checks that the items are exactly the grammar's, in order: every fixed name once, a switch only as
// "=on". Returns the switches that travelled.
inline std::vector<std::string> CheckItemNames(const Items& items, const std::vector<std::string_view>& names) {
    std::vector<std::string> switches;
    std::size_t i = 0;
    for (std::string_view name : names) {
        if (name.front() == '?') {
            if (i < items.size() && items[i].first == name.substr(1)) {
                FUZZ_CHECK(items[i].second == "on");
                switches.push_back(items[i++].first);
            }
            continue;
        }
        FUZZ_CHECK_MSG(i < items.size() && items[i].first == name, "missing item " + std::string(name));
        ++i;
    }
    FUZZ_CHECK_MSG(i == items.size(), "extra item " + (i < items.size() ? items[i].first : std::string()));
    return switches;
}

// The set request's head as the builders write it for user/password.
inline std::string Head(std::string_view word, std::string_view user, std::string_view password) {
    return ReplaceBlanksWithPlus(SetRequestHead(word, user, password));
}

// Checks one set request found on the wire against its grammar.
inline void CheckSetRequestText(const std::string& text, std::string_view user, std::string_view password) {
    struct Kind {
        std::string_view word;
        const std::vector<std::string_view>& names;
    };
    const Kind kinds[] = {{"shoutcast_server_setconfig,", ServerItemNames()},
                          {"shoutcast_dj_setconfig,", AutoDJItemNames()},
                          {"shoutcast_tv_setconfig,", AutoTVItemNames()}};
    for (const Kind& kind : kinds) {
        if (text.rfind(kind.word, 0) == 0) {
            CheckItemNames(SetRequestItems(text, Head(kind.word, user, password)), kind.names);
            return;
        }
    }
    Fail("a set request of no known kind", text.substr(0, 200), __FILE__, __LINE__);
}

// A settings dialog opened over `model` has every control of its kind, each selection inside its
// items.
inline void CheckDialogModel(const std::string& kind, const DialogModel& model) {
    const DialogModel shape = kind == "server"   ? MakeServerConfigModel({})
                              : kind == "autodj" ? MakeAutoDJConfigModel({})
                                                 : MakeAutoTVConfigModel({});
    FUZZ_CHECK_MSG(kind == "server" || kind == "autodj" || kind == "autotv", kind);
    auto sameIds = [](const auto& a, const auto& b) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (a[i].id != b[i].id) return false;
        }
        return true;
    };
    FUZZ_CHECK(sameIds(model.edits, shape.edits) && sameIds(model.combos, shape.combos));
    FUZZ_CHECK(sameIds(model.lists, shape.lists) && model.radios.size() == shape.radios.size());
    for (const ComboModel& c : model.combos) FUZZ_CHECK(c.selection >= -1 && c.selection < static_cast<int>(c.items.size()));
    for (const ListModel& l : model.lists) FUZZ_CHECK(l.selection >= 0 && l.selection < static_cast<int>(l.items.size()));
}

}  // namespace ostravel::fuzz
