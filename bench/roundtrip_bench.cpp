// Command round trip on loopback: a request sent by the UI side until its reply line is back on the
// UI side, against its floor, the least any client that keeps its window answering can do: a raw
// 256-byte ping-pong whose reply is read by a second thread and handed to the first through the
// wake-up the program's UI thread sleeps on. A raw ping-pong on one thread is measured too, to show
// what that hand-over costs. The three kinds of round alternate in one loop (which goes first
// rotates), so whatever load the machine has falls on all alike; the whole is repeated and the
// spread of the ratios printed.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "protocol/commands.h"
#include "protocol/requests.h"
#include "session/nullview.h"
#include "session/receiver.h"
#include "session/sending.h"
#include "session/sessiondocument.h"

namespace {

using namespace ostravel;
using Clock = std::chrono::steady_clock;

// Answers every 256-byte block with one reply chunk, each connection on a thread of its own.
class EchoHost {
public:
    EchoHost() {
        listener_.Create(SOCK_STREAM);
        listener_.Bind(SocketAddress("127.0.0.1", 0));
        listener_.Listen();
        SocketAddress bound;
        listener_.GetSockName(&bound);
        port_ = bound.Port();
        thread_ = std::thread([this] { Accept(); });
    }
    ~EchoHost() {
        listener_.ShutdownListener();
        thread_.join();
        listener_.Close();
        for (std::thread& served : served_) served.join();
    }
    unsigned short Port() const { return port_; }

private:
    void Accept() {
        for (;;) {
            BlockingSocket connection;
            SocketAddress peer;
            try {
                if (!listener_.Accept(connection, &peer)) return;
            } catch (const BlockingSocketException&) {
                return;
            }
            served_.emplace_back([connection]() mutable { Serve(connection); });
        }
    }

    static void Serve(BlockingSocket connection) {
        std::vector<char> block(kCommandBlockSize);
        try {
            for (;;) {
                int have = 0;
                while (have < static_cast<int>(block.size())) {
                    const int n =
                        connection.Receive(block.data() + have, static_cast<int>(block.size()) - have, 5);
                    if (n <= 0) throw BlockingSocketException("Receive", 0);
                    have += n;
                }
                static const char reply[] = "Shoutcast server started.";
                connection.SendAll(reply, sizeof reply - 1, 5);
            }
        } catch (const BlockingSocketException&) {
        }
        connection.CloseQuietly();
    }

    BlockingSocket listener_;
    unsigned short port_ = 0;
    std::thread thread_;
    std::list<std::thread> served_;
};

// How a reply line gets onto the UI thread in the program (UiThreadView): the reading thread queues
// it under a lock and wakes the UI thread's event loop, which sleeps in poll() on an eventfd (GLib's
// wake-up) and then takes what was queued. Both the command and its floor come back through one.
class UiHandOver {
public:
    UiHandOver() : wake_(::eventfd(0, EFD_CLOEXEC)) {}
    ~UiHandOver() { ::close(wake_); }
    UiHandOver(const UiHandOver&) = delete;
    UiHandOver& operator=(const UiHandOver&) = delete;

    // From the reading thread.
    void Hand() {
        const auto now = Clock::now();
        {
            std::lock_guard lock(mutex_);
            handed_.push_back(now);
        }
        const std::uint64_t one = 1;
        if (::write(wake_, &one, sizeof one) != sizeof one) std::abort();
    }
    // On the UI side: waits for the next line; returns when it was handed over.
    Clock::time_point Take() {
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (!handed_.empty()) {
                    const auto at = handed_.front();
                    handed_.pop_front();
                    return at;
                }
            }
            pollfd entry{wake_, POLLIN, 0};
            ::poll(&entry, 1, -1);
            std::uint64_t count = 0;
            if (::read(wake_, &count, sizeof count) != sizeof count) std::abort();
        }
    }

private:
    const int wake_;
    std::mutex mutex_;
    std::list<Clock::time_point> handed_;
};

