#include "ctl/ctl.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "config/preferences.h"
#include "ctl/credentials.h"
#include "ctl/ctlcommands.h"
#include "ctl/ctlhistory.h"
#include "ctl/ctloutput.h"
#include "ctl/ctlsession.h"
#ifndef _WIN32
#include "ctl/watch.h"
#endif
#include "history/historystore.h"
#include "protocol/commands.h"
#include "protocol/requests.h"
#include "session/sessioncontrol.h"
#include "session/sessiondocument.h"

#ifndef OSTRAVEL_CTL_VERSION
#define OSTRAVEL_CTL_VERSION "unknown"
#endif

namespace ostravel::ctl {

namespace {

struct Options {
    bool help = false;
    bool version = false;
    bool json = false;
    std::optional<std::string> userName;
    std::optional<std::string> passwordFile;
    std::optional<std::string> server;
    double timeoutSeconds = kDefaultTimeoutSeconds;
    std::vector<std::string> words;
    // watch
    std::optional<int> intervalSeconds;
    std::vector<std::string> onChange;  // the program and its arguments
    // history
    std::optional<int> days;
    bool csv = false;
};

const std::vector<std::string> kWatchWords = {"watch"};
const std::vector<std::string> kHistoryWords = {"history"};

// A failure: its exit status and the one line that says why.
struct Failure {
    int status;
    std::string reason;
};

using Outcome = std::optional<Failure>;  // nothing when the option was taken

Failure Usage(std::string reason) { return Failure{kExitUsage, std::move(reason)}; }

template <bool Options::*kFlag>
Outcome SetFlag(const std::string&, Options& options) {
    options.*kFlag = true;
    return std::nullopt;
}

template <std::optional<std::string> Options::*kField>
Outcome SetText(const std::string& value, Options& options) {
    options.*kField = value;
    return std::nullopt;
}

Outcome TakeTimeout(const std::string& text, Options& options) {
    double seconds = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(seconds) ||
        seconds <= 0 || seconds > 86400) {
        return Usage("--timeout needs a number of seconds above 0 and at most 86400, not '" + text + "'");
    }
    options.timeoutSeconds = seconds;
    return std::nullopt;
}

// A whole number from `least` to `most`.
std::optional<int> WholeNumber(const std::string& text, int least, int most) {
    int number = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || number < least ||
        number > most)
        return std::nullopt;
    return number;
}

// The same range as the desktop's refresh preference.
Outcome TakeInterval(const std::string& text, Options& options) {
    constexpr const Preference* kRow = FindPreference(pref::kRefreshIntervalSeconds);
    options.intervalSeconds = WholeNumber(text, kRow->min, kRow->max);
    if (options.intervalSeconds) return std::nullopt;
    return Usage("--interval needs a whole number of seconds from " + std::to_string(kRow->min) + " to " +
                 std::to_string(kRow->max) + ", not '" + text + "'");
}

// As far back as the history keeps.
Outcome TakeDays(const std::string& text, Options& options) {
    constexpr int kMost = static_cast<int>(kHistoryKeepSeconds / (24 * 60 * 60));
    options.days = WholeNumber(text, 1, kMost);
    if (options.days) return std::nullopt;
    return Usage("--days needs a whole number from 1 to " + std::to_string(kMost) + ", not '" + text + "'");
}

// Anything on the command line shows in every user's process list.
Outcome RefusePassword(const std::string&, Options&) {
    return Failure{kExitCredentials,
                   "the password is not taken on the command line; use --password-file FILE or " +
                       std::string(kPasswordVariable)};
}

enum class Takes {
    Nothing,  // a switch; "--name=VALUE" is a mistake
    Value,    // "--name VALUE" or "--name=VALUE"
    // A refused option whose value is skipped, so that it is never taken for a command word and echoed.
    SkippedValue,
    Rest,  // everything after it ("--name PROGRAM ARG..." or "--name=PROGRAM ARG...")
};

struct OptionRow {
    std::string_view name;
    std::string_view shortName;  // "" for none
    Takes takes;
    Outcome (*action)(const std::string& value, Options& options);  // value: "" unless takes is Value;
                                                                    // none for Rest
};

