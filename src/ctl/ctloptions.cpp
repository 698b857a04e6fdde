#include "ctl/ctloptions.h"

#include <charconv>
#include <cmath>
#include <span>
#include <string_view>

#include "config/preferences.h"
#include "ctl/ctlcommands.h"
#include "ctl/ctlhistory.h"
#include "history/historystore.h"
#include "platform/translate.h"
#include "session/sessioncontrol.h"

namespace ostravel::ctl {

std::string Said(std::string_view english) { return Translated(std::string(english).c_str()); }

namespace {

using Outcome = std::optional<Failure>;  // nothing when the option was taken

constexpr double kMostTimeoutSeconds = 24 * 60 * 60;
constexpr int kMostDays = static_cast<int>(kHistoryKeepSeconds / (24 * 60 * 60));
// The same range as the desktop's refresh preference.
constexpr const Preference* kIntervalRow = FindPreference(pref::kRefreshIntervalSeconds);

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
        seconds <= 0 || seconds > kMostTimeoutSeconds) {
        return Usage(
            FillIn(Translated(N_("--timeout needs a number of seconds above 0 and at most {1}, not '{2}'")),
                   {std::to_string(static_cast<int>(kMostTimeoutSeconds)), text}));
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

Outcome TakeInterval(const std::string& text, Options& options) {
    options.intervalSeconds = WholeNumber(text, kIntervalRow->min, kIntervalRow->max);
    if (options.intervalSeconds) return std::nullopt;
    return Usage(
        FillIn(Translated(N_("--interval needs a whole number of seconds from {1} to {2}, not '{3}'")),
               {std::to_string(kIntervalRow->min), std::to_string(kIntervalRow->max), text}));
}

// As far back as the history keeps.
Outcome TakeDays(const std::string& text, Options& options) {
    options.days = WholeNumber(text, 1, kMostDays);
    if (options.days) return std::nullopt;
    return Usage(FillIn(Translated(N_("--days needs a whole number from 1 to {1}, not '{2}'")),
                        {std::to_string(kMostDays), text}));
}

// Anything on the command line shows in every user's process list.
Outcome RefusePassword(const std::string&, Options&) {
    return Failure{kExitCredentials,
                   FillIn(Translated(N_("the password is not taken on the command line; use --password-file "
                                        "FILE or {1}")),
                          {kPasswordVariable})};
}

enum class Takes {
    Nothing,  // a switch; "--name=VALUE" is a mistake
    Value,    // "--name VALUE" or "--name=VALUE"
    // A refused option whose value is skipped, so that it is never taken for a command word and echoed.
    SkippedValue,
    Rest,  // everything after it ("--name PROGRAM ARG..." or "--name=PROGRAM ARG...")
};

// Which part of --help an option is told in.
enum class Part { Every, Watch, History };

struct OptionRow {
    std::string_view name;
    std::string_view shortName;  // "" for none
    std::string_view argument;   // as --help and the manual page name it; "" for a switch
    Takes takes;
    Part part;
    // For --help; lines after the first are indented under it. {NAME} is filled in by HelpValue.
    std::string_view help;
    Outcome (*action)(const std::string& value, Options& options);  // value: "" unless takes is Value;
                                                                    // none for Rest
};

constexpr OptionRow kOptionRows[] = {
    {"--user", "", "NAME", Takes::Value, Part::Every, N_("the account's user name (required)"),
     SetText<&Options::userName>},
    {"--password-file", "", "FILE", Takes::Value, Part::Every,
     N_("read the password from the first line of FILE, which only its owner may\n"
        "read or write (chmod 600); without it the password comes from the\n"
        "environment variable {PASSWORD}"),
     SetText<&Options::passwordFile>},
    {"--password", "-p", "PASSWORD", Takes::SkippedValue, Part::Every,
     N_("refused (exit status 3): a password on the command line is visible to every\n"
        "user of the machine in the process list"),
     RefusePassword},
    {"--server", "", "HOST[:PORT]", Takes::Value, Part::Every,
     N_("the service server: a name, an IPv4 address or an IPv6 one in brackets\n"
        "when a port follows (default {SERVER})"),
     SetText<&Options::server>},
    {"--timeout", "", "S", Takes::Value, Part::Every,
     N_("give up after S seconds, above 0 and at most {MOST-TIMEOUT} (default {TIMEOUT}); covers\n"
        "connecting, the login and the answer; the log-off notice afterwards may take\n"
        "up to 2 s more"),
     TakeTimeout},
    {"--json", "", "", Takes::Nothing, Part::Every,
     N_("print the status, settings, reply or history as JSON"), SetFlag<&Options::json>},
    {"--help", "-h", "", Takes::Nothing, Part::Every, N_("show this text and exit"), SetFlag<&Options::help>},
    {"--version", "", "", Takes::Nothing, Part::Every, N_("show the version and exit"),
     SetFlag<&Options::version>},
    {"--interval", "", "S", Takes::Value, Part::Watch,
     N_("ask for the status every S seconds, {INTERVAL} (default {DEFAULT-INTERVAL}); the session\n"
        "asks at least every 20 s whatever S is, to notice a dead connection"),
     TakeInterval},
    {"--on-change", "", "PROGRAM [ARG]...", Takes::Rest, Part::Watch,
     // TRANSLATORS: the variables' names and the states' words (down, no-source, ...) stay as they are.
     N_("run PROGRAM at each change, without a shell, one run at a time in order\n"
        "(a run going on for 30 s no longer holds up the next); it takes the\n"
        "rest of the command line. Its environment adds OSTRAVEL_STATE and\n"
        "OSTRAVEL_PREVIOUS (down, no-source, on-air, lost; the previous one empty\n"
        "at first), OSTRAVEL_SINCE (ISO 8601 local time) and OSTRAVEL_ACCOUNT\n"
        "(\"host:port user\"), and loses {PASSWORD}"),
     nullptr},
    {"--days", "", "N", Takes::Value, Part::History, N_("the last N days, 1 to {MOST-DAYS} (default {DAYS})"),
     TakeDays},
    {"--csv", "", "", Takes::Nothing, Part::History, N_("CSV (RFC 4180) instead of the table"),
     SetFlag<&Options::csv>},
};

const OptionRow* FindOption(std::string_view arg) {
    for (const OptionRow& row : kOptionRows) {
        if (arg == row.name || (!row.shortName.empty() && arg == row.shortName)) return &row;
    }
    return nullptr;
}

// One argument at `i` (moved past the value it takes).
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
        return Usage(FillIn(Translated(N_("{1} takes no value")), {arg}));
    if (row == nullptr) {
        if (!arg.empty() && arg[0] == '-' && arg != "-")
            return Usage(FillIn(Translated(N_("unknown option '{1}' (see {2} --help)")), {arg, kProgram}));
        options.words.push_back(arg);
        return std::nullopt;
    }
    switch (row->takes) {
        case Takes::Nothing:
            break;
        case Takes::Value:
            if (!value) {
                if (i + 1 >= args.size()) return Usage(FillIn(Translated(N_("{1} needs a value")), {arg}));
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
                return Usage(FillIn(Translated(N_("{1} needs a program")), {arg}));
            return std::nullopt;
    }
    return row->action(value.value_or(std::string()), options);
}

// The figures --help names, from where the parser takes them.
std::string HelpValue(std::string_view name) {
    const auto number = [](double n) { return std::to_string(static_cast<int>(n)); };
    if (name == "PASSWORD") return kPasswordVariable;
    if (name == "SERVER") return FormatHostAddress(ServiceEndpoint());
    if (name == "TIMEOUT") return number(kDefaultTimeoutSeconds);
    if (name == "MOST-TIMEOUT") return number(kMostTimeoutSeconds);
    if (name == "INTERVAL")
        return FillIn(Translated(N_("{1} to {2}")), {number(kIntervalRow->min), number(kIntervalRow->max)});
    if (name == "DEFAULT-INTERVAL") return number(kIntervalRow->defaultNumber);
    if (name == "DAYS") return number(kDefaultHistoryDays);
    if (name == "MOST-DAYS") return number(kMostDays);
    return std::string(name);
}

// `help` with each {NAME} in it filled in.
std::string Filled(std::string_view help) {
    std::string text;
    for (std::size_t at = 0; at < help.size();) {
        const std::size_t brace = help.find('{', at), close = help.find('}', brace);
        if (close == std::string_view::npos) return text + std::string(help.substr(at));
        text +=
            std::string(help.substr(at, brace - at)) + HelpValue(help.substr(brace + 1, close - brace - 1));
        at = close + 1;
    }
    return text;
}

// The characters of a UTF-8 text, not its bytes.
std::size_t TextWidth(std::string_view text) {
    std::size_t width = 0;
    for (const char c : text) width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return width;
}

// "  LEFT  help": the help in a column of its own, from the next line when LEFT is too wide for it.
void AppendRow(std::string& text, std::string_view left, std::string_view help) {
    constexpr std::size_t kColumn = 24;
    const std::string indent(kColumn, ' ');
    text += "  " + std::string(left);
    text += left.size() + 4 > kColumn ? "\n" + indent : std::string(kColumn - 2 - left.size(), ' ');
    const std::string lines = Filled(Said(help));
    for (std::size_t at = 0;;) {
        const std::size_t end = lines.find('\n', at);
        text += lines.substr(at, end - at) + "\n";
        if (end == std::string::npos) break;
        text += indent;
        at = end + 1;
    }
}

void AppendOptions(std::string& text, Part part) {
    for (const OptionRow& row : kOptionRows) {
        if (row.part != part) continue;
        std::string left = row.shortName.empty() ? std::string() : std::string(row.shortName) + ", ";
        left += std::string(row.name) + (row.argument.empty() ? "" : " " + std::string(row.argument));
        AppendRow(text, left, row.help);
    }
}

void AppendStatuses(std::string& text, std::span<const ExitStatus> statuses) {
    for (const ExitStatus& status : statuses) {
        std::string meaning = Said(status.meaning);
        for (std::size_t at = 0; (at = meaning.find('\n', at)) != std::string::npos; at += 6)
            meaning.insert(at + 1, "     ");
        text += "  " + std::to_string(status.status) + "  " + meaning + "\n";
    }
}

}  // namespace

Failure Usage(std::string reason) { return Failure{kExitUsage, std::move(reason)}; }

std::optional<Failure> ParseOptions(const std::vector<std::string>& args, Options& options) {
    std::optional<Failure> first;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::optional<Failure> failure = ParseOption(args, i, options);
        if (failure && !first) first = std::move(failure);
    }
    return first;
}

