#include "protocol/commands.h"

#include <algorithm>
#include <array>

namespace ostravel {

namespace {

using R = EnableRule;
using K = CommandKind;

constexpr CommandInfo kCatalogue[] = {
    {cmd::kLogin, "Login to your SHOUTcast account", "&File/&Login", true, R::NotLoggedIn, K::Login,
     nullptr, nullptr, nullptr},
    {cmd::kLogout, "Logoff your SHOUTcast account", "&File/L&ogout", true, R::Always, K::Logout, nullptr,
     nullptr, nullptr},
    {cmd::kAccountSummary, "View Account Summary", "&Account/&Summary", false, R::LoggedIn, K::Request,
     "shoutcast_account_summary,", "startnow", nullptr},
    {cmd::kBilling, "View Billing Information", "&Account/&Billing", false, R::LoggedIn, K::PortalPage,
     nullptr, nullptr, "scbilling.php"},
    {cmd::kUpgrade, "Upgrade Shoutcast", "&Account/&Upgrade", false, R::LoggedIn, K::PortalPage, nullptr,
     nullptr, "scupgrade.php"},
    {cmd::kChangeTerm, nullptr, "&Account/&Change Term", false, R::LoggedIn, K::PortalPage, nullptr,
     nullptr, "changeterm.php"},
    {cmd::kServerStart, "Start Server", "&Server/&Start", true, R::LoggedIn, K::Request,
     "shoutcast_server_start,", "startnow", nullptr},
    {cmd::kServerStop, "Stop Server", "&Server/S&top", true, R::LoggedIn, K::Request,
     "shoutcast_server_stop,", "stopnow", nullptr},
    {cmd::kServerRestart, "Restart Server", "&Server/&Restart", true, R::LoggedIn, K::Request,
     "shoutcast_server_restart,", "restartnow", nullptr},
    {cmd::kServerStatus, "Update Server Status", "&Server/Stat&us", false, R::LoggedIn, K::Request,
     "shoutcast_server_status,", nullptr, nullptr},
    {cmd::kServerConfigure, "Configure Server", "&Server/&Configure", false, R::LoggedIn, K::Request,
     "shoutcast_server_getconfig,", nullptr, nullptr},
    {cmd::kMediaLibrary, "Configure Media Library", nullptr, false, R::LoggedIn, K::Nothing, nullptr,
     nullptr, nullptr},
    {cmd::kServerLogs, "View Server Logs", nullptr, false, R::LoggedIn, K::ServerLogs, nullptr, nullptr,
     nullptr},
    {cmd::kServerClearLog, "Clear Server Log", nullptr, false, R::LoggedIn, K::Request,
     "shoutcast_server_clearlogs,", "flushlogsnow", nullptr},
    {cmd::kDjStart, "Start AutoDJ", "Auto&DJ/&Start DJ", true, R::LoggedIn, K::Request,
     "shoutcast_dj_start,", "startnow", nullptr},
    {cmd::kDjStop, "Stop AutoDJ", "Auto&DJ/S&top DJ", true, R::LoggedIn, K::Request, "shoutcast_dj_stop,",
     "stopnow", nullptr},
    {cmd::kDjRestart, "Reload AutoDJ", "Auto&DJ/&Restart DJ", true, R::LoggedIn, K::Request,
     "shoutcast_dj_restart,", "restartnow", nullptr},
    {cmd::kDjConfigure, "Configure AutoDJ", "Auto&DJ/&Configure DJ", false, R::LoggedIn, K::Request,
     "shoutcast_dj_getconfig,", nullptr, nullptr},
    {cmd::kDjPlaylists, "Configure Playlists", nullptr, false, R::LoggedIn, K::Nothing, nullptr, nullptr,
     nullptr},
    {cmd::kDjNext, "Play Next Song in List", "Auto&DJ/S&ong Options/&Next Song", false, R::LoggedIn,
     K::Request, "shoutcast_dj_next,", "nextsongnow", nullptr},
    {cmd::kDjShuffle, "Shuffle List", "Auto&DJ/S&ong Options/S&huffle", false, R::LoggedIn, K::Request,
     "shoutcast_dj_shuffle,", "shufflenow", nullptr},
    {cmd::kDjReload, "Reload List", "Auto&DJ/S&ong Options/Rel&oad List", false, R::LoggedIn, K::Request,
     "shoutcast_dj_reload,", "reloadplaylistnow", nullptr},
    {cmd::kDjLogs, "View DJ Logs", "Auto&DJ/&Logs/&View Logs", false, R::LoggedIn, K::Request,
     "shoutcast_dj_getlogs,", nullptr, nullptr},
    {cmd::kDjClearLog, "Clear DJ Log", "Auto&DJ/&Logs/Clear Lo&g", false, R::LoggedIn, K::Request,
     "shoutcast_dj_clearlogs,", "flushlogsnow", nullptr},
    {cmd::kTvStart, "Start AutoTV", "AutoT&V/&Start TV", true, R::LoggedInAndVideo, K::Request,
     "shoutcast_tv_start,", "startnow", nullptr},
    {cmd::kTvStop, "Stop AutoTV", "AutoT&V/S&top TV", true, R::LoggedInAndVideo, K::Request,
     "shoutcast_tv_stop,", "stopnow", nullptr},
    {cmd::kTvRestart, "Restart AutoTV", "AutoT&V/&Restart TV", true, R::LoggedInAndVideo, K::Request,
     "shoutcast_tv_restart,", "restartnow", nullptr},
    {cmd::kTvConfigure, "Configure AutoTV", "AutoT&V/&Configure TV", false, R::LoggedInAndVideo,
     K::Request, "shoutcast_tv_getconfig,", nullptr, nullptr},
    {cmd::kTvPlaylists, "Configure AutoTV Playlists", nullptr, false, R::LoggedInAndVideo, K::Nothing,
     nullptr, nullptr, nullptr},
    {cmd::kTvLogs, "View AutoTV Logs", "AutoT&V/&Logs/TV L&ogs", false, R::LoggedInAndVideo, K::Request,
     "shoutcast_tv_getlogs,", nullptr, nullptr},
    {cmd::kTvClearLog, "Clear AutoTV Log", "AutoT&V/&Logs/Clear Lo&g", false, R::LoggedInAndVideo,
     K::Request, "shoutcast_tv_clearlogs,", "flushlogsnow", nullptr},
    {cmd::kTuneInWinamp, "Tune-In to Stream with Winamp", "&Tune-In Links/&Winamp", true, R::LoggedIn,
     K::TuneIn, nullptr, nullptr, "pls"},
    {cmd::kTuneInMediaPlayer, "Tune-In to Stream with Windows Media Player",
     "&Tune-In Links/Windows &Media Player", true, R::LoggedIn, K::TuneIn, nullptr, nullptr, "asx"},
    {cmd::kTuneInItunes, "Tune-In to Stream with iTunes", "&Tune-In Links/&Itunes", true, R::LoggedIn,
     K::TuneIn, nullptr, nullptr, "m3u"},
    {cmd::kTuneInReal, "Tune-In to Stream with Real Player", "&Tune-In Links/&Real Media Player", true,
     R::LoggedIn, K::TuneIn, nullptr, nullptr, "ram"},
    {cmd::kFaq, "View FAQ", "&Help/&FAQ", false, R::Always, K::WebPage, nullptr, nullptr,
     "/shoutcast/faq.php"},
    {cmd::kContacts, "View Contact Info", "&Help/&Contacts", false, R::Always, K::WebPage, nullptr, nullptr,
     "/shoutcast/contacts.php"},
};

constexpr MenuEntry kMainMenu[] = {
    {0, "&File", 0},
    {1, "&Login", cmd::kLogin},
    {1, "L&ogout", cmd::kLogout},
    {1, nullptr, 0},
    {1, "E&xit", cmd::kAppExit},
    {0, "&View", 0},
    {1, "&Toolbar", cmd::kViewToolbar},
    {1, "&Status Bar", cmd::kViewStatusBar},
    {0, "&Account", 0},
    {1, "&Summary", cmd::kAccountSummary},
    {1, "&Billing", cmd::kBilling},
    {1, "&Upgrade", cmd::kUpgrade},
    {1, "&Change Term", cmd::kChangeTerm},
    {0, "&Server", 0},
    {1, "&Start", cmd::kServerStart},
    {1, "S&top", cmd::kServerStop},
    {1, "&Restart", cmd::kServerRestart},
    {1, nullptr, 0},
    {1, "Stat&us", cmd::kServerStatus},
    {1, "&Configure", cmd::kServerConfigure},
    {0, "Auto&DJ", 0},
    {1, "&Start DJ", cmd::kDjStart},
    {1, "S&top DJ", cmd::kDjStop},
    {1, "&Restart DJ", cmd::kDjRestart},
    {1, nullptr, 0},
    {1, "&Configure DJ", cmd::kDjConfigure},
    {1, "S&ong Options", 0},
    {2, "&Next Song", cmd::kDjNext},
    {2, "S&huffle", cmd::kDjShuffle},
    {2, "Rel&oad List", cmd::kDjReload},
    {1, "&Logs", 0},
    {2, "&View Logs", cmd::kDjLogs},
    {2, "Clear Lo&g", cmd::kDjClearLog},
    {0, "AutoT&V", 0},
    {1, "&Start TV", cmd::kTvStart},
    {1, "S&top TV", cmd::kTvStop},
    {1, "&Restart TV", cmd::kTvRestart},
    {1, nullptr, 0},
    {1, "&Configure TV", cmd::kTvConfigure},
    {1, "&Logs", 0},
    {2, "TV L&ogs", cmd::kTvLogs},
    {2, "Clear Lo&g", cmd::kTvClearLog},
    {0, "&Tune-In Links", 0},
    {1, "&Winamp", cmd::kTuneInWinamp},
    {1, "&Real Media Player", cmd::kTuneInReal},
    {1, "&Itunes", cmd::kTuneInItunes},
    {1, "Windows &Media Player", cmd::kTuneInMediaPlayer},
    {0, "&Help", 0},
    {1, "&FAQ", cmd::kFaq},
    {1, "&Contacts", cmd::kContacts},
    {1, "&About Ostravel", cmd::kAppAbout},
};

constexpr int kToolbar[] = {
    cmd::kLogin,       cmd::kLogout,       0, cmd::kServerStart,  cmd::kServerStop,
    cmd::kServerRestart, 0,                cmd::kDjStart,         cmd::kDjStop,
    cmd::kDjRestart,   0,                  cmd::kTvStart,         cmd::kTvStop,
    cmd::kTvRestart,   0,                  cmd::kTuneInWinamp,    cmd::kTuneInReal,
    cmd::kTuneInItunes, cmd::kTuneInMediaPlayer,
};

constexpr TrayEntry kTrayMenu[] = {
    {0, "Server", 0, 0},
    {1, "Start", cmd::kTrayServerStart, cmd::kServerStart},
    {1, "Stop", cmd::kTrayServerStop, cmd::kServerStop},
    {1, "Restart", cmd::kTrayServerRestart, cmd::kServerRestart},
    {0, "AutoDJ", 0, 0},
    {1, "Start", cmd::kTrayDjStart, cmd::kDjStart},
    {1, "Stop", cmd::kTrayDjStop, cmd::kDjStop},
    {1, "Restart", cmd::kTrayDjRestart, cmd::kDjRestart},
    {0, "AutoTV", 0, 0},
    {1, "Start", cmd::kTrayTvStart, cmd::kTvStart},
    {1, "Stop", cmd::kTrayTvStop, cmd::kTvStop},
    {1, "Restart", cmd::kTrayTvRestart, cmd::kTvRestart},
    {0, nullptr, 0, 0},
    {0, "Login", cmd::kTrayLogin, cmd::kLogin},
    {0, "Logout", cmd::kTrayLogout, cmd::kLogout},
    {0, nullptr, 0, 0},
    {0, "Open Ostravel", cmd::kTrayOpen, 0},
    {0, "Exit", cmd::kTrayExit, 0},
};

}  // namespace

std::span<const CommandInfo> CommandCatalogue() { return kCatalogue; }

const CommandInfo* FindCommand(int id) {
    auto it = std::find_if(std::begin(kCatalogue), std::end(kCatalogue),
                           [id](const CommandInfo& c) { return c.id == id; });
    return it == std::end(kCatalogue) ? nullptr : &*it;
}

bool IsEnabled(EnableRule rule, int loginId, bool highBitrate) {
    switch (rule) {
        case EnableRule::Always:
            return true;
        case EnableRule::NotLoggedIn:
            return loginId == 0;
        case EnableRule::LoggedIn:
            return loginId != 0;
        case EnableRule::LoggedInAndVideo:
            return loginId != 0 && highBitrate;
    }
    return true;
}

bool IsCommandEnabled(int id, int loginId, bool highBitrate) {
    const CommandInfo* command = FindCommand(id);
    return command == nullptr || IsEnabled(command->rule, loginId, highBitrate);
}

std::span<const MenuEntry> MainMenu() { return kMainMenu; }
std::span<const int> ToolbarButtons() { return kToolbar; }
std::span<const TrayEntry> TrayMenu() { return kTrayMenu; }

bool IsTrayEntryEnabled(int trayId, int loginId, bool highBitrate) {
    switch (trayId) {
        case cmd::kTrayServerStart:
        case cmd::kTrayServerStop:
        case cmd::kTrayServerRestart:
        case cmd::kTrayDjStart:
        case cmd::kTrayDjStop:
        case cmd::kTrayDjRestart:
            return loginId != 0;
        case cmd::kTrayTvStart:
        case cmd::kTrayTvStop:
        case cmd::kTrayTvRestart:
            return loginId != 0 && highBitrate;
        case cmd::kTrayLogin:
            return loginId == 0;
        default:
            return true;  // Logout, Open Ostravel and Exit are never disabled
    }
}

}  // namespace ostravel
