// The service server driven over a real socket by a test client, the way the desktop program uses it.
#include <fstream>
#include <memory>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "hostsim.h"
#include "test_client.h"

namespace hostsim {
namespace {

using namespace test;

const Account kTricky{"my dj&x=y?", "p w&d=1", 320, false, 8010};

Options testOptions(const std::filesystem::path& data) {
    Options options;
    options.service = {"127.0.0.1", 0};
    options.portal = {"127.0.0.1", 0};
    options.dataDir = data;
    options.keepaliveSeconds = 0;
    options.accounts = defaultAccounts();
    options.accounts.push_back(kTricky);
    return options;
}

// What the client's status parser takes from a report: the state phrase and the third word of each field.
struct Status {
    int state = -1;
    std::string ip;
    std::string port;
    std::string bitrate;
};

std::string thirdWord(const std::string& field) {
    std::vector<std::string> words;
    std::string word;
    for (const char ch : field) {
        if (ch == ' ') {
            words.push_back(word);
            word.clear();
        } else {
            word += ch;
        }
    }
    words.push_back(word);
    return words.size() > 2 ? words[2] : "";
}

Status parseStatus(const std::string& reply) {
    Status status;
    const auto begin = reply.find("Server Status");
    const auto end = reply.find("Status End", begin);
    if (begin == std::string::npos || end == std::string::npos) {
        return status;
    }
    std::stringstream body(reply.substr(begin, end - begin));
    std::string field;
    while (std::getline(body, field, '"')) {
        if (field.find("Stream IP:") != std::string::npos) {
            status.ip = thirdWord(field);
        } else if (field.find("Stream Port:") != std::string::npos) {
            status.port = thirdWord(field);
        } else if (field.find("Server Status:") != std::string::npos) {
            const char* phrases[] = {"Server is currently offline", "Server is Online. Connect a DJ",
                                     "Server is currently up and public"};
            for (int i = 0; i < 3; ++i) {
                if (field.find(phrases[i]) != std::string::npos) {
                    status.state = i;
                }
            }
        } else if (field.find("Max. Bitrate:") != std::string::npos) {
            status.bitrate = thirdWord(field);
        }
    }
    return status;
}

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override { start(); }

    void start(const std::function<void(Options&)>& tweak = {}) {
        Options options = testOptions(dir_.path());
        if (tweak) {
            tweak(options);
        }
        sim_ = std::make_unique<HostSim>(options);
        std::string error;
        ASSERT_TRUE(sim_->start(error)) << error;
    }

    std::unique_ptr<ServiceClient> client(const std::string& user = "dj",
                                          const std::string& password = "djpass") {
        auto c = std::make_unique<ServiceClient>(sim_->servicePort());
        EXPECT_TRUE(c->connected());
        EXPECT_TRUE(c->login(user, password));
        const std::string reply = c->reply("Logged In: ");
        EXPECT_FALSE(reply.empty()) << "no login confirmation for " << user;
        return c;
    }

    // Sends a command and returns its reply, checking it lands where the client should put it.
    std::string ask(ServiceClient& c, std::string_view word, std::string_view action, Route expected,
                    std::string_view keyword) {
        EXPECT_TRUE(c.command(word, action));
        const std::string reply = c.reply(keyword);
        EXPECT_FALSE(reply.empty()) << word << ": no reply holding " << keyword;
        EXPECT_EQ(routeOf(reply), expected) << word << " -> " << reply;
        return reply;
    }

    Status status(ServiceClient& c) {
        return parseStatus(ask(c, "shoutcast_server_status,", "", Route{11, false}, "Server Status:"));
    }

