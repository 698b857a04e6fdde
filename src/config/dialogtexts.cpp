// Captions, labels, tooltips and fixed texts of the three settings dialogs, exactly as the user sees
// them (misspellings included: the host's customers know these texts).
#include "config/autodjconfig.h"
#include "config/autotvconfig.h"
#include "config/serverconfig.h"

namespace ostravel {

const DialogLayout& ServerConfigLayout() {
    using namespace serverdlg;
    static const DialogLayout layout{
        kDialogId,
        "Shoutcast Server Configuration",
        399,
        240,
        {{1091, "Shoutcast Server Settings", 0}, {1092, "Optional Settings", 1}},
        {
            {1094, "Server Config. File:", "The name of your ShoutCast configuration file", 0, 1093,
             "sc_serv.conf"},
            {1066, "Admin. Password:",
             "This is the password for the shared administration area.\n Username: admin and Password: will "
             "give you access to kick\n the Source and/or Listeners amongst other Admin features.\n You can "
             "also broadcast with this password",
             0, kAdminPassword},
            {1067, "Connect Password:",
             "Password your broadcaster/DJ will need to enter in the\n ShoutCast Source Plugin", 0,
             kConnectPassword},
            {1068, "Max. Listeners:", "The maximum number of simultaneous listeners allowed", 0,
             kMaxListeners},
            {1069, "Show Last Songs:", "Specifies how many songs to list on the songs played page", 0,
             kShowLastSongs},
            {1070, "Auto Disconnect Listener:",
             "Controls if the listeners are disconnected if the source\n stream disconnects", 0,
             kAutoDisconnect},
            {1071, "Source Disconnect Time:",
             "How long(seconds) the source stream is allowed to be idle\n before the server disconnects", 0,
             kSourceDisconnectTime},
            {1072, "Public Directory Listing:", "Will your server be listed in the Public Directory Listing",
             0, kPublicDirectory},
            {1073, "Allow Relaying:",
             "Determines wther or not other SHOUTcast servers will be \npermitted to relay this server", 0,
             kAllowRelaying},
            {1074, "Allow Public Relaying:",
             "No will tell any relaying servers not to list the server \nin the ShoutCast directory", 0,
             kAllowPublicRelaying},
            {1075, "Relaying Server Port:", "Specify that you want to be a relay server", 1, kRelayPort,
             nullptr, kRelayPortEnabled, kRelayPortDisabled, 1083, "Port:"},
            {1076, "Relay Server IP:", "Relay servers act as clients to another server, and rebroadcast", 1,
             kRelayServerIP, nullptr, kRelayServerEnabled, kRelayServerDisabled, 1084, "IP:"},
            {1077, "Play Intro File:",
             "Specifies a .mp3 file that will be streamed to listeners when\n they connect before they hear "
             "the "
             "live stream. Use '%d'\n to specify the bitrate in the filename (i.e. intro%d.mp3\n would be "
             "intro64.mp3 if you casting at 64 Bitrate",
             1, kIntroFiles, nullptr, kIntroEnabled, kIntroDisabled, 1085, "Custom:", kCustomIntro},
            {1078, "Song Backup File:",
             "Specifies a .mp3 file that will be streamed to listeners \ncontinuously when the source stream "
             "disconnects. AutoDumpUsers \nmust be 0 to use this feature. Behaves like IntroFile",
             1, kBackupFiles, nullptr, kBackupEnabled, kBackupDisabled, 1086, "Custom:", kCustomBackup},
            {1079, "Title Format:",
             "Specifies a format string for what title is sent to the \nlistener. %s can be used to specify "
             "the "
             "song title that is playing",
             1, kTitleFormat, nullptr, kTitleFormatEnabled, kTitleFormatDisabled, 1087, "Format String:"},
            {1080, "URL Format:",
             "Specifies a format string for what url is sent to the listener.\n Behaves like TitleFormat", 1,
             kURLFormat, nullptr, kURLFormatEnabled, kURLFormatDisabled, 1088, "Format String:"},
            {1081,
             "Listener Timer:", "Is the value(minutes) of maximum permitted \ntime for a connected listener",
             1, kListenerTimer, nullptr, kListenerTimerEnabled, kListenerTimerDisabled, 1089, "Timer:"},
            {1082, "RIP Only:",
             "When set to Yes, will only allow IP addresses \nlisted in the Reserverd IP list to connect and "
             "relay.\n All other connections for listening will be denied",
             1, kRipOnly, nullptr, kRipOnlyEnabled, kRipOnlyDisabled, 1090, "Setting:"},
        },
        {{kSave, "Save", true}, {kCancelButtonId, "Cancel", false}},
    };
    return layout;
}

const DialogLayout& AutoDJConfigLayout() {
    using namespace autodjdlg;
    static const DialogLayout layout{
        kDialogId,
        "Configure AutoDJ",
        316,
        184,
        {{1131, "Configuration File: sc_trans.conf", -1}},
        {
            {1147, "Playlist File:", "The list of soundtracks to play from", 0, kPlayList},
            {1148, "Password:", "This is the password on the Shoutcast\n server the AutoDJ will connect to",
             0, kPassword},
            {1149, "Stream Title:", "Defines the data that appears on the\n directory and in the stream info",
             0, kStreamTitle},
            {1150, "Stream URL:", "Defines the data that appears on the directory and in the stream info", 0,
             kStreamURL},
            {1151,
             "Genre:", "Defines the category shoutcast lists\n the public server under(i.e. Metal,Rock,Pop)",
             0, kGenre},
            {1116, "Shuffle:",
             "Yes will shiffle the play order of the playlist.\n No is required for Play Now instant request "
             "song functions.\n You can also toggle shuffle off before using Play Now",
             0, kShuffle},
            {1152, "Bitrate:",
             "This is the quality level of the sound output\n and the Kbps bandwidth output level", 0,
             kBitrate},
            {1118, "Sample Rate:", "Sampling Rate in Hz", 0, kSampleRate},
            {1119, "Channels:", "How many channels you will broadcast over", 1, kChannels},
            {1120, "Quality:", "The quality level of the sound output. 1 is the best quality", 1, kQuality},
            {1121, "Crossfade Mode:", "How songs in a playlist will transition into each other", 1,
             kCrossfadeMode},
            {1122, "Crossfade Length:", "Length in ms the transition will take", 1, kCrossfadeLength},
            {1123, "Public:", "Show server in public", 1, kPublic},
            {1153, "AIM:", "Display AOL Instant Messenger contact", 1, kAim},
            {1154, "ICQ:", "Display ICQ contact", 1, kIcq},
            {1155, "IRC:", "Display IRC contact", 1, kIrc},
        },
        {{kSave, "Save", true}, {kCancelButtonId, "Cancel", false}},
    };
    return layout;
}

const DialogLayout& AutoTVConfigLayout() {
    using namespace autotvdlg;
    static const DialogLayout layout{
        kDialogId,
        "Configure AutoTV",
        316,
        166,
        {{1132, "Configuration File: sc_nsv.conf", -1}},
        {
            {1106, "Playlist File:", "The list of .nsv videos to play from", 0, kPlayList},
            {1112, "Password:", "This is the password on the Shoutcast server\n that AutoTV will connect to",
             0, kPassword},
            {1113, "Stream Title:", "Defines the data that appears on the directory and in the stream info",
             0, kStreamTitle},
            {1114, "Stream URL:", "Defines the data that appears in the directory and in the stream info", 0,
             kStreamURL},
            {1115, "Genre:", "Defines the category shoutcast lists the public server under", 0, kGenre},
            {1133, "Auto Reconnect:",
             "Yes will try to re-establish a connection to\n the server if a connection is lost", 0,
             kAutoReconnect},
            {1117, "Bitrate:",
             "This is the quality leverl of the video output and\n the Kbps bandwidth output level. Try to "
             "be "
             "accurate, \nthis is only shown for the directory listings. Actual bitrates\n will vary "
             "depending "
             "on video being played",
             1, kBitrate},
            {1134, "Public: ", "Show server public", 1, kPublic},
            {1124, "AIM:", "Display AOL Instant Messenger contact", 1, kAim},
            {1125, "ICQ:", "Display ICQ contact", 1, kIcq},
            {1126, "IRC:", "Display IRC contact", 1, kIrc},
        },
        {{kSave, "Save", true}, {kCancelButtonId, "Cancel", false}},
    };
    return layout;
}

}  // namespace ostravel
