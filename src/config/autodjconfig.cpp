#include "config/autodjconfig.h"

#include <array>
#include <iterator>

#include "config/settingsgrammar.h"

namespace ostravel {

namespace {

using D = AutoDJSettings;
using namespace autodjdlg;

constexpr const char* kYesNo[] = {"Yes", "No"};
constexpr const char* kSampleRates[] = {"22050", "44100"};  // sorted, so "22050" comes first
constexpr const char* kChannelWords[] = {"Stereo", "Mono"};
constexpr const char* kQualities[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
constexpr const char* kCrossfadeWords[] = {"Fade Out", "Fade In", "None"};

std::vector<std::string> BitrateChoicesOf(const AutoDJSettings& s) { return BitrateChoices(s.maxBitrate); }

// Quality is picked by position; a word or number off the list is kept as it came.
std::string QualityItem(std::string_view quality) {
    const int position = QualityPosition(quality);
    return position >= 0 ? kQualities[position] : "";
}

constexpr auto kFields = std::to_array<SettingField<AutoDJSettings>>({
    {.key = "playListFile",
     .field = &D::playListFile,
     .sent = {"PlaylistFile", 1},
     .control = {.kind = ControlKind::Playlist, .id = kPlayList, .names = &D::playListList},
     .text = {1147, N_("Playlist File:"), N_("The list of soundtracks to play from"), 0}},
    {.key = "password",
     .field = &D::password,
     .sent = {"Password", 0},
     .control = {ControlKind::Edit, kPassword},
     .text = {1148, N_("Password:"),
              N_("This is the password on the Shoutcast\n server the AutoDJ will connect to"), 0}},
    {.key = "streamTitle",
     .field = &D::streamTitle,
     .sent = {"StreamTitle", 2},
     .control = {ControlKind::Edit, kStreamTitle},
     .text = {1149, N_("Stream Title:"),
              N_("Defines the data that appears on the\n directory and in the stream info"), 0}},
    {.key = "streamURL",
     .field = &D::streamURL,
     .sent = {"StreamURL", 3},
     .control = {ControlKind::Edit, kStreamURL},
     .text = {1150, N_("Stream URL:"),
              N_("Defines the data that appears on the directory and in the stream info"), 0}},
    {.key = "genre",
     .field = &D::genre,
     .sent = {"Genre", 4},
     .control = {ControlKind::Edit, kGenre},
     .text = {1151, N_("Genre:"),
              N_("Defines the category shoutcast lists\n the public server under(i.e. Metal,Rock,Pop)"), 0}},
    {.key = "shuffle",
     .field = &D::shuffle,
     .sent = {"Shuffle", 5},
     .control = {ControlKind::Combo, kShuffle, kYesNo, ShuffleOrPublicWord},
     .text =
         {1116, N_("Shuffle:"),
          N_("Yes will shiffle the play order of the playlist.\n No is required for Play Now instant request "
             "song functions.\n You can also toggle shuffle off before using Play Now"),
          0}},
    {.key = "bitrate",
     .field = &D::bitrate,
     .sent = {"Bitrate", 6},
     .control = {.kind = ControlKind::Combo, .id = kBitrate, .itemsOf = BitrateChoicesOf},
     .text = {1152, N_("Bitrate:"),
              N_("This is the quality level of the sound output\n and the Kbps bandwidth output level"), 0}},
    {.key = "sampleRate",
     .field = &D::sampleRate,
     .sent = {"SampleRate", 7},
     .control = {ControlKind::Combo, kSampleRate, kSampleRates},
     .text = {1118, N_("Sample Rate:"), N_("Sampling Rate in Hz"), 0}},
    {.key = "channels",
     .field = &D::channels,
     .sent = {"Channels", 8},
     .control = {ControlKind::Combo, kChannels, kChannelWords, ChannelsWord},
     .text = {1119, N_("Channels:"), N_("How many channels you will broadcast over"), 1}},
    {.key = "quality",
     .field = &D::quality,
     .sent = {"Quality", 9},
     .control = {ControlKind::Combo, kQuality, kQualities, QualityItem},
     .text = {1120, N_("Quality:"), N_("The quality level of the sound output. 1 is the best quality"), 1}},
    {.key = "crossfadeMode",
     .field = &D::crossfadeMode,
     .sent = {"CrossfadeMode", 10},
     .control = {ControlKind::Combo, kCrossfadeMode, kCrossfadeWords, CrossfadeWord},
     .text = {1121, N_("Crossfade Mode:"), N_("How songs in a playlist will transition into each other"), 1}},
    {.key = "crossfadeLength",
     .field = &D::crossfadeLength,
     .sent = {"CrossfadeLength", 11},
     .control = {ControlKind::Edit, kCrossfadeLength},
     .text = {1122, N_("Crossfade Length:"), N_("Length in ms the transition will take"), 1}},
    {.key = "public",
     .field = &D::public_,
     .sent = {"Public", 12},
     .control = {ControlKind::Combo, kPublic, kYesNo, ShuffleOrPublicWord},
     .text = {1123, N_("Public:"), N_("Show server in public"), 1}},
    {.key = "aim",
     .field = &D::aim,
     .sent = {"AIM", 13},
     .control = {ControlKind::Edit, kAim},
     .text = {1153, N_("AIM:"), N_("Display AOL Instant Messenger contact"), 1}},
    {.key = "icq",
     .field = &D::icq,
     .sent = {"ICQ", 14},
     .control = {ControlKind::Edit, kIcq},
     .text = {1154, N_("ICQ:"), N_("Display ICQ contact"), 1}},
    {.key = "irc",
     .field = &D::irc,
     .sent = {"IRC", 15},
     .control = {ControlKind::Edit, kIrc},
     .text = {1155, N_("IRC:"), N_("Display IRC contact"), 1}},
    // kbit/s; bounds the bitrate choices. Never sent.
    {.key = "maxBitrate", .field = &D::maxBitrate},
    // The names the playlist combo offers. Never sent.
    {.key = "playListList", .field = &D::playListList, .printedAs = PlaylistNames},
});
static_assert(IsValidTable<AutoDJSettings>(kFields));

}  // namespace

FieldTable<AutoDJSettings> AutoDJFields() { return kFields; }

void ParseAutoDJConfig(AutoDJSettings& settings) {
    // Parse from a copy: the reply is itself a field of the record.
    const std::string reply = settings.djConfigReply;
    ReadSettingsReply(AutoDJFields(), reply, settings);
}

std::string BuildAutoDJSetRequest(const AutoDJSettings& settings, std::string_view userName,
                                  std::string_view password) {
    return BuildSetRequest(AutoDJFields(), "shoutcast_dj_setconfig,", settings, userName, password);
}

std::string ShuffleOrPublicWord(std::string_view code) {
    if (code == "1") {
        return "Yes";
    }
    if (code == "0") {
        return "No";
    }
    return {};
}

std::string ChannelsWord(std::string_view code) {
    if (code == "1") {
        return "Mono";
    }
    if (code == "2") {
        return "Stereo";
    }
    return {};
}

std::string CrossfadeWord(std::string_view code) {
    if (code == "0") {
        return "None";
    }
    if (code == "1") {
        return "Fade In";
    }
    if (code == "2") {
        return "Fade Out";
    }
    return {};
}

std::vector<std::string> BitrateChoices(std::string_view maxBitrate) {
    struct Step {
        long threshold;
        const char* bitrate;
    };
    constexpr Step kSteps[] = {{320, "320000"}, {192, "192000"}, {128, "128000"}, {96, "96000"},
                               {64, "64000"},   {48, "48000"},   {32, "32000"},   {24, "24000"}};
    const long limit = ReadLeadingNumber(maxBitrate);
    std::vector<std::string> choices;
    // Largest first, each on top: the list ends up smallest first.
    for (const Step& step : kSteps) {
        if (limit >= step.threshold) {
            choices.insert(choices.begin(), step.bitrate);
        }
    }
    return choices;
}

int QualityPosition(std::string_view quality) {
    // Compared before the step down, so a number past the range of long cannot wrap.
    const long number = ReadLeadingNumber(quality);
    return (number >= 1 && number <= std::ssize(kQualities)) ? static_cast<int>(number - 1) : -1;
}

DialogModel MakeAutoDJConfigModel(const AutoDJSettings& settings) {
    return MakeDialogModel(AutoDJFields(), settings);
}

void SaveAutoDJConfigModel(const DialogModel& model, AutoDJSettings& settings) {
    SaveDialogModel(AutoDJFields(), model, settings);
}

const DialogLayout& AutoDJConfigLayout() {
    static const DialogLayout layout = [] {
        DialogLayout frame{
            kDialogId,
            N_("Configure AutoDJ"),
            316,
            184,
            {{1131, N_("Configuration File: sc_trans.conf"), -1}},
            {},
            {{kSave, N_("Save"), true}, {kCancelButtonId, N_("Cancel"), false}},
        };
        AppendLayoutRows(AutoDJFields(), frame.rows);
        return frame;
    }();
    return layout;
}

}  // namespace ostravel
