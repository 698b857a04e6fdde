// Rules of the main frame that need no window: the tray tip's length and the mapping between the
// command catalogue's ids and the ids the window toolkit accepts (it refuses ids above 0x7FFF).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/translate.h"

namespace ostravel {

inline constexpr char kAppTitle[] = "Quenlor Ostravel";
inline constexpr char kRegistryKey[] = "Quenlor";
inline constexpr char kAppName[] = "zandrel";
inline constexpr const char* kReadyPrompt = N_("Ready");
inline constexpr const char* kSocketsFailedMessage = N_("Windows sockets initialization failed.");
inline constexpr const char* kOleFailedMessage =
    N_("OLE initialization failed.  Make sure that the OLE libraries are the correct version.");
inline constexpr int kRecentFileCount = 4;

// The tray tip holds at most 127 characters; a cut never splits a UTF-8 sequence.
inline constexpr std::size_t kTrayTipMax = 127;
std::string TrayTip(std::string_view tip);

// Window ids: catalogue and tray ids (32768 and up) and the framework's own commands (57344 and
// up) are moved into one band above the toolkit's reserved ids. -1 for an id outside both.
inline constexpr int kWindowIdBase = 20000;
int WindowIdFromCommand(int commandId);
int CommandFromWindowId(int windowId);
// The band, for binding one handler to every command.
inline constexpr int kFirstWindowId = kWindowIdBase;
inline constexpr int kLastWindowId = kWindowIdBase + 320 + (0x10000 - 0xE000) - 1;

}  // namespace ostravel
