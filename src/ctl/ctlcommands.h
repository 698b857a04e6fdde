// The words of ostravel-ctl: one row per request command of the catalogue (and the monitoring
// check), with the row of the reply routing table that carries its answer.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ostravel::ctl {

// How an answer is printed.
enum class Output {
    Message,         // the reply line, as the message list shows it
    Status,          // the status box
    Check,           // one monitoring line and the monitoring exit status
    Text,            // the text viewer (logs, account summary)
    ServerSettings,  // name=value lines from the parsed records
    DjSettings,
    TvSettings,
};

struct CtlCommand {
    std::string_view words;  // as typed: "server start", "logs clear dj"
    int commandId;           // the catalogue row whose request is sent
    // Keywords of the routing rows the answer arrives on (a settings reply and its error share
    // a row with the dialog; the server's settings come on two rows). Empty entries are unused.
    std::array<std::string_view, 2> replyKeywords;
    Output output;
    std::string_view summary;  // for --help
};

std::span<const CtlCommand> CtlCommands();

// The row whose words are exactly `words`, or nullptr.
const CtlCommand* FindCtlCommand(const std::vector<std::string>& words);

}  // namespace ostravel::ctl
