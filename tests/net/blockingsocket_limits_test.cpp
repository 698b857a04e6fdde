// The edges of a socket's life: none held yet or any more, a connect nobody answers, short waits.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <stop_token>
#include <thread>

#include "fakes/deaf_listener.h"
#include "net_test_support.h"

namespace nettest {
namespace {

TEST(NoSocket, EveryOperationFailsWithItsWordAndDescriptorZeroIsNeverTouched) {
#ifndef _WIN32
    // Standard input is a socket here, the way a service manager may start the program. (Windows
    // has no descriptor 0 among its socket handles; the failures themselves are checked there too.)
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    const int savedStdin = ::dup(0);
    ASSERT_EQ(::dup2(ends[0], 0), 0);
#endif

    BlockingSocket never;  // never created
    BlockingSocket closed;
    closed.Create();
    closed.Close();
    for (BlockingSocket* socket : {&never, &closed}) {
        EXPECT_FALSE(socket->HasSocket());
        EXPECT_NE(socket->m_socket, 0);
        char buffer[16];
        struct Case {
            const char* word;
            std::function<void()> call;
        };
        const Case cases[] = {
            {"Send", [&] { socket->Send("secret", 6, 1); }},
            {"Send", [&] { socket->SendAll("secret", 6, 1); }},
            {"Receive", [&] { socket->Receive(buffer, sizeof buffer, 1); }},
            {"Connect", [&] { socket->Connect(SocketAddress("127.0.0.1", 9), 1); }},
            {"SendDatagram", [&] { socket->SendDatagram("x", 1, SocketAddress("127.0.0.1", 9), 1); }},
            {"GetPeerName",
             [&] {
                 SocketAddress peer;
                 socket->GetPeerName(&peer);
             }},
        };
        for (const Case& c : cases) {
            const BlockingSocketException error = Thrown(c.call);
            EXPECT_EQ(error.m_operation, c.word);
            EXPECT_EQ(error.m_errorCode, Errors::kNoSocket) << c.word;
            EXPECT_EQ(error.GetErrorMessage(),
                      std::string(c.word) + " error #" + std::to_string(Errors::kNoSocket));
        }
        EXPECT_NO_THROW(socket->Close());
    }
#ifndef _WIN32
    char leaked[16];
    EXPECT_EQ(::recv(ends[1], leaked, sizeof leaked, MSG_DONTWAIT), -1);  // nothing was written
    ::dup2(savedStdin, 0);
    ::close(savedStdin);
    ::close(ends[0]);
    ::close(ends[1]);
#endif
}

TEST(ConnectWithLimit, ConnectsRefusesTimesOutAndCancels) {
    Listener open;
    OwnedSocket client;
    client.Create();
    client.Connect(open.address, 5);
    OwnedSocket accepted;
    ASSERT_TRUE(open.socket.Accept(accepted, nullptr));
#ifndef _WIN32
    EXPECT_EQ(::fcntl(client.m_socket, F_GETFL) & O_NONBLOCK, 0);  // blocking again for transfers
#endif
    EXPECT_EQ(client.Send("hi", 2, 1), 2);

    OwnedSocket refused;
    refused.Create();
    SocketAddress closedPort;
    {
        Listener gone;
        closedPort = gone.address;
    }
    const BlockingSocketException refusal = Thrown([&] { refused.Connect(closedPort, 5); });
    EXPECT_EQ(refusal.m_operation, "Connect");
    EXPECT_EQ(refusal.m_errorCode, Errors::kRefused);

    ostravel::testing::DeafListener deaf;
    OwnedSocket waiting;
    waiting.Create();
    const auto start = std::chrono::steady_clock::now();
    const BlockingSocketException timedOut = Thrown([&] { waiting.Connect(deaf.Address(), 1); });
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(timedOut.m_errorCode, Errors::kTimedOut);
    EXPECT_GE(took, 900ms);
    EXPECT_LT(took, 3s);

    OwnedSocket cancelled;
    cancelled.Create();
    std::stop_source stop;
    std::thread canceller([&] { stop.request_stop(); });
    const auto cancelStart = std::chrono::steady_clock::now();
    const BlockingSocketException gaveUp =
        Thrown([&] { cancelled.Connect(deaf.Address(), 60, stop.get_token()); });
    canceller.join();
    EXPECT_EQ(gaveUp.m_errorCode, Errors::kCancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - cancelStart, 2s);
}

TEST(ReceiveWithin, WaitsMillisecondsNotSeconds) {
    OwnedSocket client, server;
    client.Create();
    ConnectPair(client, server);
    char buffer[8];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.ReceiveWithin(buffer, sizeof buffer, 30ms), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    server.Send("ok", 2, 1);
    EXPECT_EQ(client.ReceiveWithin(buffer, sizeof buffer, 5000ms), 2);
}

}  // namespace
}  // namespace nettest
