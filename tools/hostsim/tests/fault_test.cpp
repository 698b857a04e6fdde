// Each fault switch makes the host misbehave the way it says.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

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
