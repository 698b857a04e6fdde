// One whole session of ostravel-ctl: connect, log in, send one request, wait for its answer, log off.
#pragma once

#include <chrono>
#include <string>

#include "ctl/captureview.h"
#include "ctl/ctlcommands.h"
#include "net/blockingsocket.h"
#include "net/hostaddress.h"
#include "session/sessiondocument.h"

namespace ostravel::ctl {

struct SessionRequest {
    HostAddress endpoint;
    std::string userName;
    std::string password;
    std::chrono::milliseconds timeout{10000};  // the whole session, log-off excepted
    const CtlCommand* command = nullptr;
};

struct SessionResult {
    int status = 0;            // kExitOk, or the failure's exit status
    std::string reason;        // the failure, on one line
    ViewEvent answer;          // what showed the answer: a message line, the status box, a viewer, a dialog
    SessionState session;      // as the answer left it
    SettingsRecords settings;  // the parsed records, for the settings commands
    std::chrono::duration<double> elapsed{};  // from the start to the answer
};

SessionResult RunSession(const SessionRequest& request);

}  // namespace ostravel::ctl
