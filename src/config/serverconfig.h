// The hosted server's settings: the settings reply, the content reply (the media files on the host),
// the set request, and the model of the "Shoutcast Server Configuration" dialog. One table holds every
// setting (see settingfields.h); the functions here walk it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/dialogmodel.h"
#include "config/settingfields.h"
#include "config/settings.h"

namespace ostravel {

// Control ids of the server dialog.
namespace serverdlg {
inline constexpr int kDialogId = 158;
inline constexpr int kAdminPassword = 1000;         // edit
inline constexpr int kConnectPassword = 1001;       // edit
inline constexpr int kMaxListeners = 1031;          // combo
inline constexpr int kShowLastSongs = 1032;         // combo
inline constexpr int kAutoDisconnect = 1033;        // combo
inline constexpr int kSourceDisconnectTime = 1034;  // edit
inline constexpr int kPublicDirectory = 1035;       // combo
inline constexpr int kAllowRelaying = 1036;         // combo
inline constexpr int kAllowPublicRelaying = 1037;   // combo
inline constexpr int kRelayPortEnabled = 1038, kRelayPortDisabled = 1039;
inline constexpr int kRelayPort = 1040;  // edit
inline constexpr int kRelayServerEnabled = 1041, kRelayServerDisabled = 1042;
inline constexpr int kRelayServerIP = 1043;  // edit
inline constexpr int kIntroEnabled = 1044, kIntroDisabled = 1045;
inline constexpr int kIntroFiles = 1047;   // list
inline constexpr int kCustomIntro = 1048;  // edit
inline constexpr int kBackupEnabled = 1049, kBackupDisabled = 1050;
inline constexpr int kBackupFiles = 1052;   // list
inline constexpr int kCustomBackup = 1053;  // edit
inline constexpr int kTitleFormatEnabled = 1054, kTitleFormatDisabled = 1055;
inline constexpr int kTitleFormat = 1056;  // edit
inline constexpr int kURLFormatEnabled = 1057, kURLFormatDisabled = 1058;
inline constexpr int kURLFormat = 1059;  // edit
inline constexpr int kListenerTimerEnabled = 1060, kListenerTimerDisabled = 1061;
inline constexpr int kListenerTimer = 1062;  // edit
inline constexpr int kRipOnlyEnabled = 1063, kRipOnlyDisabled = 1064;
inline constexpr int kRipOnly = 1065;  // combo
inline constexpr int kSave = 1028;
}  // namespace serverdlg

// Parses settings.serverConfigReply into the record: every "|" item is tried against the keys, names
// compared exactly; only the fields whose keys occur change, a repeated key leaves its last value.
void ParseServerConfig(ServerSettings& settings);

// The media file names of a content reply: the entries after the keyword item, up to the first
// entry that is exactly "^end" (or the end of the text). Empty entries are kept as empty names.
std::vector<std::string> ParseServerContent(std::string_view contentReply);

// The complete set request text, blanks already turned into "+", ready for its 1000-byte block.
std::string BuildServerSetRequest(const ServerSettings& settings, std::string_view userName,
                                  std::string_view password);

// What every control of the dialog holds when it opens over the record (files from
// settings.serverContentReply).
DialogModel MakeServerConfigModel(const ServerSettings& settings);

// What Save writes into the record from the controls. The two reply texts and maxListOptions are
// left alone.
void SaveServerConfigModel(const DialogModel& model, ServerSettings& settings);

// Labels, tooltips and fixed texts of the dialog.
const DialogLayout& ServerConfigLayout();

// The server's settings, one row each, in the dialog's order.
FieldTable<ServerSettings> ServerFields();

}  // namespace ostravel
