// `ostravel-ctl watch`: stays logged in, as the desktop does with reconnection and the live status
// switched on, and tells each change of the station's state: a line on standard output, the history
// file, and the --on-change command.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "net/hostaddress.h"

namespace ostravel::ctl {

struct WatchRequest {
    HostAddress endpoint;
    std::string userName;
    std::string password;
    int intervalSeconds = 20;           // the live status's period
    int connectSeconds = 10;            // each login's connect
    std::vector<std::string> onChange;  // the program and its arguments; empty: none
};

struct WatchResult {
    int status = 0;      // kExitOk after SIGINT or SIGTERM
    std::string reason;  // why it ended otherwise, on one line
};

// Runs on the calling thread until SIGINT or SIGTERM, or until no login can follow (refused, or the
// reconnection gave up). The session's messages go to `err` as they come.
WatchResult RunWatch(const WatchRequest& request, std::ostream& out, std::ostream& err);

}  // namespace ostravel::ctl
