// The web portal over real HTTP requests.
#include <memory>

#include <gtest/gtest.h>

#include "hostsim.h"
#include "test_client.h"

namespace hostsim {
namespace {

using namespace test;

class PortalTest : public ::testing::Test {
protected:
    void SetUp() override {
        Options options;
        options.service = {"127.0.0.1", 0};
        options.portal = {"127.0.0.1", 0};
        options.dataDir = dir_.path();
        options.keepaliveSeconds = 0;
        options.accounts = defaultAccounts();
        options.accounts.push_back(Account{"a&b=c d", "p&q r", 320, false, 8010});
        sim_ = std::make_unique<HostSim>(options);
        std::string error;
        ASSERT_TRUE(sim_->start(error)) << error;
    }
    HttpResult get(std::string_view target) { return httpGet(sim_->portalPort(), target); }

    ScratchDir dir_;
    std::unique_ptr<HostSim> sim_;
};

TEST_F(PortalTest, PagesAnswer) {
    struct Case {
        const char* target;
        int status;
        const char* text;
    };
    const Case cases[] = {
        {"/shoutcast", 200, "Log in"},
        {"/shoutcast/", 200, "Log in"},
        {"/shoutcast/faq.php", 200, "Frequently asked questions"},
        {"/shoutcast/contacts.php", 200, "Support"},
        {"/shoutcast/login.php?action=login&loginform=dj&passwordform=djpass", 200, "Welcome back, dj"},
        {"/shoutcast/login.php?action=login&loginform=dj&passwordform=djpass&redirect=scbilling.php", 200,
         "Billing"},
        {"/shoutcast/login.php?action=login&loginform=dj&passwordform=djpass&redirect=scupgrade.php", 200,
         "Upgrade"},
        {"/shoutcast/login.php?action=login&loginform=dj&passwordform=djpass&redirect=scupgradetv.php", 200,
         "TV"},
        {"/shoutcast/login.php?action=login&loginform=dj&passwordform=djpass&redirect=changeterm.php", 200,
         "Term"},
        {"/shoutcast/login.php?action=login&loginform=dj&passwordform=djpass&redirect=evil.php", 404,
         "no page"},
        {"/shoutcast/login.php?action=login&loginform=dj&passwordform=nope&redirect=scbilling.php", 403,
         "Invalid login"},
        {"/shoutcast/login.php?action=login&loginform=a&b=c d&passwordform=p&q r&redirect=scbilling.php", 200,
         "a&amp;b=c d"},
        {"/shoutcast/login.php?action=login&loginform=a%26b%3Dc%20d&passwordform=p%26q%20r", 200,
         "Welcome back"},
        {"/shoutcast/scbilling.php", 403, "Log in first"},
        {"/shoutcast/nothing.php", 404, "no such page"},
        {"/elsewhere", 404, "no such page"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        const auto result = get(c.target);
        EXPECT_EQ(result.status, c.status);
        EXPECT_NE(result.body.find(c.text), std::string::npos) << result.body;
        EXPECT_NE(result.headers.find("Connection: close"), std::string::npos);
    }
}

TEST_F(PortalTest, TuneInFilesPointAtTheStreamAsked) {
    struct Case {
        const char* type;
        const char* contentType;
        const char* opening;
    };
    const Case cases[] = {
        {"pls", "audio/x-scpls", "[playlist]\r\nNumberOfEntries=1\r\nFile1=http://10.1.2.3:8000/\r\n"},
        {"m3u", "audio/x-mpegurl", "#EXTM3U\r\n"},
        {"asx", "video/x-ms-asf", "<asx version=\"3.0\">"},
        {"ram", "audio/x-pn-realaudio", "http://10.1.2.3:8000/\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        const auto result = get(std::string("/shoutcast/Ostravel/tuneinlinks.php?file=") + c.type +
                                "&host=10.1.2.3&port=8000");
        EXPECT_EQ(result.status, 200);
        EXPECT_NE(result.headers.find(std::string("Content-Type: ") + c.contentType), std::string::npos);
        EXPECT_NE(result.headers.find(std::string("filename=\"listen.") + c.type), std::string::npos);
        EXPECT_EQ(result.body.rfind(c.opening, 0), 0u) << result.body;
        EXPECT_NE(result.body.find("http://10.1.2.3:8000/"), std::string::npos);
    }
}

TEST_F(PortalTest, TuneInWithoutAUsableAddressIsRefused) {
    for (const char* query :
         {"file=pls&host=&port=", "file=pls&host=1.2.3.4&port=0", "file=asx&host=a\"b&port=80",
          "file=m3u&host=a%0Ab&port=80", "file=exe&host=1.2.3.4&port=80"}) {
        SCOPED_TRACE(query);
        EXPECT_EQ(get(std::string("/shoutcast/Ostravel/tuneinlinks.php?") + query).status, 400);
    }
}

TEST_F(PortalTest, ServerLogPageNeedsTheAccount) {
    {
        ServiceClient c(sim_->servicePort());
        ASSERT_TRUE(c.login("dj", "djpass"));
        ASSERT_FALSE(c.reply("Logged In: ").empty());
        ASSERT_TRUE(c.command("shoutcast_server_start,", "startnow"));
        ASSERT_FALSE(c.reply("Shoutcast server started.").empty());
    }
    const auto page = get("/shoutcast/Ostravel/sclogs.php?loginsc=dj&passwordsc=djpass");
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("Shoutcast Server Logs"), std::string::npos);
    EXPECT_NE(page.body.find("[server] started"), std::string::npos) << page.body;

    EXPECT_EQ(get("/shoutcast/Ostravel/sclogs.php?loginsc=a&b=c d&passwordsc=p&q r").status, 200);
    const auto refused = get("/shoutcast/Ostravel/sclogs.php?loginsc=dj&passwordsc=wrong");
    EXPECT_EQ(refused.status, 403);
    EXPECT_EQ(refused.body.find("[server]"), std::string::npos);
}

TEST_F(PortalTest, OnlyGetIsServedAndBadRequestsDoNotStopIt) {
    EXPECT_EQ(httpGet(sim_->portalPort(), "/shoutcast", "POST").status, 405);
    {
        const int fd = connectTo(sim_->portalPort());
        const std::string junk(10000, 'x');
        ::send(fd, junk.data(), junk.size(), MSG_NOSIGNAL);
        ::close(fd);
    }
    {
        const int fd = connectTo(sim_->portalPort());  // says nothing and leaves
        ::close(fd);
    }
    EXPECT_EQ(get("/shoutcast/faq.php").status, 200);
}

}  // namespace
}  // namespace hostsim

