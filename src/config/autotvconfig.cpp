#include "config/autotvconfig.h"

#include <array>

#include "config/settingsgrammar.h"

namespace ostravel {

namespace {

using T = AutoTVSettings;
using namespace autotvdlg;

constexpr const char* kYesNo[] = {"Yes", "No"};

constexpr auto kFields = std::to_array<SettingField<AutoTVSettings>>({
    {.key = "playListFile",
     .field = &T::playListFile,
     .sent = {"PlaylistFile", 1},
     .control = {.kind = ControlKind::Playlist, .id = kPlayList, .names = &T::playListList},
     .text = {1106, N_("Playlist File:"), N_("The list of .nsv videos to play from"), 0}},
    {.key = "password",
     .field = &T::password,
     .sent = {"Password", 0},
     .control = {ControlKind::Edit, kPassword},
     .text = {1112, N_("Password:"),
              N_("This is the password on the Shoutcast server\n that AutoTV will connect to"), 0}},
    {.key = "streamTitle",
     .field = &T::streamTitle,
     .sent = {"StreamTitle", 3},
     .control = {ControlKind::Edit, kStreamTitle},
     .text = {1113, N_("Stream Title:"),
              N_("Defines the data that appears on the directory and in the stream info"), 0}},
    {.key = "streamURL",
     .field = &T::streamURL,
     .sent = {"StreamURL", 4},
     .control = {ControlKind::Edit, kStreamURL},
     .text = {1114, N_("Stream URL:"),
              N_("Defines the data that appears in the directory and in the stream info"), 0}},
    {.key = "genre",
     .field = &T::genre,
     .sent = {"Genre", 5},
     .control = {ControlKind::Edit, kGenre},
     .text = {1115, N_("Genre:"), N_("Defines the category shoutcast lists the public server under"), 0}},
    {.key = "autoReconnect",
     .field = &T::autoReconnect,
     .sent = {"AutoReconnect", 2},
     .control = {ControlKind::Combo, kAutoReconnect, kYesNo},
     .text = {1133, N_("Auto Reconnect:"),
              N_("Yes will try to re-establish a connection to\n the server if a connection is lost"), 0}},
    {.key = "bitrate",
     .field = &T::bitrate,
     .sent = {"Bitrate", 6},
     .control = {ControlKind::Edit, kBitrate},
     .text = {1117, N_("Bitrate:"),
              N_("This is the quality leverl of the video output and\n the Kbps bandwidth output level. Try "
                 "to be "
                 "accurate, \nthis is only shown for the directory listings. Actual bitrates\n will vary "
                 "depending "
                 "on video being played"),
              1}},
    {.key = "public",
     .field = &T::public_,
     .sent = {"Public", 8},
     .control = {ControlKind::Combo, kPublic, kYesNo},
     .text = {1134, N_("Public: "), N_("Show server public"), 1}},
    {.key = "aim",
     .field = &T::aim,
     .sent = {"AIM", 9},
     .control = {ControlKind::Edit, kAim},
     .text = {1124, N_("AIM:"), N_("Display AOL Instant Messenger contact"), 1}},
    {.key = "icq",
     .field = &T::icq,
     .sent = {"ICQ", 10},
     .control = {ControlKind::Edit, kIcq},
     .text = {1125, N_("ICQ:"), N_("Display ICQ contact"), 1}},
    {.key = "irc",
     .field = &T::irc,
     .sent = {"IRC", 11},
     .control = {ControlKind::Edit, kIrc},
     .text = {1126, N_("IRC:"), N_("Display IRC contact"), 1}},
    // The names the playlist combo offers. Never sent.
    {.key = "playListList", .field = &T::playListList, .printedAs = PlaylistNames},
    // The AutoTV has no sample rate of its own; the service takes the AutoDJ's.
    {.sent = {"SampleRate", 7}, .sentFromAutoDJ = &AutoDJSettings::sampleRate},
});
static_assert(IsValidTable<AutoTVSettings>(kFields));

}  // namespace

FieldTable<AutoTVSettings> AutoTVFields() { return kFields; }

bool ParseAutoTVConfig(AutoTVSettings& settings, std::string_view reply) {
    bool anyItem = false;
    for (std::string_view item : SplitAll(reply, '|')) {
        if (item.empty()) {
            continue;
        }
        anyItem = true;
        const std::size_t eq = item.find('=');
        const std::string_view name = item.substr(0, eq);
        std::string_view value;
        if (eq != std::string_view::npos) {
            // All "=" signs after the name are skipped: "genre==Pop" is Pop.
            const std::size_t start = item.find_first_not_of('=', eq);
            if (start != std::string_view::npos) {
                value = item.substr(start);
                value = value.substr(0, value.find('='));
            }
        }
        ReadReplyItem(AutoTVFields(), name, value, settings);
    }
    return anyItem;
}

std::string BuildAutoTVSetRequest(const AutoTVSettings& settings, const AutoDJSettings& autoDJ,
                                  std::string_view userName, std::string_view password) {
    return BuildSetRequest(AutoTVFields(), "shoutcast_tv_setconfig,", settings, userName, password, &autoDJ);
}

DialogModel MakeAutoTVConfigModel(const AutoTVSettings& settings) {
    return MakeDialogModel(AutoTVFields(), settings);
}

void SaveAutoTVConfigModel(const DialogModel& model, AutoTVSettings& settings) {
    SaveDialogModel(AutoTVFields(), model, settings);
}

const DialogLayout& AutoTVConfigLayout() {
    static const DialogLayout layout = [] {
        DialogLayout frame{
            kDialogId,
            N_("Configure AutoTV"),
            316,
            166,
            {{1132, N_("Configuration File: sc_nsv.conf"), -1}},
            {},
            {{kSave, N_("Save"), true}, {kCancelButtonId, N_("Cancel"), false}},
        };
        AppendLayoutRows(AutoTVFields(), frame.rows);
        return frame;
    }();
    return layout;
}

}  // namespace ostravel
