#include "ctl/ctl.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "config/preferences.h"
#include "ctl/credentials.h"
#include "ctl/ctlcommands.h"
#include "ctl/ctlhistory.h"
#include "ctl/ctloptions.h"
#include "ctl/ctloutput.h"
#include "ctl/ctlsession.h"
#ifndef _WIN32
#include "ctl/watch.h"
#endif
#include "history/historystore.h"
#include "platform/catalogues.h"
#include "protocol/commands.h"
#include "protocol/requests.h"
#include "session/sessioncontrol.h"
#include "session/sessiondocument.h"

#ifndef OSTRAVEL_CTL_VERSION
#define OSTRAVEL_CTL_VERSION "unknown"
#endif

namespace ostravel::ctl {

namespace {

const std::vector<std::string> kWatchWords = {"watch"};
const std::vector<std::string> kHistoryWords = {"history"};
constexpr const char* kUserRequired = N_("--user NAME is required");

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
    const std::string most = std::to_string(kMost);
    if (user.empty()) return bad(Translated(N_("the user name is empty")));
    if (user.size() > kMost)
        return bad(FillIn(TranslatedPlural("the user name is longer than {1} character",
                                           "the user name is longer than {1} characters", kMost),
                          {most}));
    if (password.size() > kMost)
        return bad(FillIn(TranslatedPlural("the password is longer than {1} character",
                                           "the password is longer than {1} characters", kMost),
                          {most}));
    for (const std::string* text : {&user, &password}) {
        if (text->find_first_of(std::string("\0\r\n", 3)) != std::string::npos) {
            return bad(Translated(text == &user ? N_("the user name holds a line break or NUL")
                                                : N_("the password holds a line break or NUL")));
        }
    }
    const std::string request = ComposeCommandRequest(*FindCommand(command.commandId), user, password);
    if (!FitsBlock(FirstLoginBlockText(user), kCommandBlockSize) ||
        !FitsBlock(SecondLoginBlockText(user, password), kCommandBlockSize) ||
        !FitsBlock(request, kCommandBlockSize)) {
        return bad(
            FillIn(Translated(N_("the user name and password are too long together for a {1}-byte request")),
                   {std::to_string(kCommandBlockSize)}));
    }
    return std::nullopt;
}

// The catalogue row of the command words.
std::optional<Failure> FindWantedCommand(const std::vector<std::string>& words, const CtlCommand*& command) {
    if (words.empty()) return Usage(FillIn(Translated(N_("no command given (see {1} --help)")), {kProgram}));
    command = FindCtlCommand(words);
    if (command == nullptr) {
        std::string typed;
        for (const std::string& word : words) typed += (typed.empty() ? "" : " ") + word;
        return Usage(
            FillIn(Translated(N_("unknown command '{1}' (see {2} --help)")), {OneLine(typed), kProgram}));
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
        return Failure{
            kExitCredentials,
            FillIn(Translated(N_("no password: use --password-file FILE or set {1}")), {kPasswordVariable})};
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
    if (!options.userName) return Usage(Translated(kUserRequired));
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
    const auto only = [](const char* option, const char* command) {
        return Usage(FillIn(Translated(N_("{1} is for {2} only")), {option, command}));
    };
    if (!watch && options.intervalSeconds) return only("--interval", "watch");
    if (!watch && !options.onChange.empty()) return only("--on-change", "watch");
    if (!history && options.days) return only("--days", "history");
    if (!history && options.csv) return only("--csv", "history");
    if (watch && options.json)
        return Usage(Translated(N_("watch prints one line per change; --json is not for it")));
    if (options.csv && options.json) return Usage(Translated(N_("--csv and --json cannot go together")));
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
    if (!options.userName) return Usage(Translated(kUserRequired));
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

void SetUpLanguage() { UseEnvironmentCatalogues(); }

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
