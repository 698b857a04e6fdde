// The pure pieces: block framing, fault switches, accounts file, settings files, query decoding.
#include <fstream>

#include <gtest/gtest.h>

#include "faults.h"
#include "netutil.h"
#include "portal.h"
#include "store.h"
#include "test_client.h"
#include "wire.h"

namespace hostsim {
namespace {

std::string block(std::string_view text, std::size_t size) {
    std::string out(text.substr(0, size));
    out.resize(size, '\0');
    return out;
}

struct FramingCase {
    const char* name;
    std::string bytes;
    bool loginPhase;
    std::vector<std::pair<std::string, std::size_t>> blocks;  // text and size, in order
    std::size_t left;                                         // bytes still waiting for their block
};

TEST(BlockReader, CutsBlocksBySizeTheTextAnnounces) {
    const std::string set = "shoutcast_dj_setconfig,?loginsc=a&passwordsc=b&config=Genre=Pop|";
    const std::vector<FramingCase> cases = {
        {"command",
         block("shoutcast_server_start,?loginsc=a", 256),
         false,
         {{"shoutcast_server_start,?loginsc=a", 256}},
         0},
        {"log-off notice", block("/disconnected", 14), false, {{"/disconnected", 14}}, 0},
        {"log-off in login phase", block("/disconnected", 14), true, {{"/disconnected", 14}}, 0},
        {"settings request", block(set, 1000), false, {{set, 1000}}, 0},
        {"settings word in login phase is a login block",
         block(set, 256) + block("x", 256),
         true,
         {{set, 256}, {"x", 256}},
         0},
        {"two blocks back to back",
         block("a,1", 256) + block("/disconnected", 14),
         false,
         {{"a,1", 256}, {"/disconnected", 14}},
         0},
        {"text cut without NUL", std::string(256, 'x'), false, {{std::string(256, 'x'), 256}}, 0},
        {"settings text cut without NUL",
         "shoutcast_server_setconfig," + std::string(973, 'y'),
         false,
         {{"shoutcast_server_setconfig," + std::string(973, 'y'), 1000}},
         0},
        {"unfinished block waits", block("shoutcast_server_status,", 256).substr(0, 100), false, {}, 100},
        {"unfinished settings block waits", block(set, 1000).substr(0, 300), false, {}, 300},
        {"zero fill only", std::string(256, '\0'), false, {{"", 256}}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BlockReader reader;
        reader.feed(c.bytes.data(), c.bytes.size());
        std::vector<std::pair<std::string, std::size_t>> got;
        while (auto b = reader.next(c.loginPhase)) {
            got.emplace_back(b->text, b->size);
        }
        EXPECT_EQ(got, c.blocks);
        EXPECT_EQ(reader.pending(), c.left);
    }
}

TEST(BlockReader, ByteByByteGivesTheSameBlocks) {
    const std::string bytes = block("shoutcast_server_status,?loginsc=u&passwordsc=p", 256) +
                              block("shoutcast_server_setconfig,?loginsc=u", 1000) +
                              block("/disconnected", 14);
    BlockReader reader;
    std::vector<std::size_t> sizes;
    for (const char ch : bytes) {
        reader.feed(&ch, 1);
        while (auto b = reader.next(false)) {
            sizes.push_back(b->size);
            EXPECT_TRUE(b->terminated);
        }
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t>{256, 1000, 14}));
}

TEST(BlockReader, MarksATextThatFilledItsBlock) {
    BlockReader reader;
    const std::string full = "shoutcast_tv_setconfig," + std::string(977, 'z');
    reader.feed(full.data(), full.size());
    const auto b = reader.next(false);
    ASSERT_TRUE(b);
    EXPECT_FALSE(b->terminated);
    EXPECT_EQ(b->text.size(), 1000u);
}

TEST(EscapeForLog, EscapesEverythingOutsidePrintableAscii) {
    EXPECT_EQ(escapeForLog(std::string("a\0b\r\n\t\\\x7f\xff", 9)), "a\\x00b\\r\\n\\t\\\\\\x7f\\xff");
    EXPECT_EQ(escapeForLog(std::string(10, 'x'), 4), "xxxx... (6 more bytes)");
}

TEST(Faults, SwitchesParse) {
    struct Case {
        const char* switches;
        bool ok;
        const char* described;
    };
    const Case cases[] = {
        {"stall", true, "stall-after=0"},
        {"close-after=3", true, "close-after=3"},
        {"reset-after=0,split=8", true, "reset-after=0,split=8"},
        {"oversize,merge", true, "oversize,merge"},
        {"merge,none", true, "none"},
        {"stall-after=2,,", true, "stall-after=2"},
        {"split=0", false, "none"},
        {"close-after=-1", false, "none"},
        {"close-after=x", false, "none"},
        {"explode", false, "none"},
        {"merge=1", false, "none"},
        {"trickle,flood,nuls,deaf", true, "trickle,flood,nuls,deaf"},
        {"bye-after=0", true, "bye-after=0"},
        {"bye-after=2,trickle,none,nuls", true, "nuls"},
        {"bye-after=", false, "none"},
        {"deaf=1", false, "none"},
        {"trickle=5", false, "none"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.switches);
        Faults faults;
        std::string error;
        EXPECT_EQ(applyFaultList(c.switches, faults, error), c.ok);
        EXPECT_EQ(describeFaults(faults), c.described);
        EXPECT_EQ(error.empty(), c.ok);
    }
}

TEST(ListenAddress, NumericAddressWithAnOptionalPort) {
    const std::pair<const char*, const char*> cases[] = {
        {"::1", "[::1]:28000"},
        {"[::1]", "[::1]:28000"},
        {"[::1]:0", "[::1]:0"},
        {"::", "[::]:28000"},
        {"0.0.0.0", "0.0.0.0:28000"},
        {"127.0.0.1:0", "127.0.0.1:0"},
        {"::1:8000", "[::1:8000]:28000"},  // without brackets the whole is the address
        {"localhost", nullptr},
        {"127.1", nullptr},
        {"28000", nullptr},
        {"[127.0.0.1]:0", nullptr},
        {"[::1]x", nullptr},
        {"[::1]:", nullptr},
        {"127.0.0.1:65536", nullptr},
        {"", nullptr},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        Endpoint at{"127.0.0.1", 28000};
        EXPECT_EQ(parseListenAddress(text, at), expected != nullptr);
        EXPECT_EQ(formatEndpoint(at), expected ? expected : "127.0.0.1:28000");
    }
}

TEST(Accounts, FileParses) {
    std::vector<Account> accounts;
    std::string error;
    ASSERT_TRUE(parseAccounts("# comment\r\n\nmy user&x=y\tp a?ss\t320\tnormal\ndemo\tdemo\t96\tdemo\t9000\n",
                              accounts, error))
        << error;
    ASSERT_EQ(accounts.size(), 2u);
    EXPECT_EQ(accounts[0].user, "my user&x=y");
    EXPECT_EQ(accounts[0].password, "p a?ss");
    EXPECT_EQ(accounts[0].maxBitrate, 320);
    EXPECT_FALSE(accounts[0].demo);
    EXPECT_EQ(accounts[0].streamPort, 8000);
    EXPECT_TRUE(accounts[1].demo);
    EXPECT_EQ(accounts[1].streamPort, 9000);
}

TEST(Accounts, BadLinesAreRefusedWithTheirNumber) {
    const std::pair<const char*, const char*> cases[] = {
        {"a\tb\t128\n", "line 1"},
        {"a\tb\tfast\tnormal\n", "line 1"},
        {"a\tb\t128\tnormal\n\na\tc\t128\tdemo\n", "line 3"},
        {"a\tb\t128\tpremium\n", "line 1"},
        {"a\tb\t128\tnormal\t70000\n", "line 1"},
        {"# only comments\n", "no accounts"},
        {"\tb\t128\tnormal\n", "line 1: empty user name"},
        {"a\tb\t128\tnormal\nx,y\tb\t128\tnormal\n", "line 2: user name 'x,y' holds a ','"},
        {"a\tb\t128\tnormal\n,\tb\t128\tnormal\n", "line 2"},
    };
    for (const auto& [text, why] : cases) {
        SCOPED_TRACE(text);
        std::vector<Account> accounts;
        std::string error;
        EXPECT_FALSE(parseAccounts(text, accounts, error));
        EXPECT_NE(error.find(why), std::string::npos) << error;
    }
}

TEST(Store, AccountFolderNamesAreSafeAndDistinct) {
    EXPECT_EQ(accountFolderName("dj"), "account-dj");
    EXPECT_EQ(accountFolderName(".."), "account-..");
    EXPECT_EQ(accountFolderName("a/b"), "account-a%2Fb");
    EXPECT_NE(accountFolderName("a b"), accountFolderName("a+b"));
    EXPECT_EQ(accountFolderName("").find('/'), std::string::npos);
}

TEST(Store, ConfFileKeepsAnyValueAcrossSaveAndLoad) {
    test::ScratchDir dir;
    ConfFile conf({{"Plain", "value"}, {"Tricky", "a\\b\nc\rd=e|f"}, {"Empty", ""}});
    ASSERT_TRUE(conf.save(dir.path() / "x.conf"));
    ConfFile loaded({{"Plain", "default"}, {"OnlyDefault", "kept"}});
    ASSERT_TRUE(loaded.mergeFrom(dir.path() / "x.conf"));
    EXPECT_EQ(loaded.get("Plain"), "value");
    EXPECT_EQ(loaded.get("Tricky"), "a\\b\nc\rd=e|f");
    EXPECT_TRUE(loaded.has("Empty"));
    EXPECT_EQ(loaded.get("OnlyDefault"), "kept");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "x.conf.tmp"));
}