constexpr OptionRow kOptionRows[] = {
    {"--help", "-h", Takes::Nothing, SetFlag<&Options::help>},
    {"--version", "", Takes::Nothing, SetFlag<&Options::version>},
    {"--json", "", Takes::Nothing, SetFlag<&Options::json>},
    {"--user", "", Takes::Value, SetText<&Options::userName>},
    {"--password-file", "", Takes::Value, SetText<&Options::passwordFile>},
    {"--server", "", Takes::Value, SetText<&Options::server>},
    {"--timeout", "", Takes::Value, TakeTimeout},
    {"--interval", "", Takes::Value, TakeInterval},
    {"--on-change", "", Takes::Rest, nullptr},
    {"--days", "", Takes::Value, TakeDays},
    {"--csv", "", Takes::Nothing, SetFlag<&Options::csv>},
    {"--password", "-p", Takes::SkippedValue, RefusePassword},
};

const OptionRow* FindOption(std::string_view arg) {
    for (const OptionRow& row : kOptionRows) {
        if (arg == row.name || (!row.shortName.empty() && arg == row.shortName)) return &row;
    }
    return nullptr;
}

// One argument at `i` (moved past the value it takes). The command words are collected even after
// a mistake, so that check still answers as a monitoring check.
Outcome ParseOption(const std::vector<std::string>& args, std::size_t& i, Options& options) {
    std::string arg = args[i];
    std::optional<std::string> value;
    if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
        if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.erase(eq);
        }
    }
    const OptionRow* row = FindOption(arg);
    if (value && (row == nullptr || (row->takes != Takes::Value && row->takes != Takes::Rest)))
        return Usage(arg + " takes no value");
    if (row == nullptr) {
        if (!arg.empty() && arg[0] == '-' && arg != "-")
            return Usage("unknown option '" + arg + "' (see " + std::string(kProgram) + " --help)");
        options.words.push_back(arg);
        return std::nullopt;
    }
    switch (row->takes) {
        case Takes::Nothing:
            break;
        case Takes::Value:
            if (!value) {
                if (i + 1 >= args.size()) return Usage(arg + " needs a value");
                value = args[++i];
            }
            break;
        case Takes::SkippedValue:
            if (i + 1 < args.size()) ++i;
            break;
        case Takes::Rest:
            if (value) options.onChange.push_back(*value);
            options.onChange.insert(options.onChange.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                    args.end());
            i = args.size();
            if (options.onChange.empty() || options.onChange[0].empty())
                return Usage(arg + " needs a program");
            return std::nullopt;
    }
    return row->action(value.value_or(std::string()), options);
}

std::optional<Failure> ParseOptions(const std::vector<std::string>& args, Options& options) {
    std::optional<Failure> first;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::optional<Failure> failure = ParseOption(args, i, options);
        if (failure && !first) first = std::move(failure);
    }
    return first;
}

std::optional<Failure> ParseServer(const std::string& text, HostAddress& endpoint) {
    std::string error;
    const auto host = ParseHostAddress(text, kServicePort, &error);
    if (!host) return Failure{kExitUsage, "--server: " + error};
    endpoint = *host;
    return std::nullopt;
}

// What may travel: the session keeps at most 99 characters of each, and a request cut short would
// be another request.
std::optional<Failure> CheckCredentials(const std::string& user, const std::string& password,
                                        const CtlCommand& command) {
    const auto bad = [](std::string reason) { return Failure{kExitCredentials, std::move(reason)}; };
    constexpr std::size_t kMost = SessionDocument::kCredentialCapacity - 1;
    if (user.empty()) return bad("the user name is empty");
    if (user.size() > kMost)
        return bad("the user name is longer than " + std::to_string(kMost) + " characters");
    if (password.size() > kMost)
        return bad("the password is longer than " + std::to_string(kMost) + " characters");
    for (const std::string* text : {&user, &password}) {
        if (text->find_first_of(std::string("\0\r\n", 3)) != std::string::npos) {
            return bad(text == &user ? "the user name holds a line break or NUL"
                                     : "the password holds a line break or NUL");
        }
    }
    const std::string request = ComposeCommandRequest(*FindCommand(command.commandId), user, password);
    if (!FitsBlock(FirstLoginBlockText(user), kCommandBlockSize) ||
        !FitsBlock(SecondLoginBlockText(user, password), kCommandBlockSize) ||
        !FitsBlock(request, kCommandBlockSize)) {
        return bad("the user name and password are too long together for a " +
                   std::to_string(kCommandBlockSize) + "-byte request");
    }
    return std::nullopt;
}

