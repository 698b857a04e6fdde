// The one way a request goes out on a session's connection, with its failure path.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "protocol/requests.h"

namespace ostravel {

class SessionDocument;
struct CommandInfo;

enum class SendResult {
    Sent,
    NotLoggedIn,  // nothing sent, nothing shown
    Failed,       // the send failed: message shown, session reset
    TooLong       // the text does not fit its block: message shown, nothing sent, session goes on
};

// The one sending procedure: does nothing while logged out; refuses with a message a text that does
// not fit its block; otherwise sends `text` as one block of `blockSize` with a 3-second time-out. On
// a socket failure: the error line at the top of the message list, the session reset, the tray icon
// back to the application icon, "Logged Off".
SendResult SendRequestText(SessionDocument& doc, std::string_view text,
                           std::size_t blockSize = kCommandBlockSize);
// A request command of the catalogue, composed from the session's credentials.
SendResult SendCommand(SessionDocument& doc, const CommandInfo& command);
SendResult SendCommand(SessionDocument& doc, int commandId);
// A settings request (text already composed). A text that does not fit its 1000-byte block with
// its NUL is refused with a message rather than sent cut short.
SendResult SendSettingsRequest(SessionDocument& doc, const std::string& text);
}  // namespace ostravel
