// Command round trip on loopback: a request sent by the UI side until its reply line reaches the view,
// beside a raw 256-byte TCP ping-pong measured in the same run on the same kind of socket.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "app/zandreldoc.h"
#include "null_view.h"
#include "protocol/clientthread.h"
#include "protocol/commands.h"
#include "protocol/requests.h"

namespace {

using namespace ostravel;
using Clock = std::chrono::steady_clock;

// Answers every 256-byte block with one reply chunk.
class EchoHost {
public:
    EchoHost() {
        listener_.Create(SOCK_STREAM);
        listener_.Bind(CSocketAddress("127.0.0.1", 0));
        listener_.Listen();
        CSocketAddress bound;
        listener_.GetSockName(&bound);
        port_ = bound.Port();
        thread_ = std::thread([this] { Serve(); });
    }
    ~EchoHost() {
        listener_.ShutdownListener();
        thread_.join();
        listener_.Close();
    }
    unsigned short Port() const { return port_; }

private:
    void Serve() {
        for (;;) {
            CBlockingSocket connection;
            CSocketAddress peer;
            try {
                if (!listener_.Accept(connection, &peer)) return;
            } catch (const CBlockingSocketException&) {
                return;
            }
            std::vector<char> block(kCommandBlockSize);
            try {
                for (;;) {
                    int have = 0;
                    while (have < static_cast<int>(block.size())) {
                        const int n = connection.Receive(block.data() + have, static_cast<int>(block.size()) - have, 5);
                        if (n <= 0) throw CBlockingSocketException("Receive", 0);
                        have += n;
                    }
                    static const char reply[] = "Shoutcast server started.";
                    connection.SendAll(reply, sizeof reply - 1, 5);
                }
            } catch (const CBlockingSocketException&) {
            }
            connection.CloseQuietly();
        }
    }

    CBlockingSocket listener_;
    unsigned short port_ = 0;
    std::thread thread_;
};

class SignallingView final : public NullView {
public:
    void InsertMessage(const std::string&) override {
        {
            std::lock_guard lock(mutex_);
            ++lines_;
        }
        changed_.notify_one();
    }
    void WaitForLines(long count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return lines_ >= count; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
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

std::vector<double> RawPingPong(unsigned short port, int rounds) {
    CBlockingSocket socket;
    socket.Create(SOCK_STREAM);
    socket.Connect(CSocketAddress("127.0.0.1", port));
    const auto block = MakeBlock("shoutcast_server_start,?loginsc=u&passwordsc=p&action=startnow", kCommandBlockSize);
    std::vector<char> buffer(kReceiveBufferSize + 1);
    std::vector<double> micros;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        socket.Send(block.data(), static_cast<int>(block.size()), 3);
        socket.Receive(buffer.data(), kReceiveBufferSize, 3);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    socket.Close();
    return micros;
}

std::vector<double> CommandRoundTrip(unsigned short port, int rounds) {
    SignallingView view;
    CzandrelDoc doc;
    doc.SetView(&view);
    doc.SetCredentials("u", "p");
    doc.ConnectService(CSocketAddress("127.0.0.1", port));
    doc.SetDisconnected(false);
    doc.SetLoginId(1);
    ClientThread receiver(doc);
    receiver.Start();
    std::vector<double> micros;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        SendCommand(doc, cmd::kServerStart);
        view.WaitForLines(i + 1);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    receiver.Stop();
    receiver.Join();
    doc.CloseService();
    return micros;
}

}  // namespace

int main() {
    constexpr int kRounds = 10000;
    EchoHost host;
    RawPingPong(host.Port(), 500);  // warm up
    const Figures raw = Summarise(RawPingPong(host.Port(), kRounds));
    const Figures command = Summarise(CommandRoundTrip(host.Port(), kRounds));
    std::printf("raw 256-byte ping-pong:  median %.1f us  p99 %.1f us  (%d rounds)\n", raw.median, raw.p99, kRounds);
    std::printf("command round trip:      median %.1f us  p99 %.1f us  (%d rounds)\n", command.median, command.p99,
                kRounds);
    std::printf("ratio (median):          %.2f\n", command.median / raw.median);
    return 0;
}
