// ostravel-hostsim: a stand-in for the streaming host, to run the desktop program and its tests against.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "hostsim.h"

namespace {

constexpr const char* kHelp = R"(Usage: ostravel-hostsim [OPTION]...
A stand-in for the streaming host: the service server that Ostravel logs in to (accounts; server,
AutoDJ and AutoTV that start and stop; status reports; settings kept in files; logs) and the host's
web portal. Every received block and every reply is printed on standard output, passwords masked.

Options:
  --listen ADDR[:PORT]  service server address (default 127.0.0.1:28000; port 0 picks a free one).
                        ADDR is a numeric IPv4 or IPv6 address: 127.0.0.1, 0.0.0.0, ::1, [::1], ::;
                        an IPv6 one in brackets when a port follows: [::1]:28000. The web portal
                        listens on the same address unless --portal names one
  --portal ADDR[:PORT]  web portal address, written the same way (default: the service server's
                        address, port 28080; port 0 picks a free one)
  --no-portal           do not start the web portal
  --data DIR            data directory: one folder per account with sc_serv.conf, sc_trans.conf,
                        sc_nsv.conf and the logs sc_serv.log, sc_trans.log, sc_nsv.log; created and
                        seeded with defaults when missing (default $XDG_STATE_HOME/ostravel-hostsim,
                        else ~/.local/state/ostravel-hostsim)
  --accounts FILE       accounts, one a line, fields separated by TABs:
                          USER  PASSWORD  MAX-BITRATE-KBPS  normal|demo  [STREAM-PORT]
                        lines starting with '#' are comments. Default: "dj" / "djpass", 320 kbps,
                        normal, stream port 8000; and "demo" / "demo", 128 kbps, demo, port 8002.
                        AutoTV needs 250 kbps or more; demo accounts cannot read or clear logs.
  --stream-host ADDR    stream address given in status reports and tune-in files (default 127.0.0.1)
  --keepalive N         send a logged-in session a status report every N seconds (default 10; 0: never)
  --reply-gap MS        least time between two replies on one connection (default 50; the client
                        takes each received chunk as one reply, so keep it at 50 or more)
  --fault SWITCHES      misbehave on every new service connection; SWITCHES is a comma-separated list:
                          stall            send no reply at all (keep reading)
                          stall-after=N    send N replies, then nothing more
                          close-after=N    close the connection after N replies
                          reset-after=N    reset the connection (TCP RST) after N replies
                          bye-after=N      say "/bye" after N replies, then close the connection
                          split=N          send every reply in pieces of N bytes, each a chunk of its own
                          trickle          send every reply one byte every 10 ms
                          oversize         pad every reply to 30000 bytes (over the client's 25600)
                          flood            send 1 MiB with no NUL and no keyword before the next reply
                          nuls             put a NUL byte in the middle of every reply
                          merge            send two consecutive replies in one chunk
                          deaf             take no new connection: the listener's queue is kept full,
                                           so a connect hangs (its SYN is never answered)
                          none             clear the switches given before
                        may be given more than once; N counts the replies of each connection from
                        its start. At run time the same switches can be set for new connections with
                        GET /hostsim/fault?set=SWITCHES on the portal (add &live to switch the open
                        connections too), or for one connection with the block
                        "hostsim_fault,SWITCHES" on it.
                        GET /hostsim/service?user=NAME&do=server_stop (or server_start, dj_start, ...)
                        on the portal starts or stops an account's service as the host's operator
                        would; the next status report shows it.
                        GET /hostsim/fault?drop on the portal closes every open service connection at
                        once (an orderly close, as when the host restarts) and goes on listening;
                        with set=SWITCHES in the same request the switches come first, so
                        ?set=deaf&drop leaves the dropped clients nowhere to connect to.
  --quiet               print only the start line and errors
  --help                show this text and exit
  --version             show the version and exit
An option's value may also follow it after '=': --listen=[::1]:0.

The first line on standard output is
  listening service=ADDR:PORT portal=ADDR:PORT data=DIR
with the addresses bound, an IPv6 one in brackets (portal=off with --no-portal).
SIGINT or SIGTERM says "/bye" to every session and exits.
Exit status: 0 after a signal, 2 for bad options, 1 when the ports or the data directory fail.
)";

int usageError(const std::string& message) {
    std::cerr << "ostravel-hostsim: " << message << "\nTry 'ostravel-hostsim --help'.\n";
    return 2;
}

bool parseNumber(std::string_view text, int low, int high, int& out) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    int value = 0;
    for (const char ch : text) {
        if (ch < '0' || ch > '9') {
            return false;
        }
        value = value * 10 + (ch - '0');
    }
    if (value < low || value > high) {
        return false;
    }
    out = value;
    return true;
}

// What the command line asks for.
struct CommandLine {
    hostsim::Options options;
    bool quiet = false;
    std::filesystem::path accountsFile;
    bool portalAddressGiven = false;  // else the portal follows the service server's address
};

