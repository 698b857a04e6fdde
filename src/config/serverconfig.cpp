#include "config/serverconfig.h"

#include <array>
#include <iterator>

#include "config/settingsgrammar.h"

namespace ostravel {

namespace {

using S = ServerSettings;
using namespace serverdlg;

constexpr const char* kYesNo[] = {"Yes", "No"};
constexpr const char* kListenerCounts[] = {"400", "350", "300", "250", "200", "150", "100",
                                           "75",  "50",  "40",  "30",  "20",  "10"};
constexpr const char* kLastSongCounts[] = {"1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10",
                                           "11", "12", "13", "14", "15", "16", "17", "18", "19", "20"};
constexpr const char* kDirectoryListings[] = {"always", "never", "default"};

// Accounts with "unlimited" options may pick any count of the fixed list; others keep theirs.
std::vector<std::string> ListenerChoices(const ServerSettings& s) {
    if (s.maxListOptions.find("unlimited") != std::string::npos) {
        return {std::begin(kListenerCounts), std::end(kListenerCounts)};
    }
    return {s.maxListeners};
}

std::vector<std::string> HostFiles(const ServerSettings& s) {
    return ParseServerContent(s.serverContentReply);
}

// The reply sends "0" for no; anything else is yes.
std::string YesUnlessZero(std::string_view code) { return code == "0" ? "No" : "Yes"; }

constexpr auto kFields = std::to_array<SettingField<ServerSettings>>({
    {.key = "adminPassword",
     .field = &S::adminPassword,
     .sent = {"AdminPassword", 0},
     .control = {ControlKind::Edit, kAdminPassword},
     .text =
         {1066, N_("Admin. Password:"),
          N_("This is the password for the shared administration area.\n Username: admin and Password: will "
             "give you access to kick\n the Source and/or Listeners amongst other Admin features.\n You can "
             "also broadcast with this password"),
          0}},
    {.key = "connectPassword",
     .field = &S::connectPassword,
     .sent = {"ConnectPassword", 1},
     .control = {ControlKind::Edit, kConnectPassword},
     .text = {1067, N_("Connect Password:"),
              N_("Password your broadcaster/DJ will need to enter in the\n ShoutCast Source Plugin"), 0}},
    {.key = "maxListeners",
     .field = &S::maxListeners,
     .sent = {"MaxUser", 2},
     .control = {.kind = ControlKind::Combo, .id = kMaxListeners, .itemsOf = ListenerChoices},
     .text = {1068, N_("Max. Listeners:"), N_("The maximum number of simultaneous listeners allowed"), 0},
     .flags = kPrintedFirst},
    // "unlimited" somewhere in it opens the fixed listener list. Never sent.
    {.key = "maxListOptions", .field = &S::maxListOptions, .flags = kPrintedFirst},
    {.key = "showLastSongs",
     .field = &S::showLastSongs,
     .sent = {"ShowLastSongs", 3},
     .control = {ControlKind::Combo, kShowLastSongs, kLastSongCounts},
     .text = {1069, N_("Show Last Songs:"), N_("Specifies how many songs to list on the songs played page"),
              0}},
    {.key = "autoDisconnectListener",
     .field = &S::autoDisconnectListener,
     .fromReply = YesUnlessZero,
     .sent = {"AutoDumpUsers", 4},
     .control = {ControlKind::Combo, kAutoDisconnect, kYesNo},
     .text = {1070, N_("Auto Disconnect Listener:"),
              N_("Controls if the listeners are disconnected if the source\n stream disconnects"), 0}},
    {.key = "sourceDisconnectTime",
     .field = &S::sourceDisconnectTime,
     .sent = {"AutoDumpSourceTime", 5},
     .control = {ControlKind::Edit, kSourceDisconnectTime},
     .text = {1071, N_("Source Disconnect Time:"),
              N_("How long(seconds) the source stream is allowed to be idle\n before the server disconnects"),
              0}},
    {.key = "publicDirectoryListing",
     .field = &S::publicDirectoryListing,
     .sent = {"PublicServer", 6},
     .control = {ControlKind::Combo, kPublicDirectory, kDirectoryListings},
     .text = {1072, N_("Public Directory Listing:"),
              N_("Will your server be listed in the Public Directory Listing"), 0}},
    {.key = "allowRelaying",
     .field = &S::allowRelaying,
     .sent = {"AllowRelay", 7},
     .control = {ControlKind::Combo, kAllowRelaying, kYesNo},
     .text = {1073, N_("Allow Relaying:"),
              N_("Determines wther or not other SHOUTcast servers will be \npermitted to relay this server"),
              0}},
    {.key = "allowPublicRelaying",
     .field = &S::allowPublicRelaying,
     .sent = {"AllowPublicRelay", 8},
     .control = {ControlKind::Combo, kAllowPublicRelaying, kYesNo},
     .text = {1074, N_("Allow Public Relaying:"),
              N_("No will tell any relaying servers not to list the server \nin the ShoutCast directory"),
              0}},
    {.key = "relayingServerPort",
     .field = &S::relayingServerPort,
     .sent = {"RelayPort", 9},
     .optional = {&S::relayPortEnabled, "RelayPortEnabled", kRelayPortEnabled, kRelayPortDisabled},
     .control = {ControlKind::Edit, kRelayPort},
     .text = {1075, N_("Relaying Server Port:"), N_("Specify that you want to be a relay server"), 1, 1083,
              N_("Port:")}},
    {.key = "relayServerIP",
     .field = &S::relayServerIP,
     .sent = {"RelayServer", 10},
     .optional = {&S::relayServerEnabled, "RelayServerEnabled", kRelayServerEnabled, kRelayServerDisabled},
     .control = {ControlKind::Edit, kRelayServerIP},
     .text = {1076, N_("Relay Server IP:"),
              N_("Relay servers act as clients to another server, and rebroadcast"), 1, 1084, N_("IP:")}},
    {.key = "playIntroFile",
     .field = &S::playIntroFile,
     .sent = {"IntroSongFile", 11},
     .optional = {&S::playIntroFileEnabled, "PlayIntroFileEnabled", kIntroEnabled, kIntroDisabled},
     .custom = {&S::customIntroFile, "CustomIntroFile", kCustomIntro},
     .control = {.kind = ControlKind::FileList, .id = kIntroFiles, .itemsOf = HostFiles},
     .text =
         {1077, N_("Play Intro File:"),
          N_("Specifies a .mp3 file that will be streamed to listeners when\n they connect before they hear "
             "the "
             "live stream. Use '%d'\n to specify the bitrate in the filename (i.e. intro%d.mp3\n would be "
             "intro64.mp3 if you casting at 64 Bitrate"),
          1, 1085, N_("Custom:")}},
    {.key = "songBackupFile",
     .field = &S::songBackupFile,
     .sent = {"BackupSongFile", 12},
     .optional = {&S::playBackupFileEnabled, "PlayBackupFileEnabled", kBackupEnabled, kBackupDisabled},
     .custom = {&S::customBackupFile, "CustomBackupFile", kCustomBackup},
     .control = {.kind = ControlKind::FileList, .id = kBackupFiles, .itemsOf = HostFiles},
     .text =
         {1078, N_("Song Backup File:"),
          N_("Specifies a .mp3 file that will be streamed to listeners \ncontinuously when the source stream "
             "disconnects. AutoDumpUsers \nmust be 0 to use this feature. Behaves like IntroFile"),
          1, 1086, N_("Custom:")}},
    {.key = "titleFormat",
     .field = &S::titleFormat,
     .sent = {"TitleFormat", 13},
     .optional = {&S::titleFormatEnabled, "TitleFormatEnabled", kTitleFormatEnabled, kTitleFormatDisabled},
     .control = {ControlKind::Edit, kTitleFormat},
     .text = {1079, N_("Title Format:"),
              N_("Specifies a format string for what title is sent to the \nlistener. %s can be used to "
                 "specify the "
                 "song title that is playing"),
              1, 1087, N_("Format String:")}},
    {.key = "URLFormat",
     .field = &S::URLFormat,
     .sent = {"URLFormat", 14},
     .optional = {&S::URLFormatEnabled, "URLFormatEnabled", kURLFormatEnabled, kURLFormatDisabled},
     .control = {ControlKind::Edit, kURLFormat},
     .text =
         {1080, N_("URL Format:"),
          N_("Specifies a format string for what url is sent to the listener.\n Behaves like TitleFormat"), 1,
          1088, N_("Format String:")}},
    {.key = "listenerTimer",
     .field = &S::listenerTimer,
     .sent = {"ListenerTimer", 15},
     .optional = {&S::listenerTimerEnabled, "ListenerTimerEnabled", kListenerTimerEnabled,
                  kListenerTimerDisabled},
     .control = {ControlKind::Edit, kListenerTimer},
     .text = {1081, N_("Listener Timer:"),
              N_("Is the value(minutes) of maximum permitted \ntime for a connected listener"), 1, 1089,
              N_("Timer:")}},
    {.key = "ripOnly",
     .field = &S::ripOnly,
     .sent = {"RIPOnly", 16},
     .optional = {&S::ripOnlyEnabled, "RIPOnlyEnabled", kRipOnlyEnabled, kRipOnlyDisabled},
     .control = {ControlKind::Combo, kRipOnly, kYesNo},
     .text =
         {1082, N_("RIP Only:"),
          N_("When set to Yes, will only allow IP addresses \nlisted in the Reserverd IP list to connect and "
             "relay.\n All other connections for listening will be denied"),
          1, 1090, N_("Setting:")}},
    // The content reply: the media files on the host, printed one by one.
    {.key = "mediaFiles",
     .field = &S::serverContentReply,
     .printedAs = ParseServerContent,
     .flags = kFromOtherReply},
});
static_assert(IsValidTable<ServerSettings>(kFields));

}  // namespace

FieldTable<ServerSettings> ServerFields() { return kFields; }

void ParseServerConfig(ServerSettings& settings) {
    // Parse from a copy: the reply is itself a field of the record.
    const std::string reply = settings.serverConfigReply;
    ReadSettingsReply(ServerFields(), reply, settings);
}

std::vector<std::string> ParseServerContent(std::string_view contentReply) {
    std::vector<std::string> files;
    const std::vector<std::string_view> entries = SplitAll(contentReply, '|');
    for (std::size_t i = 1; i < entries.size(); ++i) {
        if (entries[i] == "^end") {
            break;
        }
        files.emplace_back(entries[i]);
    }
    return files;
}

std::string BuildServerSetRequest(const ServerSettings& settings, std::string_view userName,
                                  std::string_view password) {
    return BuildSetRequest(ServerFields(), "shoutcast_server_setconfig,", settings, userName, password);
}

DialogModel MakeServerConfigModel(const ServerSettings& settings) {
    return MakeDialogModel(ServerFields(), settings);
}

void SaveServerConfigModel(const DialogModel& model, ServerSettings& settings) {
    SaveDialogModel(ServerFields(), model, settings);
}

const DialogLayout& ServerConfigLayout() {
    static const DialogLayout layout = [] {
        DialogLayout frame{
            kDialogId,
            N_("Shoutcast Server Configuration"),
            399,
            240,
            {{1091, N_("Shoutcast Server Settings"), 0}, {1092, N_("Optional Settings"), 1}},
            {{1094, N_("Server Config. File:"), N_("The name of your ShoutCast configuration file"), 0, 1093,
              "sc_serv.conf"}},
            {{kSave, N_("Save"), true}, {kCancelButtonId, N_("Cancel"), false}},
        };
        AppendLayoutRows(ServerFields(), frame.rows);
        return frame;
    }();
    return layout;
}

}  // namespace ostravel
