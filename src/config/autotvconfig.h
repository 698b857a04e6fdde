// The AutoTV's settings: its settings reply, its set request, and the model of the "Configure AutoTV"
// dialog. Its combos hold the reply's words as they are; nothing is converted. One table holds every
// setting (see settingfields.h); the functions here walk it.
#pragma once

#include <string>
#include <string_view>

#include "config/dialogmodel.h"
#include "config/settingfields.h"
#include "config/settings.h"

namespace ostravel {

// Control ids of the AutoTV dialog.
namespace autotvdlg {
inline constexpr int kDialogId = 161;
inline constexpr int kPlayList = 1100;       // combo
inline constexpr int kPassword = 1002;       // edit
inline constexpr int kStreamTitle = 1004;    // edit
inline constexpr int kStreamURL = 1003;      // edit
inline constexpr int kGenre = 1010;          // edit
inline constexpr int kAutoReconnect = 1128;  // combo
inline constexpr int kBitrate = 1005;        // edit
inline constexpr int kPublic = 1129;         // combo
inline constexpr int kAim = 1009;            // edit
inline constexpr int kIcq = 1007;            // edit
inline constexpr int kIrc = 1011;            // edit
inline constexpr int kSave = 1105;
}  // namespace autotvdlg

// Fills the record from an AutoTV settings reply. Empty items are dropped; "genre==Pop" gives Pop.
// Returns false, leaving the record untouched, when the reply holds no item at all: then no dialog
// opens.
bool ParseAutoTVConfig(AutoTVSettings& settings, std::string_view reply);

// The complete set request text (12 items), blanks already turned into "+". The AutoTV has no sample
// rate of its own; the service takes the AutoDJ's (empty until an AutoDJ reply has been read).
std::string BuildAutoTVSetRequest(const AutoTVSettings& settings, const AutoDJSettings& autoDJ,
                                  std::string_view userName, std::string_view password);

DialogModel MakeAutoTVConfigModel(const AutoTVSettings& settings);
void SaveAutoTVConfigModel(const DialogModel& model, AutoTVSettings& settings);

const DialogLayout& AutoTVConfigLayout();

// The AutoTV's settings, one row each, in the dialog's order.
FieldTable<AutoTVSettings> AutoTVFields();

}  // namespace ostravel
