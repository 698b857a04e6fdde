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

// Exit statuses, and what each means as --help says it (the manual page is checked against --help).
constexpr int kExitStopped = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitAccounts = 3;

struct ExitStatus {
    int status;
    std::string_view meaning;
};

constexpr ExitStatus kExitStatuses[] = {
    {kExitStopped, "ended by SIGINT or SIGTERM, or --help or --version was answered"},
    {kExitFailed, "the ports could not be opened or the data directory could not be made"},
    {kExitUsage, "an option was not understood"},
    {kExitAccounts,
     "the accounts file could not be read, or one of its lines is not an account\n"
     "anybody could log in to"},
};

// What the command line asks for.
struct CommandLine {
    enum Answer { Run, Help, Version } answer = Run;
    hostsim::Options options;
    bool quiet = false;
    std::filesystem::path accountsFile;
    bool portalAddressGiven = false;  // else the portal follows the service server's address
};

// Takes an option's value ("" for a switch) into `line`; what is wrong with it, or "" when nothing is.
using Take = std::string (*)(const std::string& value, CommandLine& line);

struct OptionRow {
    std::string_view name;
    std::string_view shortName;  // "" for none
    std::string_view argument;   // as --help and the manual page name it; "" for a switch
    std::string_view help;       // lines after the first are indented under it
    Take take;
};

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

std::string takeAddress(const std::string& text, hostsim::Endpoint& endpoint) {
    if (hostsim::parseListenAddress(text, endpoint)) {
        return "";
    }
    return "'" + text + "' is not a numeric ADDR, ADDR:PORT or [IPV6-ADDR]:PORT";
}

