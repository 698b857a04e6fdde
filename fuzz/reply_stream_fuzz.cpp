// The host's side of a whole session, cut into pieces, through the real receiver on a loopback
// connection. Input: an optional first byte below 8 (bit 0: the user logs off at the end, bit 1:
// settings dialogs are saved, bit 2: no main window), then the bytes the host sends, "\x01" marking
// where one write ends and the next begins; each write is read on its own. Then the host closes.
// Properties: no crash or hang; the receiver ends and the session is reset once (logged off, status
// box empty, tray back to "Logged Off", connection closed); every settings dialog opened sees a
// complete model; the client sends nothing but whole 256/1000/14-byte blocks of known requests.
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "session/sessiondocument.h"
#include "fakes/recording_view.h"
#include "fuzz_support.h"
#include "session/receiver.h"
#include "protocol/requests.h"

using namespace ostravel;

namespace {

constexpr char kUser[] = "user", kPassword[] = "pw";
constexpr char kIdleMark[] = "Server Status: \"idle mark\"Status End";

// A fixed clock that tells who waits on it each time the receiver reads it: the receiver reads the
// clock right after every receive, which is when the harness may look again.
class WatchedClock : public Clock {
public:
    std::int64_t Now() const override {
        {
            std::lock_guard lock(mutex_);
            ++reads_;
        }
        read_.notify_all();
        return 1'700'000'000;
    }
    void WaitForRead(std::chrono::milliseconds limit) const {
        std::unique_lock lock(mutex_);
        const std::uint64_t seen = reads_;
        read_.wait_for(lock, limit, [&] { return reads_ != seen; });
    }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable read_;
    mutable std::uint64_t reads_ = 0;
};

// Sends one write of the host while taking in whatever the client sends meanwhile, so neither side
// can block the other.
void SendDraining(int server, std::string_view bytes, std::string& wire) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(server, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
        } else if (errno == EAGAIN || errno == EINTR) {
            fuzz::ReadAvailable(server, wire, 1);
        } else {
            return;  // the client has gone
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::Listener listener;
    std::string input = fuzz::AsString(data, size);
    unsigned flags = 0;
    if (!input.empty() && static_cast<unsigned char>(input[0]) < 8) {
        flags = static_cast<unsigned char>(input[0]);
        input.erase(0, 1);
    }
    const bool logOff = flags & 1, save = flags & 2, window = !(flags & 4);

    testing::RecordingView view;
    view.SetHasMainWindow(window);
    int saves = 0;  // a refused Save reopens the dialog; the user gives up after a few
    if (save) view.SetEditor([&](const std::string&, DialogModel&) { return saves++ < 3; });
    WatchedClock clock;
    SessionDocument doc;
    doc.SetView(&view);
    doc.SetCredentials(kUser, kPassword);
    doc.ConnectService(listener.Address());
    const int server = listener.Accept();
    const SOCKET client = doc.ServiceHandle();
    doc.SetDisconnected(false);
    doc.SetLoginId(1);

    std::string wire;
    {
        Receiver receiver(doc, clock);
        receiver.Start();
        for (std::string_view piece : SplitAll(input, '\x01')) {
            if (piece.empty()) continue;
            SendDraining(server, piece, wire);
            // The next write goes once this one has arrived and the receiver has read it (or has
            // ended), so that each is read on its own.
            while (receiver.IsRunning() && (fuzz::Unsent(server) > 0 || fuzz::Unread(client) > 0)) {
                fuzz::ReadAvailable(server, wire);
                clock.WaitForRead(std::chrono::milliseconds(1));
            }
        }
        if (logOff) {
            // A person logs off once the window shows what came before, never in the microseconds
            // between a reply's handling and its request (the settings Save, the status request
            // after a login): a status report of the host's marks that point.
            SendDraining(server, kIdleMark, wire);
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            auto marked = [](const std::string& status) { return fuzz::Contains(status, "idle mark"); };
            while (receiver.IsRunning() && !view.WaitForStatus(marked, std::chrono::milliseconds(5))) {
                FUZZ_CHECK_MSG(std::chrono::steady_clock::now() < deadline, "the receiver stopped routing");
            }
            receiver.LogOff();
        }
        ::shutdown(server, SHUT_WR);
        // The receiver sees the end and closes its side.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        bool closed = false;
        while (!closed && std::chrono::steady_clock::now() < deadline) closed = !fuzz::ReadAvailable(server, wire, 100);
        FUZZ_CHECK_MSG(closed, "the client never closed the connection");
        receiver.Join();
        FUZZ_CHECK(!receiver.IsRunning());
    }
    ::close(server);

    // The session is reset once, whoever ended it.
    FUZZ_CHECK(doc.Disconnected() && doc.LoginId() == 0 && !doc.HasServiceSocket());
    FUZZ_CHECK(view.Status().empty());
    const std::vector<std::string> lines = view.Lines();
    const std::size_t ended = fuzz::CountOf(lines, kSessionEndedMessage);
    FUZZ_CHECK(ended <= 1 && fuzz::CountOf(lines, kFarewellMessage) <= 1);
    if (!logOff) FUZZ_CHECK(ended == 1 && fuzz::CountOf(lines, kFarewellMessage) == 0);
    const std::vector<testing::TrayCall> tray = view.Tray();
    if (window) {
        FUZZ_CHECK(!tray.empty() && tray.back().iconId == kIconApplication && tray.back().tip == kLoggedOffTip);
    } else {
        FUZZ_CHECK(tray.empty());
    }

    std::size_t dialogs = 0;
    const std::vector<DialogModel> opened = view.Opened();
    for (const auto& [kind, text] : view.Shown()) {
        if (kind == "server" || kind == "autodj" || kind == "autotv") {
            FUZZ_CHECK(dialogs < opened.size());
            fuzz::CheckDialogModel(kind, opened[dialogs++]);
        }
    }
    FUZZ_CHECK(dialogs == opened.size());

    const std::string statusRequest = ComposeCommandRequest("shoutcast_server_status,", kUser, kPassword);
    const std::vector<fuzz::WireBlock> blocks = fuzz::SplitWire(wire);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const fuzz::WireBlock& block = blocks[i];
        if (block.size == kLogOffBlockSize) {
            FUZZ_CHECK_MSG(logOff && i + 1 == blocks.size(), "followed by " + blocks.back().text);
        } else if (block.size == kSettingsBlockSize) {
            FUZZ_CHECK(save);
            fuzz::CheckSetRequestText(block.text, kUser, kPassword);
        } else {
            FUZZ_CHECK_MSG(block.text == statusRequest, block.text);
        }
    }
    return 0;
}