// The catalogue row of the command words.
std::optional<Failure> FindWantedCommand(const std::vector<std::string>& words, const CtlCommand*& command) {
    if (words.empty())
        return Failure{kExitUsage, "no command given (see " + std::string(kProgram) + " --help)"};
    command = FindCtlCommand(words);
    if (command == nullptr) {
        std::string typed;
        for (const std::string& word : words) typed += (typed.empty() ? "" : " ") + word;
        return Failure{kExitUsage,
                       "unknown command '" + OneLine(typed) + "' (see " + std::string(kProgram) + " --help)"};
    }
    return std::nullopt;
}

// From --password-file, else from the environment, else the one the desktop program remembered;
// never from the command line.
std::optional<Failure> ReadPassword(const Options& options, const Environment& environment,
                                    const std::string& user, std::string& password) {
    if (options.passwordFile) {
        std::string error;
        if (!ReadPasswordFile(*options.passwordFile, password, error))
            return Failure{kExitCredentials, error};
    } else if (auto fromEnvironment = environment(kPasswordVariable);
               fromEnvironment && !fromEnvironment->empty()) {
        password = std::move(*fromEnvironment);
    } else if (auto remembered = RememberedPassword(user)) {
        password = std::move(*remembered);
    } else {
        return Failure{kExitCredentials,
                       "no password: use --password-file FILE or set " + std::string(kPasswordVariable)};
    }
    return std::nullopt;
}

// Where to connect, as whom, and for how long.
std::optional<Failure> ComposeSessionRequest(const Options& options, const Environment& environment,
                                             const CtlCommand& command, SessionRequest& request) {
    request.command = &command;
    request.endpoint = ServiceEndpoint();
    request.timeout =
        std::chrono::milliseconds(static_cast<long long>(std::ceil(options.timeoutSeconds * 1000)));
    if (options.server) {
        if (auto bad = ParseServer(*options.server, request.endpoint)) return bad;
    }
    if (!options.userName) return Failure{kExitUsage, "--user NAME is required"};
    request.userName = *options.userName;
    if (auto bad = ReadPassword(options, environment, request.userName, request.password)) return bad;
    return CheckCredentials(request.userName, request.password, command);
}

std::string CheckLine(int state, std::chrono::duration<double> elapsed) {
    static constexpr const char* kLabels[] = {"CRITICAL", "WARNING", "OK", "UNKNOWN"};
    char perf[96];
    std::snprintf(perf, sizeof perf, " | time=%.3fs;;;0 state=%d;;;0;3", elapsed.count(), state);
    return std::string("OSTRAVEL ") + kLabels[state] + " - " + std::string(StateWords(state)) + perf + "\n";
}

int CheckStatus(int state) {
    switch (state) {
        case 2:
            return kCheckOk;
        case 1:
            return kCheckWarning;
        case 0:
            return kCheckCritical;
        default:
            return kCheckUnknown;
    }
}

// Prints the answer of a session that worked; returns the exit status.
int PrintAnswer(const CtlCommand& command, const SessionResult& result, bool json, std::ostream& out) {
    const ViewEvent& answer = result.answer;
    switch (command.output) {
        case Output::Message:
            out << (json ? "{\n  \"reply\": " + JsonString(answer.text) + "\n}\n" : AsLines(answer.text));
            break;
        case Output::Status: {
            const int state = StateFromIcon(answer.trayIcon);
            out << (json ? FormatStatusJson(answer.text, state, result.session) : FormatStatus(answer.text));
            break;
        }
        case Output::Check: {
            const int state = StateFromIcon(answer.trayIcon);
            out << CheckLine(state, result.elapsed);
            return CheckStatus(state);
        }
        case Output::Text:
            out << (json ? "{\n  \"text\": " + JsonString(answer.text) + "\n}\n" : AsLines(answer.text));
            break;
        case Output::ServerSettings:
        case Output::DjSettings:
        case Output::TvSettings: {
            const SettingsRecords& s = result.settings;
            const std::vector<SettingLine> lines =
                command.output == Output::ServerSettings ? ServerSettingLines(s.server)
                : command.output == Output::DjSettings   ? AutoDJSettingLines(s.autoDJ)
                                                         : AutoTVSettingLines(s.autoTV);
            out << (json ? FormatSettingsJson(lines) : FormatSettings(lines));
            break;
        }
    }
    return kExitOk;
}

