// ostravel-ctl run in-process against the fake service server: the exact blocks each command sends,
// how each kind of answer is printed, and every way a session can fail.
#include <atomic>
#include <memory>
#include <sstream>

#include <gtest/gtest.h>

#include "ctl/ctl.h"
#include "ctl/ctlcommands.h"
#include "fakes/fake_service_server.h"
#include "protocol/commands.h"

namespace ostravel::ctl {
namespace {

using ostravel::testing::FakeServiceServer;

constexpr char kOffline[] =
    "Server Status: Server is currently offline\"Stream IP: 10.0.0.5\"Stream Port: 8000\"Max. Bitrate: "
    "320\"Status End";
constexpr char kNoSource[] =
    "Server Status: Server is Online. Connect a DJ\"Stream IP: 10.0.0.5\"Stream Port: 8000\"Max. Bitrate: "
    "320\"Status End";
constexpr char kPublic[] =
    "Server Status: Server is currently up and public\"Stream IP: 10.0.0.5\"Stream Port: 8000\"Max. Bitrate: "
    "320"
    "\"Current Song: Luna Park - Carousel\"Status End";
constexpr char kLowPlanPublic[] =
    "Server Status: Server is currently up and public\"Stream IP: 10.0.0.5\"Stream Port: 8002\"Max. Bitrate: "
    "128\"Status End";

struct RunResult {
    int status;
    std::string out;
    std::string err;
};

// A host played by the fake server: it welcomes "dj" / "pw", answers every status request with
// `status` (none when empty) and every other request with `answer`.
class CtlSessionTest : public ::testing::Test {
protected:
    CtlSessionTest() {
        server.SetResponder([this](const std::string& text) -> std::vector<std::string> {
            std::lock_guard lock(mutex);
            if (text.rfind("Username,", 0) == 0) {
                return {text == "Username,dj,pw" ? "Logged In: Welcome back, dj=1001" : "Failed login."};
            }
            if (text.rfind("shoutcast_server_status,", 0) == 0) {
                return status.empty() ? std::vector<std::string>{} : std::vector<std::string>{status};
            }
            if (text.rfind("shoutcast_", 0) == 0) return answer;
            return {};
        });
    }

    RunResult Run(std::vector<std::string> args, std::string password = "pw") {
        std::vector<std::string> full = {
            "--user", "dj", "--server", "127.0.0.1:" + std::to_string(server.Port()), "--timeout", "5"};
        full.insert(full.end(), args.begin(), args.end());
        std::ostringstream out, err;
        const int rc = ctl::Run(
            full,
            [&](const std::string& name) -> std::optional<std::string> {
                if (name == kPasswordVariable) return password;
                return std::nullopt;
            },
            out, err);
        return {rc, out.str(), err.str()};
    }

    void Script(std::string statusReport, std::vector<std::string> reply) {
        std::lock_guard lock(mutex);
        status = std::move(statusReport);
        answer = std::move(reply);
    }

    // The blocks after the two login blocks and before the log-off notice, minus status requests
    // (the receiver asks for one after every login).
    std::vector<std::string> CommandBlocks() const {
        std::vector<std::string> found;
        for (const std::string& block : server.Blocks()) {
            const std::string text = block.substr(0, block.find('\0'));
            if (text.rfind("shoutcast_", 0) == 0 && text.rfind("shoutcast_server_status,", 0) != 0)
                found.push_back(block);
        }
        return found;
    }