// The session's view: every reply line goes over to the UI side.
class HandingView final : public NullView {
public:
    explicit HandingView(UiHandOver& ui) : ui_(ui) {}
    void InsertMessage(const std::string&) override { ui_.Hand(); }

private:
    UiHandOver& ui_;
};

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// The raw side: one 256-byte block out, the reply in, on the calling thread.
class RawPingPong {
public:
    explicit RawPingPong(unsigned short port)
        : block_(
              MakeBlock("shoutcast_server_start,?loginsc=u&passwordsc=p&action=startnow", kCommandBlockSize)),
          buffer_(kReceiveBufferSize + 1) {
        socket_.Create(SOCK_STREAM);
        socket_.Connect(SocketAddress("127.0.0.1", port));
        socket_.SendAtOnce();  // as the session's connection does
    }
    ~RawPingPong() { socket_.Close(); }
    double Round() {
        const auto start = Clock::now();
        socket_.Send(block_.data(), static_cast<int>(block_.size()), 3);
        socket_.Receive(buffer_.data(), kReceiveBufferSize, 3);
        return Micros(Clock::now() - start);
    }

private:
    BlockingSocket socket_;
    std::vector<char> block_;
    std::vector<char> buffer_;
};

// The floor: the same ping-pong, its reply read by a thread of its own (as the receiver reads) and
// handed over to the sending side.
class HandedPingPong {
public:
    explicit HandedPingPong(unsigned short port)
        : block_(MakeBlock("shoutcast_server_start,?loginsc=u&passwordsc=p&action=startnow",
                           kCommandBlockSize)) {
        socket_.Create(SOCK_STREAM);
        socket_.Connect(SocketAddress("127.0.0.1", port));
        socket_.SendAtOnce();  // as the session's connection does
        reader_ = std::thread([this] { Read(); });
    }
    ~HandedPingPong() {
        ::shutdown(socket_.m_socket, SHUT_RDWR);
        reader_.join();
        socket_.Close();
    }
    double Round(double* handed = nullptr) {
        const auto start = Clock::now();
        socket_.Send(block_.data(), static_cast<int>(block_.size()), 3);
        const auto at = ui_.Take();
        const auto woken = Clock::now();
        if (handed != nullptr) *handed = Micros(at - start);
        return Micros(woken - start);
    }

private:
    void Read() {
        std::vector<char> buffer(kReceiveBufferSize + 1);
        try {
            // Waits as the receiver does, a second at a time.
            for (;;) {
                const int n =
                    socket_.ReceiveWithin(buffer.data(), kReceiveBufferSize, std::chrono::seconds(1));
                if (n == 0) return;
                if (n > 0) ui_.Hand();
            }
        } catch (const BlockingSocketException&) {
        }
    }

    BlockingSocket socket_;
    std::vector<char> block_;
    UiHandOver ui_;
    std::thread reader_;
};

// The command side: the session's own sending procedure, the receiver thread, the view.
class CommandRoundTrip {
public:
    explicit CommandRoundTrip(unsigned short port) {
        doc_.SetView(&view_);
        doc_.SetCredentials("u", "p");
        doc_.ConnectService(SocketAddress("127.0.0.1", port));
        doc_.SetDisconnected(false);
        doc_.SetLoginId(1);
        receiver_.Start();
    }
    ~CommandRoundTrip() {
        receiver_.Stop();
        receiver_.Join();
        doc_.CloseService();
    }
    // Request sent until its reply line is back on the sending side; `handed` is until the
    // receiver handed it over.
    double Round(double* handed = nullptr) {
        const auto start = Clock::now();
        SendCommand(doc_, cmd::kServerStart);
        const auto at = ui_.Take();
        const auto woken = Clock::now();
        if (handed != nullptr) *handed = Micros(at - start);
        return Micros(woken - start);
    }

private:
    UiHandOver ui_;
    HandingView view_{ui_};
    SessionDocument doc_;
    Receiver receiver_{doc_};
};

struct Figures {
    double median;
    double p99;
};

Figures Summarise(std::vector<double> micros) {
    std::sort(micros.begin(), micros.end());
    return {micros[micros.size() / 2], micros[micros.size() * 99 / 100]};
}