constexpr OptionRow kOptionRows[] = {
    {"--listen", "", "ADDR[:PORT]",
     "service server address (default 127.0.0.1:28000; port 0 picks a free one).\n"
     "ADDR is a numeric IPv4 or IPv6 address: 127.0.0.1, 0.0.0.0, ::1, [::1], ::;\n"
     "an IPv6 one in brackets when a port follows: [::1]:28000. The web portal\n"
     "listens on the same address unless --portal names one",
     [](const std::string& value, CommandLine& line) { return takeAddress(value, line.options.service); }},
    {"--portal", "", "ADDR[:PORT]",
     "web portal address, written the same way (default: the service server's\n"
     "address, port 28080; port 0 picks a free one)",
     [](const std::string& value, CommandLine& line) {
         line.portalAddressGiven = true;
         return takeAddress(value, line.options.portal);
     }},
    {"--no-portal", "", "", "do not start the web portal",
     [](const std::string&, CommandLine& line) {
         line.options.portalEnabled = false;
         return std::string();
     }},
    {"--data", "", "DIR",
     "data directory: one folder per account with sc_serv.conf, sc_trans.conf,\n"
     "sc_nsv.conf and the logs sc_serv.log, sc_trans.log, sc_nsv.log; created and\n"
     "seeded with defaults when missing (default $XDG_STATE_HOME/ostravel-hostsim,\n"
     "else ~/.local/state/ostravel-hostsim)",
     [](const std::string& value, CommandLine& line) {
         line.options.dataDir = value;
         return std::string(value.empty() ? "--data needs a directory" : "");
     }},
    {"--accounts", "", "FILE",
     "accounts, one a line, fields separated by TABs:\n"
     "  USER  PASSWORD  MAX-BITRATE-KBPS  normal|demo  [STREAM-PORT]\n"
     "lines starting with '#' are comments. Default: \"dj\" / \"djpass\", 320 kbps,\n"
     "normal, stream port 8000; and \"demo\" / \"demo\", 128 kbps, demo, port 8002.\n"
     "AutoTV needs 250 kbps or more; demo accounts cannot read or clear logs.",
     [](const std::string& value, CommandLine& line) {
         line.accountsFile = value;
         return std::string(value.empty() ? "--accounts needs a file" : "");
     }},
    {"--stream-host", "", "ADDR",
     "stream address given in status reports and tune-in files (default 127.0.0.1)",
     [](const std::string& value, CommandLine& line) {
         line.options.streamHost = value;
         return std::string(value.empty() ? "--stream-host needs an address" : "");
     }},
    {"--keepalive", "", "N",
     "send a logged-in session a status report every N seconds (default 10; 0: never)",
     [](const std::string& value, CommandLine& line) {
         const bool good = parseNumber(value, 0, 86400, line.options.keepaliveSeconds);
         return std::string(good ? "" : "--keepalive needs a number of seconds (0 to 86400)");
     }},
    {"--reply-gap", "", "MS",
     "least time between two replies on one connection (default 50; the client\n"
     "takes each received chunk as one reply, so keep it at 50 or more)",
     [](const std::string& value, CommandLine& line) {
         const bool good = parseNumber(value, 0, 60000, line.options.replyGapMs);
         return std::string(good ? "" : "--reply-gap needs a number of milliseconds (0 to 60000)");
     }},
    {"--fault", "", "SWITCHES",
     "misbehave on every new service connection; SWITCHES is a comma-separated list:\n"
     "  stall            send no reply at all (keep reading)\n"
     "  stall-after=N    send N replies, then nothing more\n"
     "  close-after=N    close the connection after N replies\n"
     "  reset-after=N    reset the connection (TCP RST) after N replies\n"
     "  bye-after=N      say \"/bye\" after N replies, then close the connection\n"
     "  split=N          send every reply in pieces of N bytes, each a chunk of its own\n"
     "  trickle          send every reply one byte every 10 ms\n"
     "  oversize         pad every reply to 30000 bytes (over the client's 25600)\n"
     "  flood            send 1 MiB with no NUL and no keyword before the next reply\n"
     "  nuls             put a NUL byte in the middle of every reply\n"
     "  merge            send two consecutive replies in one chunk\n"
     "  deaf             take no new connection: the listener's queue is kept full,\n"
     "                   so a connect hangs (its SYN is never answered)\n"
     "  none             clear the switches given before\n"
     "may be given more than once; N counts the replies of each connection from\n"
     "its start. The portal can change them at run time (below).",
     [](const std::string& value, CommandLine& line) {
         std::string error;
         if (hostsim::applyFaultList(value, line.options.faults, error)) {
             return std::string();
         }
         return "--fault: " + (error.empty() ? std::string("needs switches") : error);
     }},
    {"--quiet", "", "", "print only the start line and errors",
     [](const std::string&, CommandLine& line) {
         line.quiet = true;
         return std::string();
     }},
    {"--help", "-h", "", "show this text and exit",
     [](const std::string&, CommandLine& line) {
         line.answer = CommandLine::Help;
         return std::string();
     }},
    {"--version", "", "", "show the version and exit",
     [](const std::string&, CommandLine& line) {
         line.answer = CommandLine::Version;
         return std::string();
     }},
};

// "  LEFT  help", the help's lines in a column of their own, from the next line when LEFT is too wide.
std::string helpRow(std::string_view left, std::string_view help) {
    constexpr std::size_t kColumn = 24;
    std::string text = "  " + std::string(left);
    text += left.size() + 4 > kColumn ? "\n" + std::string(kColumn, ' ')
                                      : std::string(kColumn - 2 - left.size(), ' ');
    for (std::size_t at = 0;;) {
        const std::size_t end = help.find('\n', at);
        text += std::string(help.substr(at, end - at)) + "\n";
        if (end == std::string_view::npos) {
            return text;
        }
        text += std::string(kColumn, ' ');
        at = end + 1;
    }
}

std::string helpText() {
    std::string text = R"(Usage: ostravel-hostsim [OPTION]...
A stand-in for the streaming host: the service server that Ostravel logs in to (accounts; server,
AutoDJ and AutoTV that start and stop; status reports; settings kept in files; logs) and the host's
web portal. Every received block and every reply is printed on standard output, passwords masked.

Options:
)";
    for (const OptionRow& row : kOptionRows) {
        std::string left = row.shortName.empty() ? std::string() : std::string(row.shortName) + ", ";
        left += std::string(row.name) + (row.argument.empty() ? "" : " " + std::string(row.argument));
        text += helpRow(left, row.help);
    }
    text += R"(An option's value may also follow it after '=': --listen=[::1]:0.