// check speaks to a monitoring system: its state line goes to standard output whatever happened,
// and every failure is UNKNOWN, except a refused login, which is CRITICAL.
int CheckFailure(const Failure& failure, std::ostream& out) {
    const bool critical = failure.status == kExitLogin;
    out << "OSTRAVEL " << (critical ? "CRITICAL" : "UNKNOWN") << " - " << failure.reason << "\n";
    return critical ? kCheckCritical : kCheckUnknown;
}

// Options that one command alone takes.
std::optional<Failure> CheckCommandOptions(const Options& options) {
    const bool watch = options.words == kWatchWords, history = options.words == kHistoryWords;
    if (!watch && options.intervalSeconds) return Usage("--interval is for watch only");
    if (!watch && !options.onChange.empty()) return Usage("--on-change is for watch only");
    if (!history && options.days) return Usage("--days is for history only");
    if (!history && options.csv) return Usage("--csv is for history only");
    if (watch && options.json) return Usage("watch prints one line per change; --json is not for it");
    if (options.csv && options.json) return Usage("--csv and --json cannot go together");
    return std::nullopt;
}

// Logs in as every command does and stays until a signal or until no login can follow.
std::optional<Failure> WatchCommand(const Options& options, const Environment& environment, std::ostream& out,
                                    std::ostream& err) {
#ifdef _WIN32
    // It waits for signals and starts its change command the POSIX way.
    (void)options, (void)environment, (void)out, (void)err;
    return Usage("watch is not available on Windows");
#else
    SessionRequest login;
    // The status row: what watch asks for again and again.
    const CtlCommand& status = *FindCtlCommand({"status"});
    if (auto bad = ComposeSessionRequest(options, environment, status, login)) return bad;
    WatchRequest request;
    request.endpoint = login.endpoint;
    request.userName = login.userName;
    request.password = login.password;
    request.intervalSeconds =
        options.intervalSeconds.value_or(FindPreference(pref::kRefreshIntervalSeconds)->defaultNumber);
    request.connectSeconds = std::max(1, static_cast<int>(std::ceil(options.timeoutSeconds)));
    request.onChange = options.onChange;
    const WatchResult result = RunWatch(request, out, err);
    if (result.status != kExitOk) return Failure{result.status, result.reason};
    return std::nullopt;
#endif
}

// Reads the history of the account the session would log in to; no password, no connection.
std::optional<Failure> HistoryCommand(const Options& options, std::ostream& out) {
    HistoryRequest request;
    HostAddress endpoint = ServiceEndpoint();
    if (options.server) {
        if (auto bad = ParseServer(*options.server, endpoint)) return bad;
    }
    if (!options.userName) return Usage("--user NAME is required");
    request.file = HistoryFile();
    request.account = HistoryStore::AccountKey(FormatHostAddress(endpoint), *options.userName);
    request.days = options.days.value_or(kDefaultHistoryDays);
    request.format = options.csv    ? HistoryFormat::Csv
                     : options.json ? HistoryFormat::Json
                                    : HistoryFormat::Table;
    request.now = static_cast<std::int64_t>(std::time(nullptr));
    std::string error;
    if (const int status = PrintHistory(request, out, error); status != kExitOk)
        return Failure{status, error};
    return std::nullopt;
}

}  // namespace

std::string HelpText() {
    std::string text = std::string("Usage: ") + kProgram + R"( [OPTION]... COMMAND
       )" + kProgram + R"( [OPTION]... watch [--interval S] [--on-change PROGRAM [ARG]...]
       )" + kProgram + R"( [OPTION]... history [--days N] [--csv|--json]
Log in to the streaming host's service server, run one command, print its answer and log off.
For scripts and monitoring. watch stays logged in and tells each change of the server's state;
history prints the states kept so far.

Options:
  --user NAME           the account's user name (required)
  --password-file FILE  read the password from the first line of FILE, which only its owner may
                        read or write (chmod 600); without it the password comes from the
                        environment variable )" +
                       std::string(kPasswordVariable) + R"(. Never on the command line.
  --server HOST[:PORT]  the service server: a name, an IPv4 address or an IPv6 one in brackets
                        when a port follows (default )" +
                       FormatHostAddress(ServiceEndpoint()) + R"()
  --timeout S           give up after S seconds (default 10); covers connecting, the login and the
                        answer; the log-off notice afterwards may take up to 2 s more
  --json                print the status, settings, reply or history as JSON
  --help                show this text and exit
  --version             show the version and exit

