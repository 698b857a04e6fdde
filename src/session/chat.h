// What the chat view and the private-message dialog send and receive on the service connection,
// kept apart from their windows so that it can be tested without them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/translate.h"

namespace ostravel {

class SessionDocument;

inline constexpr const char* kChatWelcome = N_("*** Welcome to Zandrel ***");
inline constexpr int kChatSendSeconds = 3;
inline constexpr int kChatReceiveSeconds = 3;
inline constexpr int kChatReceiveSize = 256;

// Sends the typed line as it is: no terminator, no framing (an empty line is a 0-byte send).
// Socket failures, and a missing connection, throw BlockingSocketException.
int SendChatLine(SessionDocument& doc, const std::string& message);

// "Connect": sends "Send", then shows each received piece (up to its first zero byte) until one
// is "done". A piece that does not come within the wait, or a closed connection, also ends it,
// so the window is never held for good.
void RunChatConnect(SessionDocument& doc, const std::function<void(const std::string&)>& show);

// "==> " + recipient + " " + message.
std::string PrivateMessageText(const std::string& recipient, const std::string& message);
// The private message as one 256-byte request block.
std::vector<char> PrivateMessageBlock(const std::string& recipient, const std::string& message);
// Sends it on the service connection with a 3-second time-out; throws on a socket failure.
void SendPrivateMessage(SessionDocument& doc, const std::string& recipient, const std::string& message);

}  // namespace ostravel
