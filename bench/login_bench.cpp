// Login to status: from the login dialog's OK (SessionControl::BeginLogin, as LoginDialog::OnOK calls it)
// until the status box is given the first status report, against a loopback server that answers at
// once. The real login thread, the real receiver; the "UI thread" is this program's main thread,
// which runs the Login command's last step (LoginAccepted) when the login thread says it has
// finished, as the dialog does through CallAfter. A raw 256-byte ping-pong to the same server,
// interleaved with the logins, gives the network round trip of the same run; the budget is two of
// them (login, status) plus 5 ms of client time.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "fakes/fake_service_server.h"
#include "protocol/requests.h"
#include "session/nullview.h"
#include "session/receiver.h"
#include "session/sessioncontrol.h"
#include "session/sessiondocument.h"

namespace {

using namespace ostravel;
using Steady = std::chrono::steady_clock;

constexpr char kStatusReport[] =
    "Server Status: Server is Online. Connect a DJ\"Stream IP: 127.0.0.1\"Stream Port: 8002\""
    "Max. Bitrate: 128\"Status End";

double Micros(Steady::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// The UI thread's queue (CallAfter) and the status box.
class BenchView final : public NullView {
public:
    void SetStatusText(const std::string& text) override {
        if (text.empty()) return;
        const auto now = Steady::now();
        {
            std::lock_guard lock(mutex_);
            ++filled_;
            filledAt_ = now;
        }
        changed_.notify_all();
    }
    void Post(std::function<void()> task) {
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        }
        changed_.notify_all();
    }
    // Runs posted tasks until the status box has been filled `count` times; when it was.
    Steady::time_point RunUntilFilled(long count) {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return filled_ >= count || !tasks_.empty(); });
            while (!tasks_.empty()) {
                auto task = std::move(tasks_.front());
                tasks_.pop_front();
                lock.unlock();
                task();
                lock.lock();
            }
            if (filled_ >= count) return filledAt_;
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> tasks_;
    long filled_ = 0;
    Steady::time_point filledAt_;
};

std::vector<std::string> Answer(const std::string& text) {
    if (text == "Username,u,p") return {"Logged In: Welcome back, u=7"};
    if (text.rfind("shoutcast_server_status,", 0) == 0) return {kStatusReport};
    if (text == "ping") return {"pong"};
    return {};
}

struct Figures {
    double median, p99;
};

Figures Summarise(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)]};
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    testing::FakeServiceServer server;
    server.SetResponder(Answer);
    BenchView view;
    SessionDocument doc;
    doc.SetView(&view);
    SessionControl session(doc, SocketAddress("127.0.0.1", server.Port()),
                           [](SessionDocument& d) { return std::make_unique<Receiver>(d); });

    BlockingSocket raw;
    raw.Create(SOCK_STREAM);
    raw.Connect(SocketAddress("127.0.0.1", server.Port()));
    const auto ping = MakeBlock("ping", kCommandBlockSize);
    char buffer[256];
    auto pingPong = [&] {
        const auto start = Steady::now();
        raw.Send(ping.data(), static_cast<int>(ping.size()), 3);
        raw.Receive(buffer, sizeof buffer, 3);
        return Micros(Steady::now() - start);
    };

    long filled = 0;
    auto login = [&] {
        const auto start = Steady::now();
        session.BeginLogin("u", "p", [&] { view.Post([&] { session.LoginAccepted(); }); });
        const auto at = view.RunUntilFilled(++filled);
        const double micros = Micros(at - start);
        session.Logout();
        return micros;
    };

    for (int i = 0; i < 20; ++i) {  // warm up
        login();
        pingPong();
    }
    std::vector<double> logins, rtts;
    for (int i = 0; i < rounds; ++i) {
        logins.push_back(login());
        rtts.push_back(pingPong());
    }
    session.Shutdown();
    raw.Close();

    const Figures total = Summarise(logins);
    const Figures rtt = Summarise(rtts);
    const double budget = 2 * rtt.median + 5000;
    const double client = total.median - 2 * rtt.median;
    std::printf("%d logins, each followed by a raw 256-byte ping-pong on the same server\n", rounds);
    std::printf("OK to status box filled:  median %.0f us  p99 %.0f us\n", total.median, total.p99);
    std::printf("raw round trip:           median %.1f us\n", rtt.median);
    std::printf("client time (less two round trips; the connect counted in it): %.0f us; budget %.0f us\n",
                client, budget);
    std::printf("= login_median_us %.1f\n= login_p99_us %.1f\n= rtt_median_us %.1f\n= client_us %.1f\n",
                total.median, total.p99, rtt.median, client);
    return 0;
}
