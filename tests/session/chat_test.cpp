#include "session/chat.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "fakes/connected_document.h"

namespace ostravel {
namespace {

// The document connected to a listening socket of the test's own.
class Chat : public ::testing::Test, public testing::ConnectedDocument {
protected:
    void SetUp() override { Connect(); }
    void TearDown() override { Disconnect(); }
};

TEST_F(Chat, SendingAnEmptyLineSendsNoByteAndTypedTextGoesUnframed) {
    EXPECT_EQ(SendChatLine(doc, ""), 0);
    EXPECT_EQ(SendChatLine(doc, "hi there"), 8);
    EXPECT_EQ(ServerReceives(8), "hi there");  // nothing came before it, no terminator after
}

TEST_F(Chat, PrivateMessageTravelsAsOne256ByteBlock) {
    SendPrivateMessage(doc, "", "hello");
    std::string expected = "==>  hello";
    expected.resize(256, '\0');
    EXPECT_EQ(ServerReceives(256), expected);
    EXPECT_EQ(PrivateMessageText("ann", "hi"), "==> ann hi");
}

TEST_F(Chat, ConnectSendsItsWordAndShowsPiecesUntilDone) {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> shown;
    std::thread view([&] {
        RunChatConnect(doc, [&](const std::string& text) {
            std::lock_guard lock(mutex);
            shown.push_back(text);
            changed.notify_all();
        });
    });
    EXPECT_EQ(ServerReceives(4), "Send");
    // One piece at a time, so the pieces cannot run together.
    const std::string first("one\0hidden", 10);
    server.SendAll(first.data(), static_cast<int>(first.size()), 5);
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return shown.size() == 1; }));
    }
    server.SendAll("done", 4, 5);
    view.join();
    EXPECT_EQ(shown, (std::vector<std::string>{"one", "done"}));
}

TEST_F(Chat, ConnectEndsWhenTheServerCloses) {
    std::thread view([&] { RunChatConnect(doc, [](const std::string&) {}); });
    EXPECT_EQ(ServerReceives(4), "Send");
    server.Close();
    view.join();  // returns rather than waiting for "done" for ever
}

TEST(ChatWithoutConnection, SendsFailAsSocketErrorsInsteadOfTouchingNoSocket) {
    SessionDocument doc;
    EXPECT_THROW(SendChatLine(doc, "x"), BlockingSocketException);
    EXPECT_THROW(SendPrivateMessage(doc, "", "x"), BlockingSocketException);
    EXPECT_THROW(RunChatConnect(doc, [](const std::string&) {}), BlockingSocketException);
}

}  // namespace
}  // namespace ostravel
