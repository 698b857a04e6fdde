#include "desktop/commandline.h"

#include <cstdio>
#include <string_view>

#include "platform/translate.h"
#include "session/sessioncontrol.h"

namespace ostravel {

namespace {

struct OptionSpec;
// What an option does with its value (empty for a switch); false ends the reading there.
using OptionAction = bool (*)(CommandLine& line, const OptionSpec& option, std::string value);

struct OptionSpec {
    const char* name;
    const char* value;  // the value's name; nullptr for a switch
    char shortName;     // 0 for none
    const char* help;
    OptionAction take;
};

// The toolkit's own options go on to it untouched.
bool PassToToolkit(CommandLine& line, const OptionSpec& option, std::string value) {
    line.toolkitArgs.push_back(std::string("--") + option.name);
    if (option.value != nullptr) line.toolkitArgs.push_back(std::move(value));
    return true;
}

constexpr OptionSpec kOptions[] = {
    {"help", nullptr, 'h', N_("show this help and exit"),
     [](CommandLine& line, const OptionSpec&, std::string) {
         line.outcome = CommandLine::Help;
         return false;
     }},
    {"version", nullptr, 0, N_("show the version and exit"),
     [](CommandLine& line, const OptionSpec&, std::string) {
         line.outcome = CommandLine::Version;
         return true;
     }},
    {"demo-screenshots", "DIR", 0, N_("log in, start the server, wait for it to stop; screenshots into DIR"),
     [](CommandLine& line, const OptionSpec&, std::string value) {
         line.screenshotDir = std::move(value);
         return true;
     }},
    {"demo-user", "NAME", 0, N_("user name for --demo-screenshots (default demo)"),
     [](CommandLine& line, const OptionSpec&, std::string value) {
         line.demoUser = std::move(value);
         return true;
     }},
    {"demo-password", "PASSWORD", 0, N_("password for --demo-screenshots (default demo)"),
     [](CommandLine& line, const OptionSpec&, std::string value) {
         line.demoPassword = std::move(value);
         return true;
     }},
    {"host", "HOST[:PORT]", 0, N_("connect to this service host for this run (a name, IPv4, or [IPv6]:PORT)"),
     [](CommandLine& line, const OptionSpec&, std::string value) {
         std::string error;
         line.host = ParseHostAddress(value, kServicePort, &error);
         if (line.host) return true;
         line.outcome = CommandLine::Error;
         line.error = "--host: " + error;
         return false;
     }},
    {"hidden", nullptr, 0, N_("start with only the tray icon (minimised where there is no tray)"),
     [](CommandLine& line, const OptionSpec&, std::string) {
         line.hidden = true;
         return true;
     }},
    {"exit-when-shown", nullptr, 0, N_("exit as soon as the main window is shown (start-up timing)"),
     [](CommandLine& line, const OptionSpec&, std::string) {
         line.exitWhenShown = true;
         return true;
     }},
    {"verbose", nullptr, 0, N_("log more of what the toolkit does"), &PassToToolkit},
};

#ifdef __WXGTK__
constexpr OptionSpec kToolkitOptions[] = {
    {"display", "DISPLAY", 0, nullptr, &PassToToolkit},
    {"class", "CLASS", 0, nullptr, &PassToToolkit},
    {"name", "NAME", 0, nullptr, &PassToToolkit},
    {"gtk-module", "MODULES", 0, nullptr, &PassToToolkit},
    {"gdk-debug", "FLAGS", 0, nullptr, &PassToToolkit},
    {"gdk-no-debug", "FLAGS", 0, nullptr, &PassToToolkit},
    {"gtk-debug", "FLAGS", 0, nullptr, &PassToToolkit},
    {"gtk-no-debug", "FLAGS", 0, nullptr, &PassToToolkit},
    {"g-fatal-warnings", nullptr, 0, nullptr, &PassToToolkit},
};
#endif

template <std::size_t N>
const OptionSpec* FindOption(const OptionSpec (&options)[N], std::string_view name) {
    for (const OptionSpec& option : options) {
        if (name == option.name) return &option;
    }
    return nullptr;
}

const OptionSpec* FindShortOption(std::string_view arg) {
    for (const OptionSpec& option : kOptions) {
        if (option.shortName != 0 && arg.size() == 2 && arg[0] == '-' && arg[1] == option.shortName)
            return &option;
    }
    return nullptr;
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine line;
    auto end = [&line](CommandLine::Outcome outcome, std::string error = {}) {
        line.outcome = outcome;
        line.error = std::move(error);
        return line;
    };
    auto fail = [&end](std::string error) { return end(CommandLine::Error, std::move(error)); };
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];  // as the messages name it: "-h", "--host"
        std::string value;
        bool inlineValue = false;
        const OptionSpec* option = FindShortOption(arg);
        if (option == nullptr) {
            if (arg.size() < 3 || !arg.starts_with("--"))
                return fail(FillIn(Translated(N_("unexpected argument '{1}'")), {arg}));
            if (const std::size_t equals = arg.find('='); equals != std::string_view::npos) {
                inlineValue = true;
                value = arg.substr(equals + 1);
                arg = arg.substr(0, equals);
            }
            option = FindOption(kOptions, arg.substr(2));
#ifdef __WXGTK__
            if (option == nullptr) option = FindOption(kToolkitOptions, arg.substr(2));
#endif
            if (option == nullptr) return fail(FillIn(Translated(N_("unknown option '{1}'")), {arg}));
        }
        if (option->value == nullptr && inlineValue) {
            return fail(FillIn(Translated(N_("option '{1}' takes no value")), {arg}));
        }
        if (option->value != nullptr && !inlineValue) {
            if (i + 1 >= argc) return fail(FillIn(Translated(N_("option '{1}' needs a value")), {arg}));
            value = argv[++i];
        }
        if (!option->take(line, *option, std::move(value))) return end(line.outcome, std::string(line.error));
    }
    return line;
}

void PrintUsage() {
    std::printf("%s ostravel [OPTION]...\n%s\n\n", Translated(N_("Usage:")).c_str(),
                Translated(N_("Manage your hosted radio server, AutoDJ and AutoTV.")).c_str());
    for (const OptionSpec& option : kOptions) {
        std::string left =
            option.shortName != 0 ? std::string{'-', option.shortName, ',', ' '} : std::string();
        left += std::string("--") + option.name;
        if (option.value != nullptr) left += std::string(" ") + option.value;
        std::printf("  %-28s %s\n", left.c_str(), Translated(option.help).c_str());
    }
#ifdef __WXGTK__
    std::printf(
        "%s\n",
        Translated(N_("The toolkit's options (--display and the like) are passed on to it.")).c_str());
#endif
    // "Exit status:" is the heading the manual page's check looks for.
    std::printf(
        "%s\n\n%s\n",
        Translated(N_("An option's value may also follow it after '=': --host=radio.example.net.")).c_str(),
        Translated(N_("Exit status:")).c_str());
    for (const ExitStatus& status : kExitStatuses)
        std::printf("  %d  %s\n", status.status, Translated(status.meaning).c_str());
}

}  // namespace ostravel
