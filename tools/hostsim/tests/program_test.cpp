// The real program, started as a child process the way a test harness or `make run` starts it.
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "netutil.h"
#include "test_client.h"

extern char** environ;

namespace hostsim {
namespace {

using namespace test;

// A child process with its standard output (and error) on a pipe.
class Program {
public:
    explicit Program(std::vector<std::string> args) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, out[1], 2);
        args.insert(args.begin(), HOSTSIM_PROGRAM);
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, HOSTSIM_PROGRAM, &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        out_ = out[0];
    }
    ~Program() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) {
            ::close(out_);
        }
    }
    // The next line of output, or "" at the end or after the deadline.
    std::string line(std::chrono::milliseconds timeout = 10000ms) {
        const auto deadline = Clock::now() + timeout;
        while (buffer_.find('\n') == std::string::npos && Clock::now() < deadline) {
            if (!readSome(deadline)) {
                break;
            }
        }
        const auto nl = buffer_.find('\n');
        std::string text = buffer_.substr(0, nl);
        buffer_.erase(0, nl == std::string::npos ? buffer_.size() : nl + 1);
        return text;
    }
    // Everything until the child closes its output.
    std::string rest(std::chrono::milliseconds timeout = 10000ms) {
        const auto deadline = Clock::now() + timeout;
        while (readSome(deadline)) {
        }
        return std::exchange(buffer_, {});
    }
    int wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void signal(int number) { ::kill(pid_, number); }
    bool started() const { return pid_ > 0; }

private:
    bool readSome(Clock::time_point deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd pfd{out_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        char chunk[4096];
        const ssize_t n = ::read(out_, chunk, sizeof chunk);
        if (n <= 0) {
            return false;
        }
        buffer_.append(chunk, static_cast<std::size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
};

std::uint16_t portAfter(const std::string& line, const std::string& key) {
    const auto at = line.find(key + "=127.0.0.1:");
    return at == std::string::npos ? 0
                                   : static_cast<std::uint16_t>(std::stoi(line.substr(at + key.size() + 11)));
}

TEST(Program, ServesOnTheAnnouncedPortsLogsMaskedAndSaysByeOnSignal) {
    ScratchDir dir;
    Program program({"--listen", "127.0.0.1:0", "--portal", "127.0.0.1:0", "--data", dir.path().string(),
                     "--keepalive", "0"});
    ASSERT_TRUE(program.started());
    const std::string first = program.line();
    ASSERT_EQ(first.rfind("listening service=", 0), 0u) << first;
    const auto service = portAfter(first, "service");
    const auto portal = portAfter(first, "portal");
    ASSERT_NE(service, 0);
    ASSERT_NE(portal, 0);

    ServiceClient c(service);
    ASSERT_TRUE(c.login("dj", "djpass"));
    EXPECT_FALSE(c.reply("Logged In: ").empty());
    ASSERT_TRUE(c.command("shoutcast_server_start,", "startnow"));
    EXPECT_EQ(routeOf(c.reply("Shoutcast server")), (Route{3, true}));
    EXPECT_EQ(httpGet(portal, "/shoutcast/faq.php").status, 200);

    program.signal(SIGTERM);
    EXPECT_EQ(c.chunk(), "/bye");
    const std::string log = program.rest();
    EXPECT_EQ(program.wait(), 0);
    EXPECT_NE(log.find("Username,dj,*****"), std::string::npos) << log;
    EXPECT_NE(log.find("passwordsc=*****&action=startnow"), std::string::npos);
    EXPECT_EQ(log.find("djpass"), std::string::npos);
    EXPECT_EQ(log.find("\\x00"), std::string::npos);  // blocks are shown up to their NUL only
    EXPECT_NE(log.find("-> 25 bytes: Shoutcast server started."), std::string::npos);
}

// Over the IPv6 loopback, the option's value attached with '=', the start line naming it in brackets.
TEST(Program, ServesOverIpv6) {
    std::string error;
    if (!listenOn({"::1", 0}, error).valid()) {
        GTEST_SKIP() << "no IPv6 loopback: " << error;
    }
    ScratchDir dir;
    Program program({"--listen=[::1]:0", "--portal", "[::1]:0", "--data", dir.path().string(), "--quiet"});
    const std::string first = program.line();
    const auto service = first.find("service=[::1]:");
    const auto portal = first.find("portal=[::1]:");
    ASSERT_TRUE(service != std::string::npos && portal != std::string::npos) << first;
    ServiceClient c(static_cast<std::uint16_t>(std::stoi(first.substr(service + 14))), "::1");
    ASSERT_TRUE(c.login("dj", "djpass"));
    EXPECT_FALSE(c.reply("Logged In: ").empty());
    EXPECT_EQ(httpGet(static_cast<std::uint16_t>(std::stoi(first.substr(portal + 13))), "/shoutcast/faq.php",
                      "GET", "::1")
                  .status,
              200);
}

TEST(Program, HelpDocumentsEveryOption) {
    Program program({"--help"});
    const std::string help = program.rest();
    EXPECT_EQ(program.wait(), 0);
    for (const char* option :
         {"--listen",    "--portal",      "--no-portal",   "--data",        "--accounts",  "--stream-host",
          "--keepalive", "--reply-gap",   "--fault",       "--quiet",       "--help",      "--version",
          "stall",       "stall-after=N", "close-after=N", "reset-after=N", "bye-after=N", "split=N",
          "trickle",     "oversize",      "flood",         "nuls",          "merge",       "deaf",
          "&live",       "?drop"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}

TEST(Program, BadOptionsExitWithStatus2) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--listen", "localhost"},
                                                 {"--fault", "explode"},
                                                 {"--keepalive", "-1"},
                                                 {"--listen=127.0.0.1:0", "--no-portal=yes"},
                                                 {"--frobnicate"},
                                                 {"--quiet=yes"}}) {
        SCOPED_TRACE(args[0]);
        Program program(args);
        const std::string text = program.rest();
        EXPECT_EQ(program.wait(), 2) << text;
        EXPECT_NE(text.find("ostravel-hostsim:"), std::string::npos);
    }
}

// An account nobody could log in with stops the program with the file and the line at fault; the
// command line was right, so the exit status is not the one for a bad option.
TEST(Program, AccountsThatCanNeverLogInAreRefusedWithFileAndLine) {
    Program missing({"--accounts", "/nonexistent/accounts"});
    const std::string said = missing.rest();
    EXPECT_EQ(missing.wait(), 3) << said;
    EXPECT_NE(said.find("ostravel-hostsim: "), std::string::npos) << said;
    ScratchDir dir;
    for (const char* line : {"\tpass\t128\tnormal\n", "a,b\tpass\t128\tnormal\n"}) {
        SCOPED_TRACE(line);
        const auto file = dir.path() / "accounts";
        {
            std::ofstream out(file, std::ios::binary | std::ios::trunc);
            out << "# users\ndj\tdjpass\t320\tnormal\n" << line;
        }
        Program program({"--accounts", file.string(), "--data", dir.path().string(), "--listen",
                         "127.0.0.1:0", "--no-portal"});
        const std::string text = program.rest();
        EXPECT_EQ(program.wait(), 3) << text;
        EXPECT_NE(text.find(file.string() + ": line 3: "), std::string::npos) << text;
        EXPECT_NE(text.find("nobody could log in"), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace hostsim