std::string HelpText() {
    const std::string program(kProgram), usage = Translated(N_("Usage:"));
    // The synopsis lines under each other, however long the word before them is.
    const std::string under = std::string(1, '\n').append(TextWidth(usage) + 1, ' ') + program;
    std::string text = usage + " " + program + " [OPTION]... COMMAND" + under +
                       " [OPTION]... watch [--interval S] [--on-change PROGRAM [ARG]...]" + under +
                       " [OPTION]... history [--days N] [--csv|--json]\n";
    text += Translated(
        N_("Log in to the streaming host's service server, run one command, print its answer and log off.\n"
           "For scripts and monitoring. watch stays logged in and tells each change of the server's state;\n"
           "history prints the states kept so far.\n"));
    text += '\n' + Translated(N_("Options:")) + '\n';
    AppendOptions(text, Part::Every);
    text += Translated(N_("An option's value may also follow it after '=': --timeout=20.")) + "\n\n" +
            Translated(N_("Commands:")) + "\n";
    for (const CtlCommand& command : CtlCommands()) AppendRow(text, command.words, command.summary);
    AppendRow(text, "watch",
              N_("stay logged in (logging in again after a loss) and print one line per\n"
                 "change of state: the time and the state"));
    AppendRow(text, "history", N_("print the station history: a table of spans and a summary"));
    text += "\nwatch:\n";
    AppendOptions(text, Part::Watch);
    text += Translated(
        N_("  SIGINT or SIGTERM logs off, closes the history's span and exits 0. The systemd user unit\n"
           "  ostravel-watch@USER.service runs it with --password-file ~/.config/zandrel/USER.password.\n"
           "history (no password, no connection; the account of --user and --server):\n"));
    AppendOptions(text, Part::History);
    text += Translated(
        N_("The history is kept in $XDG_STATE_HOME/zandrel/history.sqlite (~/.local/state/zandrel/...).\n"));
    // The heading the manual page's check looks for.
    text += '\n' + Translated(N_("Exit status:")) + '\n';
    AppendStatuses(text, kExitStatuses);
    text += Translated(N_(
        "watch ends with 0 after SIGINT or SIGTERM, 5 when a login is refused, 7 when reconnecting gave up.\n"
        "check follows the monitoring plugin convention instead: it prints one line, \"OSTRAVEL OK - ...\"\n"
        "with performance data, and exits\n"));
    AppendStatuses(text, kCheckStatuses);
    return text + Translated(N_("Every failure is also told in one line on standard error.")) + "\n";
}

}  // namespace ostravel::ctl