    ScratchDir dir_;
    std::unique_ptr<HostSim> sim_;
};

int loginIdOf(std::string reply) {
    // As the client reads it: cut at "%", then the digits between the first and the second "=".
    reply = reply.substr(0, reply.find('%'));
    const auto first = reply.find('=');
    if (first == std::string::npos) {
        return 0;
    }
    return std::atoi(reply.substr(first + 1, reply.find('=', first + 1) - first - 1).c_str());
}

TEST_F(ServiceTest, LoginAnswersWithAGreetingAndAnIdOrFails) {
    struct Case {
        std::string first;
        std::string second;
        bool ok;
    };
    const Case cases[] = {
        {"dj", "Username,dj,djpass", true},
        {kTricky.user, "Username," + kTricky.user + "," + kTricky.password, true},
        {"dj", "Username,dj,wrong", false},
        {"dj", "Username,dj,djpass ", false},
        {"demo", "Username,dj,djpass", false},
        {"", "Username,,", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.second);
        ServiceClient client(sim_->servicePort());
        ASSERT_TRUE(client.sendBlock(c.first));
        ASSERT_TRUE(client.sendBlock(c.second));
        const auto reply = client.chunk();
        ASSERT_TRUE(reply);
        if (c.ok) {
            EXPECT_EQ(reply->rfind("Logged In: ", 0), 0u) << *reply;
            EXPECT_GT(loginIdOf(*reply), 0) << *reply;
        } else {
            EXPECT_EQ(*reply, "Failed login.");
            EXPECT_EQ(routeOf(*reply), (Route{12, true}));
        }
    }
}

TEST_F(ServiceTest, EveryCommandRoutesWhereTheClientExpects) {
    auto c = client();
    struct Step {
        const char* word;
        const char* action;
        Route route;
        const char* keyword;
    };
    const Step steps[] = {
        {"shoutcast_server_start,", "startnow", {3, true}, "Shoutcast server started."},
        {"shoutcast_server_restart,", "restartnow", {3, true}, "Shoutcast server restarted."},
        {"shoutcast_server_clearlogs,", "flushlogsnow", {3, true}, "Shoutcast server log cleared."},
        {"shoutcast_dj_start,", "startnow", {8, true}, "Shoutcast AutoDJ started"},
        {"shoutcast_dj_next,", "nextsongnow", {8, true}, "Shoutcast AutoDJ now playing"},
        {"shoutcast_dj_shuffle,", "shufflenow", {8, true}, "Shoutcast AutoDJ shuffled"},
        {"shoutcast_dj_reload,", "reloadplaylistnow", {8, true}, "Shoutcast AutoDJ reloaded"},
        {"shoutcast_dj_restart,", "restartnow", {8, true}, "Shoutcast AutoDJ restarted"},
        {"shoutcast_dj_getconfig,", "", {4, false}, "Shoutcast dj getconfig"},
        {"shoutcast_dj_getlogs,", "", {5, false}, "Shoutcast AutoDJ Logs"},
        {"shoutcast_dj_clearlogs,", "flushlogsnow", {8, true}, "Shoutcast AutoDJ log cleared."},
        {"shoutcast_tv_start,", "startnow", {10, true}, "Shoutcast AutoTV not started"},
        {"shoutcast_dj_stop,", "stopnow", {8, true}, "Shoutcast AutoDJ stopped."},
        {"shoutcast_tv_start,", "startnow", {10, true}, "Shoutcast AutoTV started"},
        {"shoutcast_tv_restart,", "restartnow", {10, true}, "Shoutcast AutoTV restarted"},
        {"shoutcast_tv_getconfig,", "", {9, false}, "Shoutcast tv getconfig"},
        {"shoutcast_tv_getlogs,", "", {6, false}, "Shoutcast AutoTV Logs"},
        {"shoutcast_tv_clearlogs,", "flushlogsnow", {10, true}, "Shoutcast AutoTV log cleared."},
        {"shoutcast_tv_stop,", "stopnow", {10, true}, "Shoutcast AutoTV stopped."},
        {"shoutcast_account_summary,", "startnow", {7, false}, "Shoutcast Account Summary"},
        {"shoutcast_server_status,", "", {11, false}, "Server Status:"},
        {"shoutcast_server_getcontent,", "", {2, false}, "Shoutcast server content"},
        {"shoutcast_server_stop,", "stopnow", {3, true}, "Shoutcast server stopped."},
        {"shoutcast_dj_stop,", "stopnow", {8, true}, "Shoutcast AutoDJ is not running."},
        {"shoutcast_dj_next,", "nextsongnow", {8, true}, "Shoutcast AutoDJ is not running."},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.word) + " " + step.action);
        ask(*c, step.word, step.action, step.route, step.keyword);
    }
}

