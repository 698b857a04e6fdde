// The ostravel-ctl program as a script or a monitoring system runs it, against the host stand-in:
// exit statuses through the server's states, a refused login, a stalled and a closing host, where
// the password must never show up, and watch and history.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include "child_process.h"
#include "ctl/ctl.h"
#include "history/historystore.h"

namespace ostravel::ctl {
namespace {

namespace fs = std::filesystem;
using ostravel::testing::ChildProcess;
using namespace std::chrono_literals;

constexpr char kWatchPassword[] = "Zebra-Quartz-7319";

class CtlProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "ctl-program-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        fs::create_directories(dir_ / "home");
        std::ofstream(dir_ / "accounts") << "dj\tdjpass\t320\tnormal\t8000\n"
                                         << "watch\t" << kWatchPassword << "\t320\tnormal\t8010\n";
    }
    void TearDown() override {
        if (host_) host_->Terminate(10s);
        host_.reset();
        fs::remove_all(dir_);
    }

    // Starts the stand-in on a free port, with keep-alive reports every second so that they cross
    // the commands' answers.
    // With `verbose` it prints every block it receives (passwords masked); with `portal` its test
    // switches can be reached (Get).
    void StartHost(const std::string& faults = "none", bool verbose = false,
                   const std::string& listen = "127.0.0.1:0", bool portal = false) {
        std::vector<std::string> args = {HOSTSIM_PROGRAM,
                                         "--listen",
                                         listen,
                                         "--keepalive",
                                         "1",
                                         "--data",
                                         (dir_ / "data").string(),
                                         "--accounts",
                                         (dir_ / "accounts").string(),
                                         "--fault",
                                         faults};
        if (portal) {
            args.insert(args.end(), {"--portal", "127.0.0.1:0"});
        } else {
            args.push_back("--no-portal");
        }
        if (!verbose) args.push_back("--quiet");
        host_ = std::make_unique<ChildProcess>(args);
        const auto line = host_->WaitForLine("listening ", 10s);
        ASSERT_TRUE(line) << host_->Err();
        const std::string service =
            line->substr(line->find("service="), line->find(" portal=") - line->find("service="));
        port_ = std::stoi(service.substr(service.rfind(':') + 1));
        if (portal) portalPort_ = std::stoi(line->substr(line->rfind(':', line->find(" data=")) + 1));
    }

    // The body of the portal's answer to GET `target`.
    std::string Get(const std::string& target) const {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(portalPort_));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::string reply;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            const std::string request = "GET " + target + " HTTP/1.0\r\nHost: x\r\n\r\n";
            ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
            timeval wait{10, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            char buffer[1024];
            for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, n);
        }
        ::close(fd);
        const std::size_t body = reply.find("\r\n\r\n");
        return body == std::string::npos ? reply : reply.substr(body + 4);
    }

    // A clean environment whose home and temporary folders are ours to search afterwards.
    std::vector<std::string> Environment(const std::string& password) const {
        std::vector<std::string> env = {"PATH=/usr/bin:/bin",
                                        "HOME=" + (dir_ / "home").string(),
                                        "TMPDIR=" + (dir_ / "home").string(),
                                        "XDG_CONFIG_HOME=" + (dir_ / "home").string(),
                                        "XDG_STATE_HOME=" + (dir_ / "home").string(),
                                        "XDG_CACHE_HOME=" + (dir_ / "home").string()};
        if (!password.empty()) env.push_back(std::string(kPasswordVariable) + "=" + password);
        return env;
    }

    std::unique_ptr<ChildProcess> StartCtl(std::vector<std::string> args, const std::string& password) {
        args.insert(args.begin(), {CTL_PROGRAM, "--server", server_ + ":" + std::to_string(port_)});
        return std::make_unique<ChildProcess>(args, Environment(password), (dir_ / "home").string());
    }

    struct Result {
        int status;
        std::string out;
        std::string err;
    };
    Result Ctl(std::vector<std::string> args, const std::string& password = "djpass") {
        auto ctl = StartCtl(std::move(args), password);
        const auto status = ctl->Finish(30s);
        EXPECT_TRUE(status) << "ostravel-ctl did not end";
        return {status.value_or(-1), ctl->Out(), ctl->Err()};
    }

    std::string PasswordFile(const std::string& text, mode_t mode) const {
        const fs::path file = dir_ / "home" / "password";
        std::ofstream(file) << text;
        ::chmod(file.c_str(), mode);
        return file.string();
    }

    fs::path dir_;
    std::unique_ptr<ChildProcess> host_;
    int port_ = 0;
    int portalPort_ = 0;
    std::string server_ = "127.0.0.1";  // how --server names the host
};