Commands:
)";
    for (const CtlCommand& command : CtlCommands()) {
        std::string words(command.words);
        words.resize(std::max<std::size_t>(words.size() + 2, 22), ' ');
        text += "  " + words + std::string(command.summary) + "\n";
    }
    text += R"(  watch                 stay logged in (logging in again after a loss) and print one line per
                        change of state: the time and the state
  history               print the station history: a table of spans and a summary

watch:
  --interval S          ask for the status every S seconds, 10 to 300 (default 20); the session
                        asks at least every 20 s whatever S is, to notice a dead connection
  --on-change PROGRAM [ARG]...
                        run PROGRAM at each change, without a shell, one run at a time in order
                        (a run going on for 30 s no longer holds up the next); it takes the
                        rest of the command line. Its environment adds OSTRAVEL_STATE and
                        OSTRAVEL_PREVIOUS (down, no-source, on-air, lost; the previous one empty
                        at first), OSTRAVEL_SINCE (ISO 8601 local time) and OSTRAVEL_ACCOUNT
                        ("host:port user"), and loses )" +
            std::string(kPasswordVariable) + R"(
  SIGINT or SIGTERM logs off, closes the history's span and exits 0. The systemd user unit
  ostravel-watch@USER.service runs it with --password-file ~/.config/zandrel/USER.password.
history (no password, no connection; the account of --user and --server):
  --days N              the last N days, 1 to 400 (default 7)
  --csv                 CSV (RFC 4180) instead of the table
The history is kept in $XDG_STATE_HOME/zandrel/history.sqlite (~/.local/state/zandrel/...).

Exit status:
  0  done
  1  the host answered with an error
  2  bad command line
  3  no usable user name or password (none given, password file open to others, too long)
  4  the service server could not be reached
  5  the host refused the login
  6  no answer within the time-out
  7  the host ended the connection first
  8  the account's plan has no such service (AutoTV)
  9  a local failure: the history cannot be read, or watch cannot wait for signals
watch ends with 0 after SIGINT or SIGTERM, 5 when a login is refused, 7 when reconnecting gave up.
check follows the monitoring plugin convention instead: it prints one line, "OSTRAVEL OK - ..."
with performance data, and exits 0 (OK: server up and public), 1 (WARNING: server up without a
source), 2 (CRITICAL: server down, or the login refused) or 3 (UNKNOWN: no answer, no connection,
or any other failure).
Every failure is also told in one line on standard error.
)";
    return text;
}

int Run(const std::vector<std::string>& args, const Environment& environment, std::ostream& out,
        std::ostream& err) {
    Options options;
    std::optional<Failure> failure = ParseOptions(args, options);
    const bool check = options.words == std::vector<std::string>{"check"};
    const auto finish = [&](const Failure& f) {
        err << kProgram << ": " << f.reason << "\n";
        return check ? CheckFailure(f, out) : f.status;
    };
    if (failure) return finish(*failure);
    if (options.help) {
        out << HelpText();
        return kExitOk;
    }
    if (options.version) {
        out << kProgram << " " << OSTRAVEL_CTL_VERSION << "\n";
        return kExitOk;
    }
    if (options.words == kWatchWords || options.words == kHistoryWords) {
        std::optional<Failure> bad = CheckCommandOptions(options);
        if (!bad) {
            bad = options.words == kWatchWords ? WatchCommand(options, environment, out, err)
                                               : HistoryCommand(options, out);
        }
        return bad ? finish(*bad) : kExitOk;
    }
    const CtlCommand* command = nullptr;
    if (auto bad = FindWantedCommand(options.words, command)) return finish(*bad);
    if (auto bad = CheckCommandOptions(options)) return finish(*bad);
    SessionRequest request;
    if (auto bad = ComposeSessionRequest(options, environment, *command, request)) return finish(*bad);
    const SessionResult result = RunSession(request);
    if (result.status != kExitOk) return finish({result.status, result.reason});
    return PrintAnswer(*command, result, options.json, out);
}

}  // namespace ostravel::ctl