TEST_F(ServiceTest, StatusFollowsTheServices) {
    auto c = client();
    struct Step {
        const char* word;
        const char* action;
        int state;
    };
    const Step steps[] = {
        {nullptr, nullptr, 0},
        {"shoutcast_dj_start,", "startnow", 0},  // refused: no server to feed
        {"shoutcast_server_start,", "startnow", 1},
        {"shoutcast_dj_start,", "startnow", 2},
        {"shoutcast_dj_stop,", "stopnow", 1},
        {"shoutcast_tv_start,", "startnow", 2},
        {"shoutcast_server_stop,", "stopnow", 0},
        {"shoutcast_server_start,", "startnow", 1},  // the players went down with the server
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.word ? step.word : "initial");
        if (step.word != nullptr) {
            ASSERT_TRUE(c->command(step.word, step.action));
            ASSERT_FALSE(c->chunk()->empty());
        }
        const Status s = status(*c);
        EXPECT_EQ(s.state, step.state);
        EXPECT_EQ(s.ip, "127.0.0.1");
        EXPECT_EQ(s.port, "8000");
        EXPECT_EQ(s.bitrate, "320");
    }
}

TEST_F(ServiceTest, PlayerStartIsRefusedWhileTheServerIsStopped) {
    auto c = client();
    const auto dj = ask(*c, "shoutcast_dj_start,", "startnow", Route{8, true}, "Shoutcast AutoDJ");
    EXPECT_NE(dj.find("server is stopped"), std::string::npos) << dj;
    const auto tv = ask(*c, "shoutcast_tv_start,", "startnow", Route{10, true}, "Shoutcast AutoTV");
    EXPECT_NE(tv.find("server is stopped"), std::string::npos) << tv;
    EXPECT_FALSE(sim_->host().services(0).dj);
    EXPECT_FALSE(sim_->host().services(0).tv);
}

TEST_F(ServiceTest, ServerSettingsComeAsTwoRepliesAndASaveIsReadBack) {
    auto c = client();
    ASSERT_TRUE(c->command("shoutcast_server_getconfig,"));
    const auto settings = c->chunk();
    const auto content = c->chunk();
    ASSERT_TRUE(settings && content);
    EXPECT_EQ(routeOf(*settings), (Route{1, false})) << *settings;
    EXPECT_EQ(routeOf(*content), (Route{2, false})) << *content;
    for (const char* key :
         {"maxListeners", "maxListOptions", "connectPassword", "adminPassword", "showLastSongs",
          "autoDisconnectListener", "sourceDisconnectTime", "publicDirectoryListing", "allowRelaying",
          "allowPublicRelaying", "relayingServerPort", "relayServerIP", "playIntroFile", "songBackupFile",
          "titleFormat", "URLFormat", "listenerTimer", "ripOnly"}) {
        EXPECT_TRUE(item(*settings, key)) << key;
    }
    EXPECT_EQ(item(*settings, "relayingServerPort"), ";8000");  // switched off
    EXPECT_EQ(content->substr(content->size() - 5), "|^end");
    EXPECT_NE(content->find("|intro.mp3|"), std::string::npos);

    ASSERT_TRUE(
        c->settings("shoutcast_server_setconfig,",
                    "AdminPassword=adm 2|ConnectPassword=src|MaxUser=100|ShowLastSongs=20|AutoDumpUsers=No|"
                    "AutoDumpSourceTime=45|PublicServer=never|AllowRelay=No|AllowPublicRelay=Yes|"
                    "RelayPortEnabled=on|RelayPort=8100|RelayServer=10.0.0.1|"
                    "PlayIntroFileEnabled=on|IntroSongFile=station-id.mp3|CustomIntroFile=|"
                    "BackupSongFile=backup.mp3|CustomBackupFile=mine.mp3|"
                    "TitleFormatEnabled=on|TitleFormat=On air %s|URLFormat=|ListenerTimer=30|"
                    "RIPOnlyEnabled=on|RIPOnly=Yes|"));
    const auto saved = c->reply("Shoutcast server configuration saved.");
    EXPECT_EQ(saved, "Shoutcast server configuration saved.");

    ASSERT_TRUE(c->command("shoutcast_server_getconfig,"));
    const auto after = c->reply("Shoutcast server getconfig");
    const std::pair<const char*, const char*> expected[] = {
        {"adminPassword", "adm 2"},
        {"maxListeners", "100"},
        {"showLastSongs", "20"},
        {"autoDisconnectListener", "0"},
        {"sourceDisconnectTime", "45"},
        {"publicDirectoryListing", "never"},
        {"allowRelaying", "No"},
        {"relayingServerPort", "8100"},
        {"relayServerIP", ";10.0.0.1"},
        {"playIntroFile", "station-id.mp3"},
        {"songBackupFile", ";mine.mp3"},
        {"titleFormat", "On air %s"},
        {"URLFormat", ";"},
        {"listenerTimer", ";30"},
        {"ripOnly", "Yes"},
    };
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(item(after, key), value) << key << " in " << after;
    }
    EXPECT_FALSE(c->reply("Shoutcast server content").empty());
}

