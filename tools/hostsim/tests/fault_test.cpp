// Each fault switch makes the host misbehave the way it says.
#include <cerrno>
#include <memory>

#include <gtest/gtest.h>

#include "hostsim.h"
#include "test_client.h"

namespace hostsim {
namespace {

using namespace test;

class FaultTest : public ::testing::Test {
protected:
    void start(const char* switches) {
        Options options;
        options.service = {"127.0.0.1", 0};
        options.portal = {"127.0.0.1", 0};
        options.dataDir = dir_.path();
        options.keepaliveSeconds = 0;
        std::string error;
        ASSERT_TRUE(applyFaultList(switches, options.faults, error)) << error;
        sim_ = std::make_unique<HostSim>(options);
        ASSERT_TRUE(sim_->start(error)) << error;
    }
    std::unique_ptr<ServiceClient> loggedIn() {
        auto c = std::make_unique<ServiceClient>(sim_->servicePort());
        EXPECT_TRUE(c->login("dj", "djpass"));
        return c;
    }

    ScratchDir dir_;
    std::unique_ptr<HostSim> sim_;
};

TEST_F(FaultTest, CloseAfterClosesOnceThatManyRepliesAreOut) {
    start("close-after=2");
    auto c = loggedIn();
    EXPECT_FALSE(c->reply("Logged In: ").empty());
    ASSERT_TRUE(c->command("shoutcast_server_status,"));
    EXPECT_FALSE(c->reply("Server Status:").empty());
    EXPECT_TRUE(c->waitClosed());
    EXPECT_EQ(c->lastError(), 0);  // an orderly close, not a reset
}

TEST_F(FaultTest, ResetAfterResetsTheConnection) {
    start("reset-after=1");
    auto c = loggedIn();
    EXPECT_FALSE(c->reply("Logged In: ").empty());
    EXPECT_TRUE(c->waitClosed());
    EXPECT_EQ(c->lastError(), ECONNRESET);
}

TEST_F(FaultTest, StallSendsNothingButKeepsTheConnection) {
    start("stall-after=1");
    auto c = loggedIn();
    EXPECT_FALSE(c->reply("Logged In: ").empty());
    ASSERT_TRUE(c->command("shoutcast_server_status,"));
    EXPECT_FALSE(c->chunk(400ms).has_value());  // nothing, and not closed either
    ASSERT_TRUE(c->sendBlock("/disconnected", 14));
    EXPECT_TRUE(c->waitClosed());
}

TEST_F(FaultTest, SplitSendsEachReplyInSmallChunks) {
    start("split=16");
    auto c = loggedIn();
    std::string joined;
    while (joined.find("=1") == std::string::npos || joined.size() < 20) {
        auto piece = c->chunk();
        ASSERT_TRUE(piece && !piece->empty());
        EXPECT_LE(piece->size(), 16u);
        joined += *piece;
    }
    EXPECT_EQ(joined.rfind("Logged In: ", 0), 0u) << joined;
}

TEST_F(FaultTest, OversizeRepliesOverflowTheClientBuffer) {
    start("oversize");
    auto c = loggedIn();
    std::string all;
    while (all.size() < kOversizeReply) {
        auto piece = c->chunk();
        ASSERT_TRUE(piece && !piece->empty());
        all += *piece;
    }
    EXPECT_EQ(all.rfind("Logged In: ", 0), 0u);
    EXPECT_GT(all.size(), 25600u);
}

TEST_F(FaultTest, MergeSendsTwoRepliesInOneChunk) {
    start("merge");
    auto c = loggedIn();
    EXPECT_FALSE(c->reply("Logged In: ").empty());
    ASSERT_TRUE(c->command("shoutcast_server_getconfig,"));
    const auto both = c->chunk();
    ASSERT_TRUE(both);
    EXPECT_NE(both->find("Shoutcast server getconfig"), std::string::npos);
    EXPECT_NE(both->find("Shoutcast server content"), std::string::npos) << *both;
}

TEST_F(FaultTest, TrickleSendsEveryReplyOneByteAtATime) {
    start("trickle");
    auto c = loggedIn();
    const std::string expected = "Logged In: Welcome back, dj=";
    std::string joined;
    std::size_t chunks = 0;
    const auto began = Clock::now();
    while (joined.size() < expected.size()) {
        auto piece = c->chunk();
        ASSERT_TRUE(piece && !piece->empty());
        EXPECT_EQ(piece->size(), 1u);
        joined += *piece;
        ++chunks;
    }
    EXPECT_EQ(joined, expected);
    // Spaced, not merely cut: the bytes cannot all have come in one burst.
    EXPECT_GE(Clock::now() - began, kTrickleGap * (chunks - 1));
}

TEST_F(FaultTest, FloodSendsOneMebibyteWithoutNulOrKeywordOnceBeforeTheNextReply) {
    start("flood");
    auto c = loggedIn();
    std::string all;
    while (all.find("Logged In: ") == std::string::npos) {
        auto piece = c->chunk();
        ASSERT_TRUE(piece && !piece->empty());
        all += *piece;
    }
    const std::string flood = all.substr(0, all.find("Logged In: "));
    EXPECT_EQ(flood.size(), kFloodSize);
    EXPECT_EQ(flood.find('\0'), std::string::npos);
    EXPECT_EQ(routeOf(flood), Route{});
    EXPECT_EQ(flood.find("/bye"), std::string::npos);
    // Once: the next reply comes on its own.
    ASSERT_TRUE(c->command("shoutcast_server_status,"));
    const std::string status = c->reply("Server Status:");
    EXPECT_EQ(status.rfind("Server Status:", 0), 0u) << status.substr(0, 80);
}

TEST_F(FaultTest, NulsPutANulInTheMiddleOfEveryReply) {
    start("nuls");
    auto c = loggedIn();
    for (int i = 0; i < 2; ++i) {
        const std::string reply = i == 0 ? c->reply("Logged In: ") : c->reply("Server Status:");
        ASSERT_FALSE(reply.empty());
        SCOPED_TRACE(reply);
        const auto nul = reply.find('\0');
        ASSERT_NE(nul, std::string::npos);
        EXPECT_EQ(nul, (reply.size() - 1) / 2);
        EXPECT_EQ(reply.find('\0', nul + 1), std::string::npos);
        EXPECT_NE(reply.find(i == 0 ? "=" : "Status End", nul), std::string::npos);  // the rest follows it
        if (i == 0) {
            ASSERT_TRUE(c->command("shoutcast_server_status,"));
        }
    }
}

TEST_F(FaultTest, ByeAfterSaysByeAsAReplyOfItsOwnThenCloses) {
    start("bye-after=1");
    auto c = loggedIn();
    EXPECT_FALSE(c->reply("Logged In: ").empty());
    EXPECT_EQ(c->chunk(), "/bye");
    EXPECT_TRUE(c->waitClosed());
    EXPECT_EQ(c->lastError(), 0);
}

// A connect that is never answered, while the sessions already open carry on; once the switch is
// off, new connections are taken again, the one left waiting included.
TEST_F(FaultTest, DeafLeavesNewConnectionsUnansweredUntilSwitchedOff) {
    start("none");
    auto open = loggedIn();
    EXPECT_FALSE(open->reply("Logged In: ").empty());
    ASSERT_EQ(httpGet(sim_->portalPort(), "/hostsim/fault?set=deaf").status, 200);

    const int waiting = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(sim_->servicePort());
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_NE(::connect(waiting, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_EQ(errno, EINPROGRESS);
    pollfd pfd{waiting, POLLOUT, 0};
    EXPECT_EQ(::poll(&pfd, 1, 500), 0) << "the connect was answered";

    ASSERT_TRUE(open->command("shoutcast_server_status,"));
    EXPECT_FALSE(open->reply("Server Status:").empty());

    ASSERT_EQ(httpGet(sim_->portalPort(), "/hostsim/fault?set=none").status, 200);
    auto later = loggedIn();
    EXPECT_FALSE(later->reply("Logged In: ").empty());
    // The waiting connect completes with its next SYN.
    EXPECT_EQ(::poll(&pfd, 1, 10000), 1);
    int error = -1;
    socklen_t length = sizeof error;
    ::getsockopt(waiting, SOL_SOCKET, SO_ERROR, &error, &length);
    EXPECT_EQ(error, 0);
    ::close(waiting);
}

// With "live" the switches reach the connections already open; N counts from a connection's start.
TEST_F(FaultTest, LiveSwitchesReachOpenConnections) {
    start("none");
    auto c = loggedIn();
    EXPECT_FALSE(c->reply("Logged In: ").empty());
    const auto set = httpGet(sim_->portalPort(), "/hostsim/fault?set=bye-after%3D0&live");
    EXPECT_EQ(set.status, 200);
    EXPECT_NE(set.body.find("open connections: bye-after=0"), std::string::npos) << set.body;
    ASSERT_TRUE(c->command("shoutcast_server_status,"));
    EXPECT_EQ(c->chunk(), "/bye");  // instead of the status report
    EXPECT_TRUE(c->waitClosed());

    // Without it, only new connections.
    ASSERT_EQ(httpGet(sim_->portalPort(), "/hostsim/fault?set=none&live").status, 200);
    auto d = loggedIn();
    EXPECT_FALSE(d->reply("Logged In: ").empty());
    ASSERT_EQ(httpGet(sim_->portalPort(), "/hostsim/fault?set=close-after%3D0").status, 200);
    ASSERT_TRUE(d->command("shoutcast_server_status,"));
    EXPECT_FALSE(d->reply("Server Status:").empty());
}

// A host restart as its clients see it: every session closed at once, orderly, and the next login
// answered.
TEST_F(FaultTest, DropClosesEveryOpenConnectionAndKeepsListening) {
    start("none");
    auto a = loggedIn();
    auto b = loggedIn();
    EXPECT_FALSE(a->reply("Logged In: ").empty());
    EXPECT_FALSE(b->reply("Logged In: ").empty());
    const auto dropped = httpGet(sim_->portalPort(), "/hostsim/fault?drop");
    EXPECT_EQ(dropped.status, 200);
    EXPECT_NE(dropped.body.find("dropped 2 open"), std::string::npos) << dropped.body;
    for (auto* c : {a.get(), b.get()}) {
        EXPECT_TRUE(c->waitClosed());
        EXPECT_EQ(c->lastError(), 0);
    }
    auto again = loggedIn();
    EXPECT_FALSE(again->reply("Logged In: ").empty());
}

TEST_F(FaultTest, SwitchesCanBeSetAtRunTime) {
    start("none");
    const auto set = httpGet(sim_->portalPort(), "/hostsim/fault?set=close-after%3D1");
    EXPECT_EQ(set.status, 200);
    EXPECT_NE(set.body.find("close-after=1"), std::string::npos);
    EXPECT_EQ(httpGet(sim_->portalPort(), "/hostsim/fault?set=explode").status, 400);
    {
        auto c = loggedIn();
        EXPECT_FALSE(c->reply("Logged In: ").empty());
        EXPECT_TRUE(c->waitClosed());
    }
    EXPECT_EQ(httpGet(sim_->portalPort(), "/hostsim/fault?set=none").status, 200);
    auto c = loggedIn();
    EXPECT_FALSE(c->reply("Logged In: ").empty());
    // One connection can switch its own faults with a control block.
    ASSERT_TRUE(c->sendBlock("hostsim_fault,reset-after=2"));
    ASSERT_TRUE(c->command("shoutcast_server_status,"));
    EXPECT_FALSE(c->reply("Server Status:").empty());
    EXPECT_TRUE(c->waitClosed());
    EXPECT_EQ(c->lastError(), ECONNRESET);
}

}  // namespace
}  // namespace hostsim