    std::mutex mutex;
    std::string status;
    std::vector<std::string> answer;
    // Last, so it is destroyed first: its reader threads run the responder, which reads the above.
    FakeServiceServer server;
};

std::string Block(const std::string& text) {
    std::string block = text;
    block.resize(256, '\0');
    return block;
}

// Every command word, the request it sends (user "dj", password "pw"), what the host answers.
struct RequestCase {
    std::vector<std::string> words;
    std::string request;
    std::string reply;
    std::string printed;  // part of standard output
};

const RequestCase kRequestCases[] = {
    {{"server", "start"},
     "shoutcast_server_start,?loginsc=dj&passwordsc=pw&action=startnow",
     "Shoutcast server started.",
     "Shoutcast server started.\n"},
    {{"server", "stop"},
     "shoutcast_server_stop,?loginsc=dj&passwordsc=pw&action=stopnow",
     "Shoutcast server stopped.",
     "Shoutcast server stopped.\n"},
    {{"server", "restart"},
     "shoutcast_server_restart,?loginsc=dj&passwordsc=pw&action=restartnow",
     "Shoutcast server restarted.",
     "restarted"},
    {{"autodj", "start"},
     "shoutcast_dj_start,?loginsc=dj&passwordsc=pw&action=startnow",
     "Shoutcast AutoDJ started.",
     "AutoDJ started"},
    {{"autodj", "stop"},
     "shoutcast_dj_stop,?loginsc=dj&passwordsc=pw&action=stopnow",
     "Shoutcast AutoDJ stopped.",
     "AutoDJ stopped"},
    {{"autodj", "restart"},
     "shoutcast_dj_restart,?loginsc=dj&passwordsc=pw&action=restartnow",
     "Shoutcast AutoDJ restarted.",
     "restarted"},
    {{"autodj", "next"},
     "shoutcast_dj_next,?loginsc=dj&passwordsc=pw&action=nextsongnow",
     "Shoutcast AutoDJ now playing: X",
     "now playing: X"},
    {{"autodj", "shuffle"},
     "shoutcast_dj_shuffle,?loginsc=dj&passwordsc=pw&action=shufflenow",
     "Shoutcast AutoDJ shuffled.",
     "shuffled"},
    {{"autodj", "reload"},
     "shoutcast_dj_reload,?loginsc=dj&passwordsc=pw&action=reloadplaylistnow",
     "Shoutcast AutoDJ reloaded.",
     "reloaded"},
    {{"autotv", "start"},
     "shoutcast_tv_start,?loginsc=dj&passwordsc=pw&action=startnow",
     "Shoutcast AutoTV started.",
     "AutoTV started"},
    {{"autotv", "stop"},
     "shoutcast_tv_stop,?loginsc=dj&passwordsc=pw&action=stopnow",
     "Shoutcast AutoTV stopped.",
     "AutoTV stopped"},
    {{"autotv", "restart"},
     "shoutcast_tv_restart,?loginsc=dj&passwordsc=pw&action=restartnow",
     "Shoutcast AutoTV restarted.",
     "restarted"},
    {{"logs", "dj"},
     "shoutcast_dj_getlogs,?loginsc=dj&passwordsc=pw",
     "Shoutcast AutoDJ Logs\r\nline one\r\nline two\r\n",
     "Shoutcast AutoDJ Logs\nline one\nline two\n"},
    {{"logs", "tv"},
     "shoutcast_tv_getlogs,?loginsc=dj&passwordsc=pw",
     "Shoutcast AutoTV Logs\r\nclip\r\n",
     "Shoutcast AutoTV Logs\nclip\n"},
    {{"logs", "clear", "server"},
     "shoutcast_server_clearlogs,?loginsc=dj&passwordsc=pw&action=flushlogsnow",
     "Shoutcast server log cleared.",
     "log cleared"},
    {{"logs", "clear", "dj"},
     "shoutcast_dj_clearlogs,?loginsc=dj&passwordsc=pw&action=flushlogsnow",
     "Shoutcast AutoDJ log cleared.",
     "log cleared"},
    {{"logs", "clear", "tv"},
     "shoutcast_tv_clearlogs,?loginsc=dj&passwordsc=pw&action=flushlogsnow",
     "Shoutcast AutoTV log cleared.",
     "log cleared"},
    {{"summary"},
     "shoutcast_account_summary,?loginsc=dj&passwordsc=pw&action=startnow",
     "Shoutcast Account Summary\r\nAccount: dj\r\n",
     "Account: dj\n"},
    {{"config", "show", "server"},
     "shoutcast_server_getconfig,?loginsc=dj&passwordsc=pw",
     "",
     "maxListeners=50\n"},
    {{"config", "show", "autodj"},
     "shoutcast_dj_getconfig,?loginsc=dj&passwordsc=pw",
     "Shoutcast dj getconfig|playListFile=rock.lst|genre=Rock",
     "playListFile=rock.lst\n"},
    {{"config", "show", "autotv"},
     "shoutcast_tv_getconfig,?loginsc=dj&passwordsc=pw",
     "Shoutcast tv getconfig|playListFile=v.lst|bitrate=300",
     "bitrate=300\n"},
};

TEST_F(CtlSessionTest, EveryCommandSendsItsOwnRequestBlockAndPrintsTheAnswer) {
    for (const RequestCase& c : kRequestCases) {
        std::string words;
        for (const auto& w : c.words) words += w + " ";
        SCOPED_TRACE(words);
        server.ForgetBlocks();
        std::vector<std::string> reply = {c.reply};
        if (c.words.back() == "server" && c.words[0] == "config") {
            reply = {"Shoutcast server getconfig|maxListeners=50|relayingServerPort=;8000",
                     "Shoutcast server content|intro.mp3|^end"};
        }
        // AutoTV commands wait for a report showing a plan that has it; the others get none, so
        // that no report can run into their answer on the wire.
        const bool video =
            FindCommand(FindCtlCommand(c.words)->commandId)->rule == EnableRule::LoggedInAndVideo;
        Script(video ? kPublic : "", reply);
        const RunResult r = Run(c.words);
        EXPECT_EQ(r.status, kExitOk) << r.err;
        EXPECT_NE(r.out.find(c.printed), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "");
        // The two login blocks, the receiver's status request, the command, the log-off notice.
        ASSERT_TRUE(server.WaitForBlocks(5));
        const std::vector<std::string> blocks = server.Blocks();
        ASSERT_EQ(blocks.size(), 5u);
        EXPECT_EQ(blocks[0], Block("dj"));
        EXPECT_EQ(blocks[1], Block("Username,dj,pw"));
        EXPECT_EQ(CommandBlocks(), std::vector<std::string>{Block(c.request)});
        // The session ends with the log-off notice: 14 bytes, "/disconnected" and its NUL.
        EXPECT_EQ(blocks.back(), std::string("/disconnected\0", 14));
    }
}

TEST_F(CtlSessionTest, TheTableCoversEveryRequestOfTheCatalogueOnce) {
    for (const CommandInfo& info : CommandCatalogue()) {
        if (info.kind != CommandKind::Request) continue;
        int rows = 0;
        for (const CtlCommand& command : CtlCommands())
            rows += command.commandId == info.id && command.words != "check";
        EXPECT_EQ(rows, 1) << info.word;
    }
    EXPECT_EQ(std::size(kRequestCases) + 1, CtlCommands().size() - 1);  // + status, - check
}

TEST_F(CtlSessionTest, StatusSendsTheStatusRequestAndPrintsTheReport) {
    Script(kPublic, {});
    RunResult r = Run({"status"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out,
              "Server Status: Server is currently up and public\nStream IP: 10.0.0.5\nStream Port: 8000\n"
              "Max. Bitrate: 320\nCurrent Song: Luna Park - Carousel\n");
    // The receiver's own request after the login and this command's: the same block.
    int statusBlocks = 0;
    for (const std::string& block : server.Blocks()) {
        statusBlocks += block == Block("shoutcast_server_status,?loginsc=dj&passwordsc=pw");
    }
    EXPECT_EQ(statusBlocks, 2);

    r = Run({"--json", "status"});
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_NE(r.out.find("\"state\": \"up-public\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"Current Song\": \"Luna Park - Carousel\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"streamPort\": \"8000\""), std::string::npos) << r.out;
}

TEST_F(CtlSessionTest, CheckExitStatusFollowsTheServerState) {
    struct Case {
        const char* report;
        int status;
        const char* line;
    };
    const Case cases[] = {
        {kPublic, kCheckOk, "OSTRAVEL OK - Server Up, Stream Up | time="},
        {kNoSource, kCheckWarning, "OSTRAVEL WARNING - Server Up, Stream Down | time="},
        {kOffline, kCheckCritical, "OSTRAVEL CRITICAL - Server Down | time="},
        // A report that names no state tells nothing.
        {"Server Status: \"Stream IP: 10.0.0.5\"Status End", kCheckUnknown,
         "OSTRAVEL UNKNOWN - Server state unknown |"},
        // An error in the status reply: the state is not known.
        {"Server Status: Error - Can not retreive status", kCheckUnknown,
         "OSTRAVEL UNKNOWN - check: Server Status: Error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.report);
        Script(c.report, {});
        const RunResult r = Run({"check"});
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_EQ(r.out.rfind(c.line, 0), 0u) << r.out;
        EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << "one line: " << r.out;
    }
}

TEST_F(CtlSessionTest, CheckTakesTheReportThatAnswersItsRequestNotAnEarlierOne) {
    // An unasked report glued to the welcome says "down"; the report asked for says "up".
    server.SetResponder([](const std::string& text) -> std::vector<std::string> {
        if (text.rfind("Username,", 0) == 0)
            return {std::string("Logged In: Welcome back, dj=1001") + kOffline};
        if (text.rfind("shoutcast_server_status,", 0) == 0) return {kPublic};
        return {};
    });
    const RunResult r = Run({"check"});
    EXPECT_EQ(r.status, kCheckOk) << r.out;
}

TEST_F(CtlSessionTest, AKeepAliveReportIsNotTakenForTheAnswer) {
    Script("", {});  // the host never answers "server start"
    std::thread host([this] {
        // Once the command is in (the two login blocks, the receiver's status request and the
        // command), only an unasked status report comes.
        if (server.WaitForBlocks(4)) server.Send(kPublic);
    });
    const RunResult r = Run({"--timeout", "1", "server", "start"});
    host.join();
    EXPECT_EQ(r.status, kExitTimeout) << r.out;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "ostravel-ctl: server start: no answer from the host within 1 s\n");
}

TEST_F(CtlSessionTest, SettingsPrintAsNameValueLinesAndAsJson) {
    Script("", {"Shoutcast server getconfig|maxListeners=50|adminPassword=a\"b\\c|relayingServerPort=;8000|"
                "titleFormat=Now: %s",
                "Shoutcast server content|intro.mp3|jingle.mp3|^end"});
    RunResult r = Run({"config", "show", "server"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.out.find("maxListeners=50\n"), std::string::npos);
    EXPECT_NE(r.out.find("adminPassword=a\"b\\c\n"), std::string::npos);
    EXPECT_NE(r.out.find("relayingServerPortEnabled=no\nrelayingServerPort=8000\n"), std::string::npos);
    EXPECT_NE(r.out.find("titleFormatEnabled=yes\ntitleFormat=Now: %s\n"), std::string::npos);
    EXPECT_NE(r.out.find("mediaFiles=intro.mp3;jingle.mp3\n"), std::string::npos);
    // Only reading: the dialog is never saved, so no set request goes out.
    for (const std::string& block : server.Blocks()) EXPECT_EQ(block.find("setconfig"), std::string::npos);

    r = Run({"--json", "config", "show", "server"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.out.find("\"adminPassword\": \"a\\\"b\\\\c\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"relayingServerPortEnabled\": false"), std::string::npos);
    EXPECT_NE(r.out.find("\"mediaFiles\": [\"intro.mp3\", \"jingle.mp3\"]"), std::string::npos);
}

TEST_F(CtlSessionTest, AnErrorAnswerIsOneLineOnStandardErrorAndExitsOne) {
    Script("", {"Shoutcast AutoDJ Logs: Disabled for demo user"});
    RunResult r = Run({"logs", "dj"});
    EXPECT_EQ(r.status, kExitRefused);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "ostravel-ctl: logs dj: Shoutcast AutoDJ Logs: Disabled for demo user\n");

    Script("", {"Shoutcast server: Error - Invalid login\r\ntry again"});
    r = Run({"server", "start"});
    EXPECT_EQ(r.status, kExitRefused);
    EXPECT_EQ(r.err, "ostravel-ctl: server start: Shoutcast server: Error - Invalid login try again\n");
}

TEST_F(CtlSessionTest, ARefusedLoginSendsNoCommand) {
    Script(kPublic, {"Shoutcast server started."});
    RunResult r = Run({"server", "start"}, "wrong");
    EXPECT_EQ(r.status, kExitLogin);
    EXPECT_EQ(r.err, "ostravel-ctl: login refused: Failed login.\n");
    EXPECT_TRUE(CommandBlocks().empty());

    r = Run({"check"}, "wrong");
    EXPECT_EQ(r.status, kCheckCritical);
    EXPECT_EQ(r.out, "OSTRAVEL CRITICAL - login refused: Failed login.\n");
}

TEST_F(CtlSessionTest, AutoTVIsNotSentForAPlanWithoutIt) {
    Script(kLowPlanPublic, {"Shoutcast AutoTV started."});
    const RunResult r = Run({"autotv", "start"});
    EXPECT_EQ(r.status, kExitUnavailable);
    EXPECT_TRUE(CommandBlocks().empty());
    EXPECT_NE(r.err.find("no AutoTV"), std::string::npos);
}

TEST_F(CtlSessionTest, AClosedConnectionEndsTheRunWithItsOwnStatus) {
    const auto closeOn = [this](std::string word) {
        server.SetResponder([this, word](const std::string& text) -> std::vector<std::string> {
            if (text.rfind("Username,", 0) == 0) return {"Logged In: Welcome back, dj=1001"};
            if (text.rfind(word, 0) == 0) server.CloseConnection();
            return {};
        });
    };
    closeOn("shoutcast_dj_start,");
    RunResult r = Run({"autodj", "start"});
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_EQ(r.err, "ostravel-ctl: autodj start: before the answer: the host ended the connection\n");

    // Closed at the receiver's status request or the command, whichever comes second: the login is
    // over by then (the command goes out after it), whatever order the two take on the wire.
    auto seen = std::make_shared<std::atomic<int>>(0);
    server.SetResponder([this, seen](const std::string& text) -> std::vector<std::string> {
        if (text.rfind("Username,", 0) == 0) return {"Logged In: Welcome back, dj=1001"};
        if ((text.rfind("shoutcast_server_status,", 0) == 0 ||
             text.rfind("shoutcast_server_start,", 0) == 0) &&
            ++*seen == 2)
            server.CloseConnection();
        return {};
    });
    r = Run({"server", "start"});
    EXPECT_EQ(r.status, kExitEnded);
    EXPECT_EQ(r.err.rfind("ostravel-ctl: server start: ", 0), 0u) << r.err;
    r = Run({"check"});
    EXPECT_EQ(r.status, kCheckUnknown);
    EXPECT_EQ(r.out.rfind("OSTRAVEL UNKNOWN - ", 0), 0u);
}

TEST_F(CtlSessionTest, ASilentHostTimesOutAtEachStage) {
    // No welcome at all.
    server.SetResponder([](const std::string&) { return std::vector<std::string>{}; });
    RunResult r = Run({"--timeout", "0.5", "status"});
    EXPECT_EQ(r.status, kExitTimeout);
    EXPECT_EQ(r.err, "ostravel-ctl: the host did not answer the login within 0.5 s\n");
    r = Run({"--timeout", "0.5", "check"});
    EXPECT_EQ(r.status, kCheckUnknown);
    EXPECT_EQ(r.out, "OSTRAVEL UNKNOWN - the host did not answer the login within 0.5 s\n");
}

TEST_F(CtlSessionTest, NoServerListeningIsAConnectionFailure) {
    unsigned short port = 0;
    {
        FakeServiceServer gone;
        port = gone.Port();
    }
    std::ostringstream out, err;
    const auto env = [](const std::string&) { return std::optional<std::string>("pw"); };
    int rc =
        ctl::Run({"--user", "dj", "--server", "127.0.0.1:" + std::to_string(port), "status"}, env, out, err);
    EXPECT_EQ(rc, kExitConnect);
    EXPECT_EQ(err.str(), "ostravel-ctl: cannot connect to the service server at 127.0.0.1:" +
                             std::to_string(port) + "\n");
    std::ostringstream checkOut, checkErr;
    rc = ctl::Run({"--user", "dj", "--server", "127.0.0.1:" + std::to_string(port), "check"}, env, checkOut,
                  checkErr);
    EXPECT_EQ(rc, kCheckUnknown);
    EXPECT_EQ(checkOut.str().rfind("OSTRAVEL UNKNOWN - cannot connect", 0), 0u);
}

}  // namespace
}  // namespace ostravel::ctl