TEST_F(ServiceTest, PlayerSettingsAreStoredAsCodesAndSurviveARestart) {
    {
        auto c = client();
        ASSERT_TRUE(
            c->settings("shoutcast_dj_setconfig,",
                        "Password=pw|PlaylistFile=rock.lst|StreamTitle=Rock Radio|StreamURL=http://r.example|"
                        "Genre=Rock|Shuffle=No|Bitrate=192000|SampleRate=22050|Channels=Mono|Quality=3|"
                        "CrossfadeMode=Fade Out|CrossfadeLength=5000|Public=No|AIM=a|ICQ=1|IRC=#r|"));
        EXPECT_EQ(routeOf(c->reply("Shoutcast AutoDJ configuration saved.")), (Route{8, true}));
        ASSERT_TRUE(
            c->settings("shoutcast_tv_setconfig,",
                        "Password=tvpw|PlaylistFile=clips.lst|AutoReconnect=No|StreamTitle=Clip TV|"
                        "StreamURL=|Genre=Clips|Bitrate=250|SampleRate=22050|Public=No|AIM=|ICQ=|IRC=|"));
        EXPECT_EQ(routeOf(c->reply("Shoutcast AutoTV configuration saved.")), (Route{10, true}));
    }
    sim_->stop();
    start();  // same data directory: a fresh process would read the same files
    auto c = client();
    const auto dj = ask(*c, "shoutcast_dj_getconfig,", "", Route{4, false}, "Shoutcast dj getconfig");
    const std::pair<const char*, const char*> djExpected[] = {
        {"playListFile", "rock.lst"},
        {"password", "pw"},
        {"streamTitle", "Rock Radio"},
        {"genre", "Rock"},
        {"shuffle", "0"},
        {"bitrate", "192000"},
        {"sampleRate", "22050"},
        {"channels", "1"},
        {"quality", "3"},
        {"crossfadeMode", "2"},
        {"crossfadeLength", "5000"},
        {"public", "0"},
        {"aim", "a"},
        {"icq", "1"},
        {"irc", "#r"},
        {"maxBitrate", "320"},
        {"playListList", "main.lst;rock.lst;chill.lst"},
    };
    for (const auto& [key, value] : djExpected) {
        EXPECT_EQ(item(dj, key), value) << key;
    }
    const auto tv = ask(*c, "shoutcast_tv_getconfig,", "", Route{9, false}, "Shoutcast tv getconfig");
    const std::pair<const char*, const char*> tvExpected[] = {
        {"playListFile", "clips.lst"},
        {"password", "tvpw"},
        {"streamTitle", "Clip TV"},
        {"streamURL", ""},
        {"autoReconnect", "No"},
        {"bitrate", "250"},
        {"public", "No"},
        {"playListList", "videos.lst;clips.lst"},
        {"screenLog", "0"},
        {"realTime", "1"},
        {"maxBitrate", "320"},
    };
    for (const auto& [key, value] : tvExpected) {
        EXPECT_EQ(item(tv, key), value) << key;
    }
}

TEST_F(ServiceTest, SettingsThatCannotBeCarriedBackAreRefusedOneByOne) {
    auto c = client();
    ASSERT_TRUE(c->settings("shoutcast_dj_setconfig,",
                            "Genre=Jazz|Bitrate=999000|PlaylistFile=nope.lst|StreamURL=http://x/?a=b|"
                            "StreamTitle=Shoutcast server news|Shuffle=maybe|Channels=|Extra=1|"));
    const auto reply = c->reply("Shoutcast AutoDJ configuration saved.");
    EXPECT_EQ(routeOf(reply), (Route{8, true})) << reply;
    for (const char* refused :
         {"Bitrate", "PlaylistFile", "StreamURL", "StreamTitle", "Shuffle", "Channels", "Extra"}) {
        EXPECT_NE(reply.find(refused), std::string::npos) << refused << " in " << reply;
    }
    const auto dj = ask(*c, "shoutcast_dj_getconfig,", "", Route{4, false}, "Shoutcast dj getconfig");
    EXPECT_EQ(item(dj, "genre"), "Jazz");
    EXPECT_EQ(item(dj, "bitrate"), "128000");
    EXPECT_EQ(item(dj, "playListFile"), "main.lst");
    EXPECT_EQ(item(dj, "streamTitle"), "My Station");
    EXPECT_EQ(item(dj, "channels"), "2");
}