On the portal, GET /hostsim/fault?set=SWITCHES sets the fault switches for new connections (add
&live to switch the open connections too); the block "hostsim_fault,SWITCHES" sent on a service
connection sets them for that connection. GET /hostsim/fault?drop closes every open service connection at once (an orderly
close, as when the host restarts) and goes on listening; with set=SWITCHES in the same request the
switches come first, so ?set=deaf&drop leaves the dropped clients nowhere to connect to.
GET /hostsim/service?user=NAME&do=server_stop (or server_start, dj_start, ...) starts or stops an
account's service as the host's operator would; the next status report shows it.

The first line on standard output is
  listening service=ADDR:PORT portal=ADDR:PORT data=DIR
with the addresses bound, an IPv6 one in brackets (portal=off with --no-portal).
SIGINT or SIGTERM says "/bye" to every session and exits.

Exit status:
)";
    for (const ExitStatus& status : kExitStatuses) {
        std::string meaning(status.meaning);
        for (std::size_t at = 0; (at = meaning.find('\n', at)) != std::string::npos; at += 6) {
            meaning.insert(at + 1, "     ");
        }
        text += "  " + std::to_string(status.status) + "  " + meaning + "\n";
    }
    return text;
}

int usageError(const std::string& message) {
    std::cerr << "ostravel-hostsim: " << message << "\nTry 'ostravel-hostsim --help'.\n";
    return kExitUsage;
}

const OptionRow* findOption(std::string_view arg) {
    for (const OptionRow& row : kOptionRows) {
        if (arg == row.name || (!row.shortName.empty() && arg == row.shortName)) {
            return &row;
        }
    }
    return nullptr;
}

// One option at argv[i] (moved past the value it takes); what is wrong with it, or "".
std::string parseOption(int argc, char** argv, int& i, CommandLine& line) {
    std::string_view arg = argv[i];
    std::optional<std::string> value;  // --option=value
    if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
        value = std::string(arg.substr(eq + 1));
        arg = arg.substr(0, eq);
    }
    const OptionRow* row = findOption(arg);
    if (row == nullptr) {
        return "unknown option '" + std::string(arg) + "'";
    }
    if (row->argument.empty() && value) {
        return std::string(arg) + " takes no value";
    }
    if (!row->argument.empty() && !value) {
        if (i + 1 >= argc) {
            return std::string(arg) + " needs " + std::string(row->argument);
        }
        value = argv[++i];
    }
    return row->take(value.value_or(""), line);
}

// Reads the options, then what they point to; an exit status when the program ends here.
std::optional<int> readCommandLine(int argc, char** argv, CommandLine& line) {
    for (int i = 1; i < argc && line.answer == CommandLine::Run; ++i) {
        if (const std::string error = parseOption(argc, argv, i, line); !error.empty()) {
            return usageError(error);
        }
    }
    if (line.answer == CommandLine::Help) {
        std::cout << helpText();
        return kExitStopped;
    }
    if (line.answer == CommandLine::Version) {
        std::cout << "ostravel-hostsim 1.0\n";
        return kExitStopped;
    }
    if (!line.portalAddressGiven) {
        line.options.portal.host = line.options.service.host;
    }
    if (!line.accountsFile.empty()) {
        std::string error;
        if (!hostsim::loadAccounts(line.accountsFile, line.options.accounts, error)) {
            std::cerr << "ostravel-hostsim: " << error << "\n";
            return kExitAccounts;
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
        return kExitFailed;
    }
    printStartLines(sim, line);
    waitForStopSignal(signals, line.quiet);
    sim.stop();
    return kExitStopped;
}
