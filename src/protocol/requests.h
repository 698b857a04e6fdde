// Requests to the service server: fixed-size blocks (text, NUL, zero fill) composed for the one service
// connection; session/sending.h sends them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/translate.h"

namespace ostravel {

struct CommandInfo;

inline constexpr std::size_t kCommandBlockSize = 256;
inline constexpr std::size_t kSettingsBlockSize = 1000;
inline constexpr std::size_t kLogOffBlockSize = 14;
inline constexpr int kCommandSendSeconds = 3;
inline constexpr int kLogOffSendSeconds = 1;
inline constexpr char kLogOffNotice[] = "/disconnected";

inline constexpr const char* kSendFailedMessage = N_("Error sending command to server. Please reconnect.");
inline constexpr const char* kLoggedOffTip = N_("Quenlor Ostravel - Logged Off");

// The text, then NUL and zero fill up to `size`; a text of `size` bytes or more is cut to `size`
// and carries no NUL. Requests are never sent cut: check FitsBlock first.
std::vector<char> MakeBlock(std::string_view text, std::size_t size);
// True when text travels whole in a block of blockSize, its NUL included.
bool FitsBlock(std::string_view text, std::size_t blockSize);

// "?loginsc=" + user + "&passwordsc=" + password, unescaped.
std::string LoginPart(std::string_view userName, std::string_view password);
// Command word, login part and, when `actionVerb` is not empty, "&action=" + verb.
std::string ComposeCommandRequest(std::string_view word, std::string_view userName, std::string_view password,
                                  std::string_view actionVerb = {});
std::string ComposeCommandRequest(const CommandInfo& command, std::string_view userName,
                                  std::string_view password);
std::string FirstLoginBlockText(std::string_view userName);
std::string SecondLoginBlockText(std::string_view userName, std::string_view password);
// Command word + login part + "&config=" + settings list, blanks replaced by "+".
std::string ComposeSettingsRequest(std::string_view word, std::string_view userName,
                                   std::string_view password, std::string_view settingsList);

std::string SettingsTooLongMessage(std::size_t length);
// The line shown for a command refused because it does not fit its block (long user name and
// password).
std::string CommandTooLongMessage(std::size_t length, std::size_t blockSize = kCommandBlockSize);

}  // namespace ostravel