TEST_F(ServiceTest, ASettingsRequestCutByItsBlockSavesNothing) {
    auto c = client();
    std::string items = "Genre=Cut|";
    while (items.size() < 1200) {
        items += "AIM=xxxxxxxxxx|";
    }
    ASSERT_TRUE(c->settings("shoutcast_dj_setconfig,", items));
    const auto reply = c->reply("Shoutcast AutoDJ");
    EXPECT_NE(reply.find("nothing was saved"), std::string::npos) << reply;
    const auto dj = ask(*c, "shoutcast_dj_getconfig,", "", Route{4, false}, "Shoutcast dj getconfig");
    EXPECT_EQ(item(dj, "genre"), "Various");
}

TEST_F(ServiceTest, CredentialsAreMatchedWholeAndChecked) {
    auto c = client(kTricky.user, kTricky.password);
    ask(*c, "shoutcast_server_start,", "startnow", Route{3, true}, "Shoutcast server started.");
    EXPECT_EQ(status(*c).port, "8010");
    ASSERT_TRUE(c->settings("shoutcast_dj_setconfig,", "Genre=Blues|"));
    EXPECT_FALSE(c->reply("Shoutcast AutoDJ configuration saved.").empty());

    c->setCredentials(kTricky.user, "p w&d=2");
    struct Case {
        const char* word;
        const char* action;
        Route route;
        const char* keyword;
    };
    const Case refused[] = {
        {"shoutcast_server_stop,", "stopnow", {3, true}, "Shoutcast server: Error - Invalid login"},
        {"shoutcast_server_status,", "", {11, true}, "Server Status: Error - Invalid login"},
        {"shoutcast_server_getconfig,", "", {1, true}, "Invalid login"},
        {"shoutcast_dj_getlogs,", "", {5, true}, "Invalid login"},
        {"shoutcast_account_summary,", "startnow", {7, true}, "Invalid login"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.word);
        ask(*c, r.word, r.action, r.route, r.keyword);
    }
    EXPECT_TRUE(sim_->host().services(2).server);

    c->setCredentials(kTricky.user, kTricky.password);
    ask(*c, "shoutcast_server_stop,", "restartnow", Route{3, true}, "Error - this request does not take");
    ask(*c, "shoutcast_server_status,", "startnow", Route{11, true}, "Error - this request does not take");
}

TEST_F(ServiceTest, DemoAccountGetsNoLogsAndNoAutoTV) {
    auto c = client("demo", "demo");
    ask(*c, "shoutcast_dj_getlogs,", "", Route{5, true}, "Disabled for demo user");
    ask(*c, "shoutcast_dj_clearlogs,", "flushlogsnow", Route{8, true}, "Disabled for demo user");
    ask(*c, "shoutcast_tv_getlogs,", "", Route{6, true}, "Shoutcast AutoTV Logs");
    ask(*c, "shoutcast_tv_getconfig,", "", Route{9, true}, "Shoutcast tv getconfig");
    const auto summary =
        ask(*c, "shoutcast_account_summary,", "startnow", Route{7, false}, "Shoutcast Account Summary");
    EXPECT_NE(summary.find("demo account"), std::string::npos);
    const Status s = status(*c);
    EXPECT_EQ(s.bitrate, "128");
    EXPECT_EQ(s.port, "8002");
}

TEST_F(ServiceTest, LogsGrowAndCanBeCleared) {
    auto c = client();
    ask(*c, "shoutcast_server_start,", "startnow", Route{3, true}, "Shoutcast server");
    ask(*c, "shoutcast_dj_start,", "startnow", Route{8, true}, "Shoutcast AutoDJ");
    const auto next = ask(*c, "shoutcast_dj_next,", "nextsongnow", Route{8, true}, "now playing");
    const std::string song = next.substr(next.find(": ") + 2);
    const auto log = ask(*c, "shoutcast_dj_getlogs,", "", Route{5, false}, "Shoutcast AutoDJ Logs");
    EXPECT_NE(log.find("now playing: " + song), std::string::npos) << log;
    ask(*c, "shoutcast_dj_clearlogs,", "flushlogsnow", Route{8, true}, "cleared");
    const auto empty = ask(*c, "shoutcast_dj_getlogs,", "", Route{5, false}, "Shoutcast AutoDJ Logs");
    EXPECT_EQ(empty.find(song), std::string::npos) << empty;
    EXPECT_NE(sim_->host().serverLog(0).find("[server] started"), std::string::npos);
}

