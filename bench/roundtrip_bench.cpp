// Command round trip on loopback: a request sent by the UI side until its reply line reaches the view,
// beside a raw 256-byte TCP ping-pong on a connection of its own to the same host. The two kinds of
// round alternate in one loop (which goes first alternates too), so whatever load the machine has
// falls on both alike; the whole is repeated and the spread of the ratios printed.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

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

// Notes when each reply line is handed to the view (on the receiver thread, where the session's work
// ends: a window would take it from there) and wakes the waiting side.
class SignallingView final : public NullView {
public:
    void InsertMessage(const std::string&) override {
        const auto now = Clock::now();
        {
            std::lock_guard lock(mutex_);
            ++lines_;
            reached_ = now;
        }
        changed_.notify_one();
    }
    // When line `count` reached the view.
    Clock::time_point WaitForLines(long count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return lines_ >= count; });
        return reached_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    long lines_ = 0;
    Clock::time_point reached_;
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
    // Request sent until its reply line reached the view; `woken` also counts the hand-over to the
    // waiting thread.
    double Round(double* woken = nullptr) {
        const auto start = Clock::now();
        SendCommand(doc_, cmd::kServerStart);
        const auto reached = view_.WaitForLines(++lines_);
        if (woken != nullptr) *woken = Micros(Clock::now() - start);
        return Micros(reached - start);
    }

private:
    SignallingView view_;
    SessionDocument doc_;
    Receiver receiver_{doc_};
    long lines_ = 0;
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
    Figures raw, command, woken;
    double MedianRatio() const { return command.median / raw.median; }
    double P99Ratio() const { return command.p99 / raw.p99; }
};

Run Measure(unsigned short port, int rounds) {
    RawPingPong raw(port);
    CommandRoundTrip command(port);
    for (int i = 0; i < 200; ++i) {  // warm up both
        raw.Round();
        command.Round();
    }
    std::vector<double> rawMicros, commandMicros, wokenMicros(rounds);
    rawMicros.reserve(rounds);
    commandMicros.reserve(rounds);
    for (int i = 0; i < rounds; ++i) {
        if (i % 2 == 0) {
            rawMicros.push_back(raw.Round());
            commandMicros.push_back(command.Round(&wokenMicros[i]));
        } else {
            commandMicros.push_back(command.Round(&wokenMicros[i]));
            rawMicros.push_back(raw.Round());
        }
    }
    return {Summarise(std::move(rawMicros)), Summarise(std::move(commandMicros)),
            Summarise(std::move(wokenMicros))};
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int rounds = argc > 2 ? std::max(100, std::atoi(argv[2])) : 10000;
    EchoHost host;
    std::vector<Run> all;
    std::printf(
        "%d runs of %d interleaved rounds each (raw, then command; command first in every other round)\n",
        runs, rounds);
    std::printf(
        "run  raw median / p99 us   command median / p99 us   ratio median / p99   "
        "(with the wake-up of the waiting thread)\n");
    for (int r = 0; r < runs; ++r) {
        const Run run = Measure(host.Port(), rounds);
        all.push_back(run);
        std::printf("%3d  %8.1f / %6.1f      %8.1f / %6.1f          %5.2f / %5.2f        (%.1f / %.1f us)\n",
                    r + 1, run.raw.median, run.raw.p99, run.command.median, run.command.p99,
                    run.MedianRatio(), run.P99Ratio(), run.woken.median, run.woken.p99);
    }
    // The run whose median ratio is the median of the runs stands for them; the spread is beside it.
    std::vector<Run> sorted = all;
    std::sort(sorted.begin(), sorted.end(),
              [](const Run& a, const Run& b) { return a.MedianRatio() < b.MedianRatio(); });
    const Run& typical = sorted[sorted.size() / 2];
    double lowP99 = all[0].P99Ratio(), highP99 = lowP99;
    for (const Run& run : all) {
        lowP99 = std::min(lowP99, run.P99Ratio());
        highP99 = std::max(highP99, run.P99Ratio());
    }
    std::vector<double> p99s;
    for (const Run& run : all) p99s.push_back(run.P99Ratio());
    std::sort(p99s.begin(), p99s.end());
    std::printf("median ratio %.2f (runs %.2f to %.2f), p99 ratio %.2f (runs %.2f to %.2f)\n",
                typical.MedianRatio(), sorted.front().MedianRatio(), sorted.back().MedianRatio(),
                p99s[p99s.size() / 2], lowP99, highP99);
    // For bench/run's table.
    std::printf("= raw_median_us %.1f\n= raw_p99_us %.1f\n= command_median_us %.1f\n= command_p99_us %.1f\n",
                typical.raw.median, typical.raw.p99, typical.command.median, typical.command.p99);
    std::printf("= woken_median_us %.1f\n= woken_p99_us %.1f\n", typical.woken.median, typical.woken.p99);
    std::printf("= median_ratio %.3f\n= median_ratio_low %.3f\n= median_ratio_high %.3f\n",
                typical.MedianRatio(), sorted.front().MedianRatio(), sorted.back().MedianRatio());
    std::printf("= p99_ratio %.3f\n= p99_ratio_low %.3f\n= p99_ratio_high %.3f\n", p99s[p99s.size() / 2],
                lowP99, highP99);
    return 0;
}
