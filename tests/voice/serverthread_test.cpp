#include "voice/serverthread.h"

#include <chrono>

#include <gtest/gtest.h>

#include "net/blockingsocket.h"

namespace ostravel {
namespace {

class EchoClient {
public:
    EchoClient() {
        socket_.Create();
        socket_.Connect(SocketAddress("127.0.0.1", ServerThread::Port()));
    }
    ~EchoClient() { socket_.CloseQuietly(); }

    void Send(const std::string& text) { socket_.SendAll(text.data(), static_cast<int>(text.size()), 5); }
    // Exactly `size` bytes, or what came before the server closed or went quiet.
    std::string Receive(std::size_t size) {
        std::string out;
        char buffer[512];
        while (out.size() < size) {
            const int got = socket_.Receive(buffer, static_cast<int>(size - out.size()), 10);
            if (got <= 0) break;
            out.append(buffer, static_cast<std::size_t>(got));
        }
        return out;
    }
    // True once the server has closed the connection.
    bool Closed() {
        char byte;
        return socket_.Receive(&byte, 1, 10) == 0;
    }

private:
    BlockingSocket socket_;
};

class Echo : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ServerThread::Start("127.0.0.1", 0)); }
    void TearDown() override { ServerThread::Stop(); }
};

const std::string kGreeting = "Greetings form EchoServer\n\r";

TEST_F(Echo, ByeAsOnePieceIsEchoedAndEndsTheSession) {
    EchoClient client;
    EXPECT_EQ(client.Receive(27), kGreeting);
    client.Send("bye");
    EXPECT_EQ(client.Receive(3), "bye");
    EXPECT_TRUE(client.Closed());
}

TEST_F(Echo, ByeWithALineEndIsEchoedAndTheSessionGoesOnUntilAHash) {
    EchoClient client;
    ASSERT_EQ(client.Receive(27), kGreeting);
    client.Send("bye\n");
    EXPECT_EQ(client.Receive(4), "bye\n");
    client.Send("still here");
    EXPECT_EQ(client.Receive(10), "still here");
    client.Send("#");
    EXPECT_EQ(client.Receive(1), "#");
    EXPECT_TRUE(client.Closed());
}

TEST(EchoClosingPiece, IsExactlyByeOrByeAndAZeroOrAHash) {
    struct Case {
        std::string piece;
        bool closes;
    };
    for (const Case& c :
         {Case{"bye", true}, Case{std::string("bye\0tail", 8), true}, Case{"#", true}, Case{"bye\n", false},
          Case{"by", false}, Case{"#\n", false}, Case{"Bye", false}, Case{"byebye", false}}) {
        EXPECT_EQ(ServerThread::IsClosingPiece(c.piece.data(), static_cast<int>(c.piece.size())), c.closes)
            << c.piece;
    }
}

TEST_F(Echo, TwoClientsAreServedByTwoThreadsOfTheChain) {
    EchoClient first;
    ASSERT_EQ(first.Receive(27), kGreeting);
    // The first session is still open, so only the thread it started can take the second client.
    EchoClient second;
    ASSERT_EQ(second.Receive(27), kGreeting);
    EXPECT_EQ(ServerThread::ThreadsStarted(), 3);  // the third waits for a next client
    second.Send("two");
    first.Send("one");
    EXPECT_EQ(second.Receive(3), "two");
    EXPECT_EQ(first.Receive(3), "one");
}

TEST_F(Echo, StopEndsOpenSessionsAndASecondStartIsRefused) {
    EXPECT_FALSE(ServerThread::Start("127.0.0.1", 0));
    EchoClient client;
    ASSERT_EQ(client.Receive(27), kGreeting);
    // The session is waiting for the client (up to 30 s); Stop ends it now, not when that wait ends.
    const auto stopStart = std::chrono::steady_clock::now();
    ServerThread::Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopStart, std::chrono::seconds(5));
    EXPECT_TRUE(client.Closed());
    EXPECT_EQ(ServerThread::Port(), 0);
}

TEST(EchoStart, ABusyPortThrowsAndLeavesNothingListening) {
    BlockingSocket taken;
    taken.Create();
    taken.Bind(SocketAddress("127.0.0.1", 0));
    taken.Listen();
    SocketAddress bound;
    taken.GetSockName(&bound);
    EXPECT_THROW(ServerThread::Start("127.0.0.1", bound.Port()), BlockingSocketException);
    EXPECT_EQ(ServerThread::Port(), 0);
    taken.Close();
}

}  // namespace
}  // namespace ostravel