TEST_F(CtlProgramTest, CheckFollowsTheServerThroughItsStates) {
    StartHost();
    Result r = Ctl({"--user", "dj", "check"});
    EXPECT_EQ(r.status, kCheckCritical) << r.out << r.err;
    EXPECT_EQ(r.out.rfind("OSTRAVEL CRITICAL - Server Down | time=", 0), 0u) << r.out;

    r = Ctl({"--user", "dj", "server", "start"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "Shoutcast server started.\n");
    r = Ctl({"--user", "dj", "check"});
    EXPECT_EQ(r.status, kCheckWarning) << r.out;
    EXPECT_EQ(r.out.rfind("OSTRAVEL WARNING - Server Up, Stream Down | time=", 0), 0u) << r.out;

    r = Ctl({"--user", "dj", "autodj", "start"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    r = Ctl({"--user", "dj", "check"});
    EXPECT_EQ(r.status, kCheckOk) << r.out;
    EXPECT_EQ(r.out.rfind("OSTRAVEL OK - Server Up, Stream Up | time=", 0), 0u) << r.out;
    EXPECT_EQ(r.err, "");

    r = Ctl({"--user", "dj", "--json", "status"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.out.find("\"state\": \"up-public\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"streamPort\": \"8000\""), std::string::npos) << r.out;

    r = Ctl({"--user", "dj", "server", "stop"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    r = Ctl({"--user", "dj", "check"});
    EXPECT_EQ(r.status, kCheckCritical) << r.out;
}

// A host reached by its IPv6 literal, and by a name that has to be looked up.
TEST_F(CtlProgramTest, ReachesAHostByItsIpv6AddressAndByName) {
    const std::pair<const char*, const char*> hosts[] = {{"[::1]:0", "[::1]"}, {"127.0.0.1:0", "localhost"}};
    for (const auto& [listen, server] : hosts) {
        if (host_) host_->Terminate(10s);
        StartHost("none", false, listen);
        server_ = server;
        const Result r = Ctl({"--user", "dj", "check"});
        EXPECT_EQ(r.status, kCheckCritical) << server << ": " << r.err;
        EXPECT_EQ(r.out.rfind("OSTRAVEL CRITICAL - Server Down", 0), 0u) << r.out;
    }
}

TEST_F(CtlProgramTest, ARefusedLoginHasItsOwnStatusAndIsCriticalForCheck) {
    StartHost();
    Result r = Ctl({"--user", "dj", "status"}, "not-the-password");
    EXPECT_EQ(r.status, kExitLogin);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "ostravel-ctl: login refused: Failed login.\n");
    r = Ctl({"--user", "dj", "check"}, "not-the-password");
    EXPECT_EQ(r.status, kCheckCritical);
    EXPECT_EQ(r.out, "OSTRAVEL CRITICAL - login refused: Failed login.\n");
}

TEST_F(CtlProgramTest, AStalledHostCannotHoldItPastTheTimeout) {
    StartHost("stall");
    auto ctl = StartCtl({"--user", "dj", "--timeout", "1", "status"}, "djpass");
    // One second, the log-off notice after it and the start-up, with room for a loaded machine.
    const auto status = ctl->Finish(15s);
    ASSERT_TRUE(status) << "the time-out did not hold";
    EXPECT_EQ(*status, kExitTimeout);
    EXPECT_EQ(ctl->Err(), "ostravel-ctl: the host did not answer the login within 1 s\n");

    auto check = StartCtl({"--user", "dj", "--timeout", "1", "check"}, "djpass");
    ASSERT_TRUE(check->Finish(15s) == kCheckUnknown);
    EXPECT_EQ(check->Out(), "OSTRAVEL UNKNOWN - the host did not answer the login within 1 s\n");
}

TEST_F(CtlProgramTest, AHostThatClosesAfterTheWelcomeEndsTheRun) {
    StartHost("close-after=1");
    const Result r = Ctl({"--user", "dj", "autodj", "start"});
    EXPECT_EQ(r.status, kExitEnded);
    // The close may be seen while the welcome is still being taken in, or after the request.
    EXPECT_NE(r.err.find("the host ended the connection"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(CtlProgramTest, APasswordFileOthersMayReadIsRefused) {
    StartHost();
    const std::string file = PasswordFile(std::string(kWatchPassword) + "\n", 0644);
    Result r = Ctl({"--user", "watch", "--password-file", file, "status"}, "");
    EXPECT_EQ(r.status, kExitCredentials);
    EXPECT_EQ(r.err, "ostravel-ctl: the password file " + file +
                         " may be read or written by others (mode 0644); make it private with: chmod 600 " +
                         file + "\n");
    ::chmod(file.c_str(), 0600);
    r = Ctl({"--user", "watch", "--password-file", file, "summary"}, "");
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.out.find("Account: watch\n"), std::string::npos) << r.out;
}

// The password is in no argument vector (what ps shows), in no file the program leaves behind and
// in none of its output, while it runs and after.
TEST_F(CtlProgramTest, ThePasswordShowsInNoProcessListAndNoFile) {
    StartHost("stall", true);
    const std::string file = PasswordFile(std::string(kWatchPassword) + "\n", 0600);
    const auto commandLine = [](pid_t pid) {
        std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    for (const bool fromFile : {true, false}) {
        SCOPED_TRACE(fromFile ? "password file" : "environment");
        std::vector<std::string> args = {"--user", "watch", "--timeout", "2", "status"};
        if (fromFile) args.insert(args.begin(), {"--password-file", file});
        auto ctl = StartCtl(args, fromFile ? "" : kWatchPassword);
        // Once the host has its login, the program is well into its session.
        ASSERT_TRUE(host_->WaitForLine("Username,watch,", 10s));
        const std::string seen = commandLine(ctl->Pid());
        EXPECT_NE(seen.find("--user"), std::string::npos) << "could not read the command line";
        EXPECT_EQ(seen.find(kWatchPassword), std::string::npos);
        ASSERT_TRUE(ctl->Finish(15s) == kExitTimeout) << ctl->Err();
        EXPECT_EQ(ctl->Out().find(kWatchPassword), std::string::npos);
        EXPECT_EQ(ctl->Err().find(kWatchPassword), std::string::npos);
    }
    for (const auto& entry : fs::recursive_directory_iterator(dir_ / "home")) {
        if (!entry.is_regular_file() || entry.path() == file) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text(std::istreambuf_iterator<char>(in), {});
        EXPECT_EQ(text.find(kWatchPassword), std::string::npos) << entry.path();
    }
}

TEST_F(CtlProgramTest, LogsSummaryAndSettingsComeFromTheHost) {
    StartHost();
    ASSERT_EQ(Ctl({"--user", "dj", "server", "start"}).status, kExitOk);
    ASSERT_EQ(Ctl({"--user", "dj", "autodj", "start"}).status, kExitOk);
    Result r = Ctl({"--user", "dj", "logs", "dj"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.out.find("[autodj] started, playlist main.lst\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
    r = Ctl({"--user", "dj", "config", "show", "autodj"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.out.find("playListFile=main.lst\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("playListList=main.lst;rock.lst;chill.lst\n"), std::string::npos) << r.out;
    r = Ctl({"--user", "dj", "config", "show", "server"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.out.find("mediaFiles=intro.mp3;"), std::string::npos) << r.out;
    // AutoTV cannot start while the AutoDJ feeds the server: the host says so, and that is no error.
    r = Ctl({"--user", "dj", "autotv", "start"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.out.find("AutoTV not started"), std::string::npos) << r.out;
}

// The history keeps whole seconds, and a state that held for none leaves no span: a step of the
// watch test that ends a state starts in a later second of the clock than the change it saw.
void IntoTheNextSecond() {
    std::this_thread::sleep_until(std::chrono::system_clock::from_time_t(std::time(nullptr) + 1));
}

std::vector<std::string> Lines(const std::string& text, const std::string& prefix, char end = '\n') {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line, end);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(prefix, 0) == 0) lines.push_back(line.substr(prefix.size()));
    }
    return lines;
}

// watch through the host operator's stop and start and a dropped connection: each change is told
// once, as a line and by a run of the --on-change command; SIGTERM logs off; history shows the same.
TEST_F(CtlProgramTest, WatchTellsEachChangeOnceAndHistoryKeepsIt) {
    StartHost("none", true, "127.0.0.1:0", true);
    auto watch = StartCtl({"--user", "watch", "watch", "--interval", "10", "--on-change", "/bin/sh", "-c",
                           "echo \"ran $OSTRAVEL_PREVIOUS>$OSTRAVEL_STATE $OSTRAVEL_SINCE [$OSTRAVEL_ACCOUNT]"
                           "$OSTRAVEL_PASSWORD\""},
                          kWatchPassword);
    const auto expect = [&](const std::string& label) {
        const auto line = watch->WaitForLine(label, 20s);
        EXPECT_TRUE(line) << label << "\n" << watch->Out() << watch->Err();
        return line.value_or("");
    };
    expect(" Server Down");
    IntoTheNextSecond();
    EXPECT_EQ(Get("/hostsim/service?user=watch&do=server_start"), "Shoutcast server started.\n");
    expect(" Server Up, Stream Down");
    IntoTheNextSecond();
    EXPECT_EQ(Get("/hostsim/fault?drop"), "dropped 1 open connection(s)\n");
    expect(" Session Lost");
    expect(" Server Up, Stream Down");
    IntoTheNextSecond();
    EXPECT_EQ(Get("/hostsim/service?user=watch&do=server_stop"), "Shoutcast server stopped.\n");
    expect(" Server Down");
    IntoTheNextSecond();
    ASSERT_TRUE(watch->Terminate(15s) == kExitOk) << watch->Err();
    EXPECT_TRUE(host_->WaitForLine("log-off notice", 10s));

    // Lines of the watch ("TIME LABEL") and of the command ("ran ..."), each change once and in order.
    std::vector<std::string> times, labels;
    for (const std::string& line : Lines(watch->Out(), "")) {
        if (line.rfind("ran ", 0) == 0) continue;
        times.push_back(line.substr(0, line.find(' ')));
        labels.push_back(line.substr(line.find(' ') + 1));
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"Server Down", "Server Up, Stream Down", "Session Lost",
                                                "Server Up, Stream Down", "Server Down"}));
    const std::string account = " [127.0.0.1:" + std::to_string(port_) + " watch]";
    const std::vector<std::string> runs = Lines(watch->Out(), "ran ");
    const char* const steps[] = {">down", "down>no-source", "no-source>lost", "lost>no-source",
                                 "no-source>down"};
    ASSERT_EQ(runs.size(), std::size(steps)) << watch->Out();
    ASSERT_EQ(times.size(), std::size(steps));
    for (std::size_t i = 0; i < runs.size(); ++i) EXPECT_EQ(runs[i], steps[i] + (" " + times[i]) + account);

    // The history, read while nothing writes it any more: the same spans, the last closed at the end.
    const Result history = Ctl({"--user", "watch", "history", "--csv"}, "");
    EXPECT_EQ(history.status, kExitOk) << history.err;
    const std::vector<std::string> rows = Lines(history.out, "");
    ASSERT_EQ(rows.size(), 1 + std::size(steps)) << history.out;
    const char* const words[] = {",down,", ",no-source,", ",lost,", ",no-source,", ",down,"};
    for (std::size_t i = 0; i < std::size(words); ++i) {
        EXPECT_EQ(rows[i + 1].rfind(times[i] + "," + (i + 1 < times.size() ? times[i + 1] : ""), 0), 0u)
            << rows[i + 1];
        EXPECT_NE(rows[i + 1].find(words[i]), std::string::npos) << rows[i + 1];
    }
    // The last span was closed by the log-off, not left open for "now" to end it.
    std::string notice;
    const auto store = HistoryStore::Open(dir_ / "home" / "zandrel" / "history.sqlite", &notice, true);
    ASSERT_TRUE(store) << notice;
    const auto spans =
        store->Spans("127.0.0.1:" + std::to_string(port_) + " watch", 0, std::time(nullptr) + 1);
    ASSERT_EQ(spans.size(), std::size(steps));
    EXPECT_NE(spans.back().end, HistorySpan::kOpenEnd);
}

}  // namespace
}  // namespace ostravel::ctl