// One option at argv[i] (moved past the value it takes). An exit status when the program ends here:
// --help, --version or a bad option.
std::optional<int> parseOption(int argc, char** argv, int& i, CommandLine& line) {
    hostsim::Options& options = line.options;
    std::string_view arg = argv[i];
    std::optional<std::string> attached;  // --option=value
    if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
        attached = std::string(arg.substr(eq + 1));
        arg = arg.substr(0, eq);
    }
    const auto value = [&](std::string& out) {
        if (attached) {
            out = *std::exchange(attached, std::nullopt);
            return true;
        }
        if (i + 1 >= argc) {
            return false;
        }
        out = argv[++i];
        return true;
    };
    std::string text;
    if (arg == "--help" || arg == "-h") {
        std::cout << kHelp;
        return 0;
    } else if (arg == "--version") {
        std::cout << "ostravel-hostsim 1.0\n";
        return 0;
    } else if (arg == "--quiet") {
        line.quiet = true;
    } else if (arg == "--no-portal") {
        options.portalEnabled = false;
    } else if (arg == "--listen" || arg == "--portal") {
        if (!value(text)) {
            return usageError(std::string(arg) + " needs ADDR[:PORT]");
        }
        if (!hostsim::parseListenAddress(text, arg == "--listen" ? options.service : options.portal)) {
            return usageError("'" + text + "' is not a numeric ADDR, ADDR:PORT or [IPV6-ADDR]:PORT");
        }
        line.portalAddressGiven = line.portalAddressGiven || arg == "--portal";
    } else if (arg == "--data") {
        if (!value(text) || text.empty()) {
            return usageError("--data needs a directory");
        }
        options.dataDir = text;
    } else if (arg == "--accounts") {
        if (!value(text) || text.empty()) {
            return usageError("--accounts needs a file");
        }
        line.accountsFile = text;
    } else if (arg == "--stream-host") {
        if (!value(text) || text.empty()) {
            return usageError("--stream-host needs an address");
        }
        options.streamHost = text;
    } else if (arg == "--keepalive") {
        if (!value(text) || !parseNumber(text, 0, 86400, options.keepaliveSeconds)) {
            return usageError("--keepalive needs a number of seconds (0 to 86400)");
        }
    } else if (arg == "--reply-gap") {
        if (!value(text) || !parseNumber(text, 0, 60000, options.replyGapMs)) {
            return usageError("--reply-gap needs a number of milliseconds (0 to 60000)");
        }
    } else if (arg == "--fault") {
        std::string error;
        if (!value(text) || !hostsim::applyFaultList(text, options.faults, error)) {
            return usageError("--fault: " + (error.empty() ? std::string("needs switches") : error));
        }
    } else {
        return usageError("unknown option '" + std::string(arg) + "'");
    }
    if (attached) {
        return usageError(std::string(arg) + " takes no value");
    }
    return std::nullopt;
}

// Reads the options, then what they point to; an exit status when the program ends here.
std::optional<int> readCommandLine(int argc, char** argv, CommandLine& line) {
    for (int i = 1; i < argc; ++i) {
        if (const auto status = parseOption(argc, argv, i, line)) {
            return status;
        }
    }
    if (!line.portalAddressGiven) {
        line.options.portal.host = line.options.service.host;
    }
    if (!line.accountsFile.empty()) {
        std::string error;
        if (!hostsim::loadAccounts(line.accountsFile, line.options.accounts, error)) {
            return usageError(error);
        }
    }
    if (line.options.dataDir.empty()) {
        line.options.dataDir = hostsim::defaultDataDir();
    }
    if (!line.quiet) {
        line.options.log = [](const std::string& text) {
            std::fwrite(text.data(), 1, text.size(), stdout);
            std::fputc('\n', stdout);
            std::fflush(stdout);
        };
    }
    return std::nullopt;
}

// Signals are taken by sigwait in waitForStopSignal, never by the server threads.
sigset_t blockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return signals;
}

void printStartLines(const hostsim::HostSim& sim, const CommandLine& line) {
    const hostsim::Options& options = line.options;
    std::printf("listening service=%s portal=%s data=%s\n",
                hostsim::formatEndpoint(sim.serviceEndpoint()).c_str(),
                options.portalEnabled ? hostsim::formatEndpoint(sim.portalEndpoint()).c_str() : "off",
                options.dataDir.c_str());
    if (!line.quiet) {
        std::printf("accounts: %zu, keep-alive %d s, reply gap %d ms, faults %s\n", options.accounts.size(),
                    options.keepaliveSeconds, options.replyGapMs,
                    hostsim::describeFaults(options.faults).c_str());
    }
    std::fflush(stdout);
}

void waitForStopSignal(const sigset_t& signals, bool quiet) {
    int received = 0;
    sigwait(&signals, &received);
    if (!quiet) {
        std::printf("signal %d: stopping\n", received);
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    if (const auto status = readCommandLine(argc, argv, line)) {
        return *status;
    }
    const sigset_t signals = blockStopSignals();
    hostsim::HostSim sim(line.options);
    std::string error;
    if (!sim.start(error)) {
        std::cerr << "ostravel-hostsim: " << error << "\n";
        return 1;
    }
    printStartLines(sim, line);
    waitForStopSignal(signals, line.quiet);
    sim.stop();
    return 0;
}
