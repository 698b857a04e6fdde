// Requests to the service server: fixed-size blocks (text, NUL, zero fill) sent on the one service
// connection, and the one sending procedure with its failure path that every command follows.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ostravel {

class CzandrelDoc;
struct CommandInfo;

inline constexpr std::size_t kCommandBlockSize = 256;
inline constexpr std::size_t kSettingsBlockSize = 1000;
inline constexpr std::size_t kLogOffBlockSize = 14;
inline constexpr int kCommandSendSeconds = 3;
inline constexpr int kLogOffSendSeconds = 1;
inline constexpr char kLogOffNotice[] = "/disconnected";

inline constexpr char kSendFailedMessage[] = "Error sending command to server. Please reconnect.";
inline constexpr char kLoggedOffTip[] = "Quenlor Ostravel - Logged Off";

// The text, then NUL and zero fill up to `size`; a text of `size` bytes or more is cut to `size`
// and carries no NUL. Requests are never sent cut: check FitsBlock first.
std::vector<char> MakeBlock(std::string_view text, std::size_t size);
// True when text travels whole in a block of blockSize, its NUL included.
bool FitsBlock(std::string_view text, std::size_t blockSize);

// "?loginsc=" + user + "&passwordsc=" + password, unescaped.
std::string LoginPart(std::string_view userName, std::string_view password);
// Command word, login part and, when `actionVerb` is not empty, "&action=" + verb.
std::string ComposeCommandRequest(std::string_view word, std::string_view userName,
                                  std::string_view password, std::string_view actionVerb = {});
std::string ComposeCommandRequest(const CommandInfo& command, std::string_view userName,
                                  std::string_view password);
std::string FirstLoginBlockText(std::string_view userName);
std::string SecondLoginBlockText(std::string_view userName, std::string_view password);
// Command word + login part + "&config=" + settings list, blanks replaced by "+".
std::string ComposeSettingsRequest(std::string_view word, std::string_view userName,
                                   std::string_view password, std::string_view settingsList);

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
SendResult SendRequestText(CzandrelDoc& doc, std::string_view text,
                           std::size_t blockSize = kCommandBlockSize);
// A request command of the catalogue, composed from the session's credentials.
SendResult SendCommand(CzandrelDoc& doc, const CommandInfo& command);
SendResult SendCommand(CzandrelDoc& doc, int commandId);
// A settings request (text already composed). A text that does not fit its 1000-byte block with
// its NUL is refused with a message rather than sent cut short.
SendResult SendSettingsRequest(CzandrelDoc& doc, const std::string& text);
std::string SettingsTooLongMessage(std::size_t length);
// The line shown for a command refused because it does not fit its block (long user name and
// password).
std::string CommandTooLongMessage(std::size_t length, std::size_t blockSize = kCommandBlockSize);

}  // namespace ostravel