TEST_F(ServiceTest, LogOffNoticeEndsTheSession) {
    auto c = client();
    ASSERT_TRUE(c->sendBlock("/disconnected", 14));
    EXPECT_TRUE(c->waitClosed());
}

TEST_F(ServiceTest, TwoClientsAtOnceShareTheirAccount) {
    auto a = client();
    auto b = client();
    auto other = client("demo", "demo");
    ask(*a, "shoutcast_server_start,", "startnow", Route{3, true}, "Shoutcast server started.");
    EXPECT_EQ(status(*b).state, 1);
    EXPECT_EQ(status(*other).state, 0);
    // Requests from both sides in flight together; each answer reaches its own asker.
    ASSERT_TRUE(b->command("shoutcast_dj_getconfig,"));
    ASSERT_TRUE(a->command("shoutcast_account_summary,", "startnow"));
    ASSERT_TRUE(other->command("shoutcast_server_getconfig,"));
    EXPECT_EQ(routeOf(*b->chunk()), (Route{4, false}));
    EXPECT_EQ(routeOf(*a->chunk()), (Route{7, false}));
    EXPECT_EQ(routeOf(*other->chunk()), (Route{1, false}));
    ASSERT_TRUE(a->sendBlock("/disconnected", 14));
    EXPECT_TRUE(a->waitClosed());
    EXPECT_EQ(status(*b).state, 1);
}

TEST_F(ServiceTest, GarbageLeavesTheServerServing) {
    std::mt19937 random(1234);
    {
        ServiceClient junk(sim_->servicePort());
        std::string bytes(5000, '\0');
        for (auto& ch : bytes) {
            ch = static_cast<char>(random());
        }
        junk.sendRaw(bytes);
    }
    {
        ServiceClient vanishing(sim_->servicePort());
        vanishing.sendRaw(std::string("shoutcast_server_setconfig,?loginsc=dj") + std::string(100, 'x'));
    }
    auto c = client();
    ASSERT_TRUE(c->sendBlock("no comma here"));
    EXPECT_EQ(routeOf(c->reply("unknown command")), (Route{3, true}));
    ASSERT_TRUE(c->sendBlock("shoutcast_server_explode,?loginsc=dj&passwordsc=djpass"));
    EXPECT_EQ(routeOf(c->reply("unknown command")), (Route{3, true}));
    ASSERT_TRUE(c->sendBlock(""));                      // zero fill: nothing to answer
    ASSERT_TRUE(c->sendRaw(std::string(256, '\xff')));  // no NUL, no comma
    EXPECT_FALSE(c->reply("unknown command").empty());
    ASSERT_TRUE(c->command("shoutcast_server_status,"));
    EXPECT_FALSE(c->reply("Server Status:").empty());

    auto fresh = client();
    EXPECT_EQ(status(*fresh).state, 0);
}

TEST_F(ServiceTest, KeepAliveSendsTheStatusOfAnIdleSession) {
    sim_->stop();
    start([](Options& o) { o.keepaliveSeconds = 1; });
    auto c = client();
    const auto report = c->reply("Server Status:", 5000ms);
    EXPECT_EQ(routeOf(report), (Route{11, false}));
}

TEST_F(ServiceTest, StoppingTheHostSaysByeToSessions) {
    auto c = client();
    ServiceClient notLoggedIn(sim_->servicePort());
    sim_->stop();
    EXPECT_EQ(c->chunk(), "/bye");
    EXPECT_TRUE(c->waitClosed());
    EXPECT_TRUE(notLoggedIn.waitClosed());
}

TEST_F(ServiceTest, SeedsEveryAccountsFiles) {
    for (const char* folder : {"account-dj", "account-demo", "account-my%20dj%26x%3Dy%3F"}) {
        for (const char* file : {"sc_serv.conf", "sc_trans.conf", "sc_nsv.conf", "sc_serv.log"}) {
            EXPECT_TRUE(std::filesystem::exists(dir_.path() / folder / file)) << folder << "/" << file;
        }
    }
}

}  // namespace
}  // namespace hostsim
