// HTTP response reader over a loopback connection: header lines one at a time, then the body.
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/blockingsocket.h"
#include "net/net_test_support.h"

namespace {

using namespace nettest;

class HttpReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        reader.Create();
        ConnectPair(reader, peer);
    }

    // Sends from the peer and waits until all of it is ready to be read on the reader's side.
    void Deliver(const std::string& text) {
        const int before = PendingBytes(reader);
        ASSERT_EQ(peer.SendAll(text.data(), static_cast<int>(text.size()), 5), static_cast<int>(text.size()));
        ASSERT_TRUE(
            WaitUntil([&] { return PendingBytes(reader) >= before + static_cast<int>(text.size()); }));
    }

    std::string ReadLine(int size = 200, int seconds = 5) {
        std::vector<char> line(static_cast<size_t>(size), 'Z');
        const int length = reader.ReadHeaderLine(line.data(), size, seconds);
        EXPECT_EQ(line[static_cast<size_t>(length)], '\0');
        return std::string(line.data(), static_cast<size_t>(length));
    }

    OwnedHttpSocket reader;
    OwnedSocket peer;
};

TEST_F(HttpReaderTest, ReturnsLinesThroughTheirLineFeed) {
    Deliver("HTTP/1.0 200 OK\r\nServer: x\nContent-Length: 3\r\n\r\n");
    EXPECT_EQ(ReadLine(), "HTTP/1.0 200 OK\r\n");
    EXPECT_EQ(ReadLine(), "Server: x\n");  // a bare line feed ends a line too
    EXPECT_EQ(ReadLine(), "Content-Length: 3\r\n");
    EXPECT_EQ(ReadLine(), "\r\n");
}