TEST(Store, LogTailStartsAtALineBoundary) {
    test::ScratchDir dir;
    const auto file = dir.path() / "l.log";
    for (int i = 0; i < 100; ++i) {
        appendLogLine(file, "line " + std::to_string(i));
    }
    const std::string tail = readLogTail(file, 200);
    EXPECT_LE(tail.size(), 200u);
    EXPECT_NE(tail.find("line 99"), std::string::npos);
    EXPECT_EQ(tail.compare(0, 2, "20"), 0) << tail;  // a time stamp opens every line
    clearLog(file);
    EXPECT_EQ(readLogTail(file, 200), "");
}

TEST(Portal, QueryItemsArePercentDecoded) {
    const auto items = parseQuery("a=1%202&b=%41%zz&&c&d=x%3D");
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0], (std::pair<std::string, std::string>{"a", "1 2"}));
    EXPECT_EQ(items[1].second, "A%zz");
    EXPECT_EQ(items[2], (std::pair<std::string, std::string>{"c", ""}));
    EXPECT_EQ(items[3].second, "x=");
    EXPECT_EQ(percentDecode("%"), "%");
    EXPECT_EQ(percentDecode("%4"), "%4");
}

TEST(Portal, PasswordsAreMaskedInTheRequestLog) {
    EXPECT_EQ(
        maskQueryForLog(
            "GET /shoutcast/login.php?action=login&loginform=u&passwordform=s&cret&redirect=x HTTP/1.0"),
        "GET /shoutcast/login.php?action=login&loginform=u&passwordform=*****&redirect=x HTTP/1.0");
    EXPECT_EQ(maskQueryForLog("GET /shoutcast/Ostravel/sclogs.php?loginsc=u&passwordsc=a b HTTP/1.0"),
              "GET /shoutcast/Ostravel/sclogs.php?loginsc=u&passwordsc=***** HTTP/1.0");
}

}  // namespace
}  // namespace hostsim