namespace hostsim {
namespace {

// The operator's switch: a service stopped behind the client's back shows in the next status report.
TEST_F(PortalTest, ServiceSwitchStartsAndStopsAnAccountsServices) {
    EXPECT_FALSE(sim_->host().services(0).server);
    auto result = get("/hostsim/service?user=dj&do=server_start");
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.body, "Shoutcast server started.\n");
    EXPECT_TRUE(sim_->host().services(0).server);
    result = get("/hostsim/service?user=dj&do=dj_start");
    EXPECT_EQ(result.status, 200);
    EXPECT_TRUE(sim_->host().services(0).dj);
    result = get("/hostsim/service?user=dj&do=server_stop");
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.body, "Shoutcast server stopped. The AutoDJ was stopped with it.\n");
    EXPECT_FALSE(sim_->host().services(0).server);
    EXPECT_FALSE(sim_->host().services(0).dj);
    // Only starts, stops and restarts, of a known account.
    EXPECT_EQ(get("/hostsim/service?user=nobody&do=server_start").status, 400);
    EXPECT_EQ(get("/hostsim/service?user=dj&do=server_setconfig").status, 400);
    EXPECT_EQ(get("/hostsim/service?user=dj&do=account_summary").status, 400);
    EXPECT_EQ(get("/hostsim/service?user=dj&do=dj_getlogs").status, 400);
    EXPECT_EQ(get("/hostsim/service?user=dj").status, 400);
    EXPECT_FALSE(sim_->host().services(0).server);
}

}  // namespace
}  // namespace hostsim