TEST_F(HttpReaderTest, PutsALineTogetherFromSeveralReceives) {
    struct Case {
        const char* first;
        const char* second;
        const char* line;
        const char* next;  // what follows the line in the second piece
    };
    const Case cases[] = {
        {"HTTP/1.0 2", "00 OK\r\n", "HTTP/1.0 200 OK\r\n", ""},
        {"Host: a\r", "\nX: 1\r\n", "Host: a\r\n", "X: 1\r\n"},
        {"Date: today", "\n", "Date: today\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        // The first piece is read and found incomplete, then the time-out ends the call and keeps it.
        Deliver(c.first);
        EXPECT_EQ(Thrown([&] { ReadLine(200, 0); }).m_operation, "ReadHeaderLine");
        Deliver(c.second);
        EXPECT_EQ(ReadLine(), c.line);
        if (*c.next != '\0') {
            EXPECT_EQ(ReadLine(), c.next);
        }
    }
}

TEST_F(HttpReaderTest, WaitsWithinOneCallForTheRestOfALine) {
    Deliver("Content-Type: te");
    // The second piece goes out only once the reader has taken the first one.
    std::thread sender([&] {
        if (WaitUntil([&] { return PendingBytes(reader) == 0; })) {
            peer.SendAll("xt/html\r\n", 9, 5);
        }
    });
    EXPECT_EQ(ReadLine(200, 10), "Content-Type: text/html\r\n");
    sender.join();
}

TEST_F(HttpReaderTest, SecondLineOfOneReceiveNeedsNoSocketCall) {
    Deliver("A: 1\r\nB: 2\r\n");
    peer.Close();
    EXPECT_EQ(ReadLine(), "A: 1\r\n");
    // With no usable socket, any receive would throw.
    const SOCKET held = reader.m_socket;
    reader.m_socket = INVALID_SOCKET;
    EXPECT_EQ(ReadLine(), "B: 2\r\n");
    reader.m_socket = held;
    EXPECT_EQ(Thrown([&] { ReadLine(); }).m_operation, "ReadHeaderLine");  // peer closed
}

TEST_F(HttpReaderTest, CutsALongLineAndSkipsItsRest) {
    const std::string longLine = "X-Long-Header: 0123456789ABC\r\n";
    ASSERT_EQ(longLine.size(), 30u);
    Deliver(longLine + "Next: 1\r\n");
    char destination[16];
    std::memset(destination, 'Z', sizeof destination);
    EXPECT_EQ(reader.ReadHeaderLine(destination, 10, 5), 9);
    EXPECT_EQ(std::string(destination, 10), longLine.substr(0, 9) + '\0');
    EXPECT_EQ(destination[10], 'Z');
    EXPECT_EQ(ReadLine(), "Next: 1\r\n");
}

TEST_F(HttpReaderTest, ThrowsWhenNoCompleteLineCanBeHad) {
    errno = 0;
    EXPECT_EQ(Thrown([&] { ReadLine(200, 0); }).GetErrorMessage(), "ReadHeaderLine error");  // time-out

    // A full buffer without a line feed: nothing more can complete the line.
    Deliver(std::string(1000, 'a'));
    EXPECT_EQ(Thrown([&] { ReadLine(200, 5); }).m_operation, "ReadHeaderLine");
    // What was buffered is not lost.
    std::vector<char> rest(2000);
    EXPECT_EQ(reader.ReadResponse(rest.data(), 2000, 0), 1000);
    EXPECT_EQ(std::string(rest.data(), 1000), std::string(1000, 'a'));

    peer.Close();
    EXPECT_EQ(Thrown([&] { ReadLine(200, 5); }).m_operation, "ReadHeaderLine");
}

TEST_F(HttpReaderTest, ReceiveErrorsPassThrough) {
    if (ostravel::testing::RunningUnderWine()) GTEST_SKIP() << ostravel::testing::kWineReadsResetAsClose;
    ASSERT_TRUE(ostravel::testing::SetAbortiveClose(peer));
    peer.Close();
    EXPECT_EQ(Thrown([&] { ReadLine(); }).m_operation, "Receive");
}

std::string Body(size_t size) {
    std::string body(size, ' ');
    for (size_t i = 0; i < size; ++i) {
        body[i] = static_cast<char>('a' + (i * 13 + i / 26) % 26);
    }
    return body;
}

TEST_F(HttpReaderTest, ResponseStartsWithTheBytesThatCameWithTheHeader) {
    const std::string header = "HTTP/1.0 200 OK\r\n\r\n";
    const std::string body = Body(5000);
    Deliver(header + body);
    peer.Close();
    EXPECT_EQ(ReadLine(), "HTTP/1.0 200 OK\r\n");
    EXPECT_EQ(ReadLine(), "\r\n");

    std::vector<char> destination(8000);
    EXPECT_EQ(reader.ReadResponse(destination.data(), 8000, 5), 5000);
    EXPECT_EQ(std::string(destination.data(), 5000), body);
}

TEST_F(HttpReaderTest, ResponseStopsAtTheDestinationSize) {
    const std::string body = Body(3000);
    Deliver("HTTP/1.0 200 OK\r\n\r\n" + body);
    ReadLine();
    ReadLine();
    std::vector<char> destination(2500);
    EXPECT_EQ(reader.ReadResponse(destination.data(), 2500, 5), 2500);
    EXPECT_EQ(std::string(destination.data(), 2500), body.substr(0, 2500));
    EXPECT_EQ(reader.ReadResponse(destination.data(), 2500, 0), 500);  // time-out ends it, no throw
    EXPECT_EQ(std::string(destination.data(), 500), body.substr(2500));
}

TEST_F(HttpReaderTest, SmallDestinationNeverOverrunsAndKeepsTheRest) {
    const std::string body = Body(900);
    Deliver("HTTP/1.0 200 OK\r\n\r\n" + body);
    peer.Close();
    ReadLine();
    ReadLine();

    // An allocation of exactly the destination size: AddressSanitizer catches any overrun.
    auto exact = std::make_unique<char[]>(100);
    EXPECT_EQ(reader.ReadResponse(exact.get(), 100, 5), 100);
    EXPECT_EQ(std::string(exact.get(), 100), body.substr(0, 100));

    // A guard pattern behind the destination stays untouched.
    std::vector<char> guarded(1000, '\x5A');
    EXPECT_EQ(reader.ReadResponse(guarded.data(), 300, 5), 300);
    EXPECT_EQ(std::string(guarded.data(), 300), body.substr(100, 300));
    EXPECT_EQ(std::string(guarded.data() + 300, 700), std::string(700, '\x5A'));

    std::vector<char> rest(1000);
    EXPECT_EQ(reader.ReadResponse(rest.data(), 1000, 5), 500);
    EXPECT_EQ(std::string(rest.data(), 500), body.substr(400));
}

}  // namespace