struct Run {
    Figures raw, floor, command, handed;
    double MedianRatio() const { return command.median / floor.median; }
    double P99Ratio() const { return command.p99 / floor.p99; }
};

Run Measure(unsigned short port, int rounds) {
    RawPingPong raw(port);
    HandedPingPong floor(port);
    CommandRoundTrip command(port);
    for (int i = 0; i < 200; ++i) {  // warm up all three
        raw.Round();
        floor.Round();
        command.Round();
    }
    std::vector<double> rawMicros, floorMicros, commandMicros, handedMicros(rounds);
    for (auto* v : {&rawMicros, &floorMicros, &commandMicros}) v->reserve(rounds);
    for (int i = 0; i < rounds; ++i) {
        const std::function<void()> kinds[] = {
            [&] { rawMicros.push_back(raw.Round()); }, [&] { floorMicros.push_back(floor.Round()); },
            [&] { commandMicros.push_back(command.Round(&handedMicros[i])); }};
        for (int k = 0; k < 3; ++k) kinds[(i + k) % 3]();
    }
    return {Summarise(std::move(rawMicros)), Summarise(std::move(floorMicros)),
            Summarise(std::move(commandMicros)), Summarise(std::move(handedMicros))};
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int rounds = argc > 2 ? std::max(100, std::atoi(argv[2])) : 10000;
    EchoHost host;
    std::vector<Run> all;
    std::printf("%d runs of %d rounds of each kind, interleaved (which goes first rotates)\n", runs, rounds);
    std::printf(
        "run  raw median / p99 us  floor median / p99 us  command median / p99 us  ratio to floor median / "
        "p99"
        "  (command handed over median / p99 us)\n");
    for (int r = 0; r < runs; ++r) {
        const Run run = Measure(host.Port(), rounds);
        all.push_back(run);
        std::printf(
            "%3d  %7.1f / %6.1f     %7.1f / %6.1f       %7.1f / %6.1f         %5.2f / %5.2f          (%.1f / "
            "%.1f)\n",
            r + 1, run.raw.median, run.raw.p99, run.floor.median, run.floor.p99, run.command.median,
            run.command.p99, run.MedianRatio(), run.P99Ratio(), run.handed.median, run.handed.p99);
    }
    // The run whose median ratio is the median of the runs stands for them; the spread is beside it.
    std::vector<Run> sorted = all;
    std::sort(sorted.begin(), sorted.end(),
              [](const Run& a, const Run& b) { return a.MedianRatio() < b.MedianRatio(); });
    const Run& typical = sorted[sorted.size() / 2];
    std::vector<double> p99s;
    for (const Run& run : all) p99s.push_back(run.P99Ratio());
    std::sort(p99s.begin(), p99s.end());
    std::printf("median ratio %.2f (runs %.2f to %.2f), p99 ratio %.2f (runs %.2f to %.2f)\n",
                typical.MedianRatio(), sorted.front().MedianRatio(), sorted.back().MedianRatio(),
                p99s[p99s.size() / 2], p99s.front(), p99s.back());
    // For bench/bench.py's table.
    std::printf("= raw_median_us %.1f\n= raw_p99_us %.1f\n= floor_median_us %.1f\n= floor_p99_us %.1f\n",
                typical.raw.median, typical.raw.p99, typical.floor.median, typical.floor.p99);
    std::printf(
        "= command_median_us %.1f\n= command_p99_us %.1f\n= handed_median_us %.1f\n= handed_p99_us %.1f\n",
        typical.command.median, typical.command.p99, typical.handed.median, typical.handed.p99);
    std::printf("= median_ratio %.3f\n= median_ratio_low %.3f\n= median_ratio_high %.3f\n",
                typical.MedianRatio(), sorted.front().MedianRatio(), sorted.back().MedianRatio());
    std::printf("= p99_ratio %.3f\n= p99_ratio_low %.3f\n= p99_ratio_high %.3f\n", p99s[p99s.size() / 2],
                p99s.front(), p99s.back());
    return 0;
}
