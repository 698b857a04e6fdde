// The AutoDJ's settings: its settings reply, its set request, and the model of the "Configure AutoDJ"
// dialog, which turns the reply's codes into the words the set request carries. One table holds every
// setting (see settingfields.h); the functions here walk it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/dialogmodel.h"
#include "config/settingfields.h"
#include "config/settings.h"

namespace ostravel {

// Control ids of the AutoDJ dialog (the AutoTV dialog reuses some of them).
namespace autodjdlg {
inline constexpr int kDialogId = 160;
inline constexpr int kPlayList = 1100;         // combo
inline constexpr int kPassword = 1002;         // edit
inline constexpr int kStreamTitle = 1004;      // edit
inline constexpr int kStreamURL = 1003;        // edit
inline constexpr int kGenre = 1005;            // edit
inline constexpr int kShuffle = 1103;          // combo
inline constexpr int kBitrate = 1102;          // combo
inline constexpr int kSampleRate = 1101;       // combo
inline constexpr int kChannels = 1104;         // combo
inline constexpr int kQuality = 1137;          // combo
inline constexpr int kCrossfadeMode = 1109;    // combo
inline constexpr int kCrossfadeLength = 1007;  // edit
inline constexpr int kPublic = 1107;           // combo
inline constexpr int kAim = 1009;              // edit
inline constexpr int kIcq = 1010;              // edit
inline constexpr int kIrc = 1011;              // edit
inline constexpr int kSave = 1105;
}  // namespace autodjdlg

// Parses settings.djConfigReply into the record; values are stored as sent, codes included.
void ParseAutoDJConfig(AutoDJSettings& settings);

// The complete set request text (16 items), blanks already turned into "+".
std::string BuildAutoDJSetRequest(const AutoDJSettings& settings, std::string_view userName,
                                  std::string_view password);

// Code-to-word conversions of the reply's coded fields; empty for any other code.
std::string ShuffleOrPublicWord(std::string_view code);  // "1" Yes, "0" No
std::string ChannelsWord(std::string_view code);         // "1" Mono, "2" Stereo
std::string CrossfadeWord(std::string_view code);        // "0" None, "1" Fade In, "2" Fade Out

// Bitrates (bit/s) the account may choose, smallest first, bounded by maxBitrate in kbit/s.
std::vector<std::string> BitrateChoices(std::string_view maxBitrate);

// Position of a quality number in the "1".."10" list, or -1 outside it.
int QualityPosition(std::string_view quality);

// What every control of the dialog holds when it opens over the record.
DialogModel MakeAutoDJConfigModel(const AutoDJSettings& settings);

// What Save writes into the record from the controls (the coded fields become combo words).
void SaveAutoDJConfigModel(const DialogModel& model, AutoDJSettings& settings);

const DialogLayout& AutoDJConfigLayout();

// The AutoDJ's settings, one row each, in the dialog's order.
FieldTable<AutoDJSettings> AutoDJFields();

}  // namespace ostravel
