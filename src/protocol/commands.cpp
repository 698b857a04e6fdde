#include "protocol/commands.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "config/preferences.h"
#include "platform/translate.h"

namespace ostravel {

namespace {

using R = EnableRule;
using K = CommandKind;

constexpr CommandInfo kCatalogue[] = {
    {.id = cmd::kLogin,
     .prompt = N_("Login to your SHOUTcast account"),
     .menuPlace = NC_("menu", "&File/&Login"),
     .toolbar = true,
     .rule = R::NotLoggedIn,
     .kind = K::Login,
     .accelerator = "Ctrl+L"},
    {.id = cmd::kLogout,
     .prompt = N_("Logoff your SHOUTcast account"),
     .menuPlace = NC_("menu", "&File/L&ogout"),
     .toolbar = true,
     .rule = R::Always,
     .kind = K::Logout,
     .accelerator = "Ctrl+Shift+L"},
    {.id = cmd::kAccountSummary,
     .prompt = N_("View Account Summary"),
     .menuPlace = NC_("menu", "&Account/&Summary"),
     .rule = R::LoggedIn,
     .kind = K::Request,
     .word = "shoutcast_account_summary,",
     .action = "startnow"},
    {.id = cmd::kBilling,
     .prompt = N_("View Billing Information"),
     .menuPlace = NC_("menu", "&Account/&Billing"),
     .rule = R::LoggedIn,
     .kind = K::PortalPage,
     .detail = "scbilling.php"},
    {.id = cmd::kUpgrade,
     .prompt = N_("Upgrade Shoutcast"),
     .menuPlace = NC_("menu", "&Account/&Upgrade"),
     .rule = R::LoggedIn,
     .kind = K::PortalPage,
     .detail = "scupgrade.php"},
    {.id = cmd::kChangeTerm,
     .menuPlace = NC_("menu", "&Account/&Change Term"),
     .rule = R::LoggedIn,
     .kind = K::PortalPage,
     .detail = "changeterm.php"},
    {.id = cmd::kServerStart,
     .prompt = N_("Start Server"),
     .menuPlace = NC_("menu", "&Server/&Start"),
     .toolbar = true,
     .rule = R::LoggedIn,
     .kind = K::Request,
     .word = "shoutcast_server_start,",
     .action = "startnow"},
    {.id = cmd::kServerStop,
     .prompt = N_("Stop Server"),
     .menuPlace = NC_("menu", "&Server/S&top"),
     .toolbar = true,
     .rule = R::LoggedIn,
     .kind = K::Request,
     .word = "shoutcast_server_stop,",
     .action = "stopnow"},
    {.id = cmd::kServerRestart,
     .prompt = N_("Restart Server"),
     .menuPlace = NC_("menu", "&Server/&Restart"),
     .toolbar = true,
     .rule = R::LoggedIn,
     .kind = K::Request,
     .word = "shoutcast_server_restart,",
     .action = "restartnow"},
    {.id = cmd::kServerStatus,
     .prompt = N_("Update Server Status"),
     .menuPlace = NC_("menu", "&Server/Stat&us"),
     .rule = R::LoggedIn,
     .kind = K::Request,
     .word = "shoutcast_server_status,",
     .lineAbove = true,
     .accelerator = "F5"},
    {.id = cmd::kServerConfigure,
     .prompt = N_("Configure Server"),
     .menuPlace = NC_("menu", "&Server/&Configure"),
     .rule = R::LoggedIn,
     .kind = K::Request,
     .word = "shoutcast_server_getconfig,"},
    {.id = cmd::kMediaLibrary,
     .prompt = N_("Configure Media Library"),
     .rule = R::LoggedIn,
     .kind = K::Nothing},
    {.id = cmd::kServerLogs,
     .prompt = N_("View Server Logs"),
     .menuPlace = NC_("menu", "&Server/&Logs/&View Logs"),
     .rule = R::LoggedIn,
     .kind = K::ServerLogs},
    {.id = cmd::kServerClearLog,
     .prompt = N_("Clear Server Log"),
     .menuPlace = NC_("menu", "&Server/&Logs/Clear Lo&g"),
     .rule = R::LoggedIn,
     .kind = K::Request,
     .word = "shoutcast_server_clearlogs,",
     .action = "flushlogsnow"},
    {.id = cmd::kDjStart,
     .prompt = N_("Start AutoDJ"),
     .menuPlace = NC_("menu", "Auto&DJ/&Start DJ"),
     .toolbar = true,
     .rule = R::LoggedIn,
     .kind = K::Request,
     .word = "shoutcast_dj_start,",
     .action = "startnow"},
    {.id = cmd::kDjStop,
     .prompt = N_("Stop AutoDJ"),
     .menuPlace = NC_("menu", "Auto&DJ/S&top DJ"),
     .toolbar = true,
     .rule = R::LoggedIn,
     .kind = K::Request,
     .word = "shoutcast_dj_stop,",
     .action = "stopnow"},
    {.id = cmd::kDjRestart,
     .prompt = N_("Reload AutoDJ"),
     .menuPlace = NC_("menu", "Auto&DJ/&Restart DJ"),
     .toolbar = true,
     .rule = R::LoggedIn,
     .kind = K::Request,
     .word = "shoutcast_dj_restart,",
     .action = "restartnow"},
    {.id = cmd::kDjConfigure,
     .prompt = N_("Configure AutoDJ"),
     .menuPlace = NC_("menu", "Auto&DJ/&Configure DJ"),
     .rule = R::LoggedIn,
     .kind = K::Request,
     .word = "shoutcast_dj_getconfig,",
     .lineAbove = true},
    {.id = cmd::kDjPlaylists, .prompt = N_("Configure Playlists"), .rule = R::LoggedIn, .kind = K::Nothing},
    {.id = cmd::kDjNext,
     .prompt = N_("Play Next Song in List"),
     .menuPlace = NC_("menu", "Auto&DJ/S&ong Options/&Next Song"),
     .rule = R::LoggedIn,
     .kind = K::Request,
     .word = "shoutcast_dj_next,",
     .action = "nextsongnow"},
    {.id = cmd::kDjShuffle,
     .prompt = N_("Shuffle List"),
     .menuPlace = NC_("menu", "Auto&DJ/S&ong Options/S&huffle"),
     .rule = R::LoggedIn,
     .kind = K::Request,
     .word = "shoutcast_dj_shuffle,",
     .action = "shufflenow"},
    {.id = cmd::kDjReload,
     .prompt = N_("Reload List"),
     .menuPlace = NC_("menu", "Auto&DJ/S&ong Options/Rel&oad List"),
     .rule = R::LoggedIn,
     .kind = K::Request,
     .word = "shoutcast_dj_reload,",
     .action = "reloadplaylistnow"},
    {.id = cmd::kDjLogs,
     .prompt = N_("View DJ Logs"),
     .menuPlace = NC_("menu", "Auto&DJ/&Logs/&View Logs"),
     .rule = R::LoggedIn,
     .kind = K::Request,
     .word = "shoutcast_dj_getlogs,"},
    {.id = cmd::kDjClearLog,
     .prompt = N_("Clear DJ Log"),
     .menuPlace = NC_("menu", "Auto&DJ/&Logs/Clear Lo&g"),
     .rule = R::LoggedIn,
     .kind = K::Request,
     .word = "shoutcast_dj_clearlogs,",
     .action = "flushlogsnow"},
    {.id = cmd::kTvStart,
     .prompt = N_("Start AutoTV"),
     .menuPlace = NC_("menu", "AutoT&V/&Start TV"),
     .toolbar = true,
     .rule = R::LoggedInAndVideo,
     .kind = K::Request,
     .word = "shoutcast_tv_start,",
     .action = "startnow"},
    {.id = cmd::kTvStop,
     .prompt = N_("Stop AutoTV"),
     .menuPlace = NC_("menu", "AutoT&V/S&top TV"),
     .toolbar = true,
     .rule = R::LoggedInAndVideo,
     .kind = K::Request,
     .word = "shoutcast_tv_stop,",
     .action = "stopnow"},
    {.id = cmd::kTvRestart,
     .prompt = N_("Restart AutoTV"),
     .menuPlace = NC_("menu", "AutoT&V/&Restart TV"),
     .toolbar = true,
     .rule = R::LoggedInAndVideo,
     .kind = K::Request,
     .word = "shoutcast_tv_restart,",
     .action = "restartnow"},
    {.id = cmd::kTvConfigure,
     .prompt = N_("Configure AutoTV"),
     .menuPlace = NC_("menu", "AutoT&V/&Configure TV"),
     .rule = R::LoggedInAndVideo,
     .kind = K::Request,
     .word = "shoutcast_tv_getconfig,",
     .lineAbove = true},
    {.id = cmd::kTvPlaylists,
     .prompt = N_("Configure AutoTV Playlists"),
     .rule = R::LoggedInAndVideo,
     .kind = K::Nothing},
    {.id = cmd::kTvLogs,
     .prompt = N_("View AutoTV Logs"),
     .menuPlace = NC_("menu", "AutoT&V/&Logs/TV L&ogs"),
     .rule = R::LoggedInAndVideo,
     .kind = K::Request,
     .word = "shoutcast_tv_getlogs,"},
    {.id = cmd::kTvClearLog,
     .prompt = N_("Clear AutoTV Log"),
     .menuPlace = NC_("menu", "AutoT&V/&Logs/Clear Lo&g"),
     .rule = R::LoggedInAndVideo,
     .kind = K::Request,
     .word = "shoutcast_tv_clearlogs,",
     .action = "flushlogsnow"},
    {.id = cmd::kTuneInWinamp,
     .prompt = N_("Tune-In to Stream with Winamp"),
     .menuPlace = NC_("menu", "&Tune-In Links/&Winamp"),
     .toolbar = true,
     .rule = R::LoggedIn,
     .kind = K::TuneIn,
     .detail = "pls"},
    {.id = cmd::kTuneInReal,
     .prompt = N_("Tune-In to Stream with Real Player"),
     .menuPlace = NC_("menu", "&Tune-In Links/&Real Media Player"),
     .toolbar = true,
     .rule = R::LoggedIn,
     .kind = K::TuneIn,
     .detail = "ram"},
    {.id = cmd::kTuneInItunes,
     .prompt = N_("Tune-In to Stream with iTunes"),
     .menuPlace = NC_("menu", "&Tune-In Links/&Itunes"),
     .toolbar = true,
     .rule = R::LoggedIn,
     .kind = K::TuneIn,
     .detail = "m3u"},
    {.id = cmd::kTuneInMediaPlayer,
     .prompt = N_("Tune-In to Stream with Windows Media Player"),
     .menuPlace = NC_("menu", "&Tune-In Links/Windows &Media Player"),
     .toolbar = true,
     .rule = R::LoggedIn,
     .kind = K::TuneIn,
     .detail = "asx"},
    {.id = cmd::kFaq,
     .prompt = N_("View FAQ"),
     .menuPlace = NC_("menu", "&Help/&FAQ"),
     .rule = R::Always,
     .kind = K::WebPage,
     .detail = "/shoutcast/faq.php"},
    {.id = cmd::kContacts,
     .prompt = N_("View Contact Info"),
     .menuPlace = NC_("menu", "&Help/&Contacts"),
     .rule = R::Always,
     .kind = K::WebPage,
     .detail = "/shoutcast/contacts.php"},
};

// The framework's commands, each at the end of its popup.
constexpr CommandInfo kFrameworkCommands[] = {
    {.id = cmd::kAppPreferences,
     .prompt = N_("Change how Ostravel starts, notifies and connects"),
     .menuPlace = NC_("menu", "&File/&Preferences..."),
     .rule = R::Always,
     .kind = K::Nothing,
     .lineAbove = true,
     .accelerator = "Ctrl+,"},
    {.id = cmd::kAccountHistory,
     .prompt = N_("Show when the station was on air and its outages"),
     .menuPlace = NC_("menu", "&Account/Station &History..."),
     .rule = R::Always,
     .kind = K::Nothing,
     .lineAbove = true},
    {.id = cmd::kAppExit,
     .prompt = N_("Quit the application"),
     .menuPlace = NC_("menu", "&File/E&xit"),
     .rule = R::Always,
     .kind = K::Nothing,
     .lineAbove = true,
     .accelerator = "Ctrl+Q"},
    {.id = cmd::kViewToolbar,
     .prompt = N_("Show or hide the toolbar"),
     .menuPlace = NC_("menu", "&View/&Toolbar"),
     .rule = R::Always,
     .kind = K::Nothing,
     .check = true},
    {.id = cmd::kViewStatusBar,
     .prompt = N_("Show or hide the status bar"),
     .menuPlace = NC_("menu", "&View/&Status Bar"),
     .rule = R::Always,
     .kind = K::Nothing,
     .check = true},
    {.id = cmd::kAppAbout,
     .prompt = N_("Display program information"),
     .menuPlace = NC_("menu", "&Help/&About Ostravel"),
     .rule = R::Always,
     .kind = K::Nothing},
};

// The extensions' switches: none changes a request or a reply's handling; each only adds to them.
// Their keys and defaults are their preferences' (config/preferences.h).
constexpr ToggleInfo kSettingToggles[] = {
    {.command = {.id = cmd::kViewNotifyOnChange,
                 .prompt =
                     N_("Show a desktop notification when the server's state changes or the session is lost"),
                 .menuPlace = NC_("menu", "&View/&Notify on Status Changes"),
                 .rule = R::Always,
                 .kind = K::Nothing,
                 .lineAbove = true,
                 .check = true},
     .settingKey = pref::kNotifyOnStatusChanges,
     .defaultOn = FindPreference(pref::kNotifyOnStatusChanges)->defaultOn},
    {.command = {.id = cmd::kViewAutoRefresh,
                 .prompt = N_("Ask for the server status at the interval set in Preferences while logged in"),
                 .menuPlace = NC_("menu", "&View/&Refresh Status Automatically"),
                 .rule = R::Always,
                 .kind = K::Nothing,
                 .check = true},
     .settingKey = pref::kRefreshStatusAutomatically,
     .defaultOn = FindPreference(pref::kRefreshStatusAutomatically)->defaultOn},
};

// The menu bar's popups, left to right. Their titles are translated as parts of the menu places.
constexpr const char* kMenuTitles[] = {"&File",   "&View",   "&Account",       "&Server",
                                       "Auto&DJ", "AutoT&V", "&Tune-In Links", "&Help"};

// Stable storage for the popup texts of nested places ("&Logs"), which the entries point into.
const char* Interned(std::string_view text) {
    static std::vector<std::unique_ptr<std::string>> texts;
    for (const auto& t : texts)
        if (*t == text) return t->c_str();
    texts.push_back(std::make_unique<std::string>(text));
    return texts.back()->c_str();
}

std::vector<MenuEntry> BuildMainMenu() {
    std::vector<MenuEntry> menu;
    for (const char* title : kMenuTitles) {
        menu.push_back({0, title, 0});
        std::vector<std::string_view> open;  // the nested popups the last item was in
        std::vector<CommandInfo> toggles;
        for (const ToggleInfo& toggle : kSettingToggles) toggles.push_back(toggle.command);
        for (const auto rows :
             {std::span<const CommandInfo>(kCatalogue), std::span<const CommandInfo>(kFrameworkCommands),
              std::span<const CommandInfo>(toggles)}) {
            for (const CommandInfo& row : rows) {
                if (row.menuPlace == nullptr) continue;
                const std::vector<std::string_view> parts = PlaceParts(row.menuPlace);
                if (parts.size() < 2 || parts.front() != title) continue;
                const std::size_t nested = parts.size() - 2;  // popups between the title and the item
                std::size_t same = 0;
                while (same < open.size() && same < nested && open[same] == parts[same + 1]) ++same;
                open.resize(same);
                for (std::size_t d = same; d < nested; ++d) {
                    open.push_back(parts[d + 1]);
                    menu.push_back({static_cast<int>(d) + 1, Interned(parts[d + 1]), 0});
                }
                const int depth = static_cast<int>(nested) + 1;
                if (row.lineAbove) menu.push_back({depth, nullptr, 0});
                menu.push_back({depth, Interned(parts.back()), row.id, row.accelerator, row.check});
            }
        }
    }
    return menu;
}

std::string_view TopPopup(const CommandInfo& row) {
    const std::string_view place = row.menuPlace != nullptr ? row.menuPlace : "";
    return place.substr(0, place.find('/'));
}

std::vector<int> BuildToolbar() {
    std::vector<int> buttons;
    const CommandInfo* previous = nullptr;
    for (const CommandInfo& row : kCatalogue) {
        if (!row.toolbar) continue;
        if (previous != nullptr && TopPopup(*previous) != TopPopup(row)) buttons.push_back(0);
        buttons.push_back(row.id);
        previous = &row;
    }
    return buttons;
}

constexpr TrayEntry kTrayMenu[] = {
    {.depth = 0, .text = NC_("tray", "Server"), .id = 0, .viewCommand = 0},
    {.depth = 1, .text = NC_("tray", "Start"), .id = cmd::kTrayServerStart, .viewCommand = cmd::kServerStart},
    {.depth = 1, .text = NC_("tray", "Stop"), .id = cmd::kTrayServerStop, .viewCommand = cmd::kServerStop},
    {.depth = 1,
     .text = NC_("tray", "Restart"),
     .id = cmd::kTrayServerRestart,
     .viewCommand = cmd::kServerRestart},
    {.depth = 0, .text = NC_("tray", "AutoDJ"), .id = 0, .viewCommand = 0},
    {.depth = 1, .text = NC_("tray", "Start"), .id = cmd::kTrayDjStart, .viewCommand = cmd::kDjStart},
    {.depth = 1, .text = NC_("tray", "Stop"), .id = cmd::kTrayDjStop, .viewCommand = cmd::kDjStop},
    {.depth = 1, .text = NC_("tray", "Restart"), .id = cmd::kTrayDjRestart, .viewCommand = cmd::kDjRestart},
    {.depth = 0, .text = NC_("tray", "AutoTV"), .id = 0, .viewCommand = 0},
    {.depth = 1, .text = NC_("tray", "Start"), .id = cmd::kTrayTvStart, .viewCommand = cmd::kTvStart},
    {.depth = 1, .text = NC_("tray", "Stop"), .id = cmd::kTrayTvStop, .viewCommand = cmd::kTvStop},
    {.depth = 1, .text = NC_("tray", "Restart"), .id = cmd::kTrayTvRestart, .viewCommand = cmd::kTvRestart},
    {.depth = 0, .text = nullptr, .id = 0, .viewCommand = 0},
    {.depth = 0, .text = NC_("tray", "Login"), .id = cmd::kTrayLogin, .viewCommand = cmd::kLogin},
    {.depth = 0, .text = NC_("tray", "Logout"), .id = cmd::kTrayLogout, .viewCommand = cmd::kLogout},
    {.depth = 0, .text = nullptr, .id = 0, .viewCommand = 0},
    {.depth = 0, .text = NC_("tray", "Station History..."), .id = cmd::kTrayHistory, .viewCommand = 0},
    {.depth = 0, .text = NC_("tray", "Open Ostravel"), .id = cmd::kTrayOpen, .viewCommand = 0},
    {.depth = 0, .text = NC_("tray", "Exit"), .id = cmd::kTrayExit, .viewCommand = 0},
};

}  // namespace

std::vector<std::string_view> PlaceParts(std::string_view place) {
    std::vector<std::string_view> parts;
    for (std::size_t slash; (slash = place.find('/')) != std::string_view::npos;
         place.remove_prefix(slash + 1))
        parts.push_back(place.substr(0, slash));
    parts.push_back(place);
    return parts;
}

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

std::span<const CommandInfo> FrameworkCommands() { return kFrameworkCommands; }

std::span<const ToggleInfo> SettingToggles() { return kSettingToggles; }

const ToggleInfo* FindToggle(int id) {
    auto it = std::find_if(std::begin(kSettingToggles), std::end(kSettingToggles),
                           [id](const ToggleInfo& t) { return t.command.id == id; });
    return it == std::end(kSettingToggles) ? nullptr : &*it;
}

const CommandInfo* FindMenuCommand(int id) {
    if (const CommandInfo* command = FindCommand(id)) return command;
    if (const ToggleInfo* toggle = FindToggle(id)) return &toggle->command;
    auto it = std::find_if(std::begin(kFrameworkCommands), std::end(kFrameworkCommands),
                           [id](const CommandInfo& c) { return c.id == id; });
    return it == std::end(kFrameworkCommands) ? nullptr : &*it;
}

std::string_view MenuItemText(const CommandInfo& command) {
    if (command.menuPlace == nullptr) return {};
    const std::string_view place = command.menuPlace;
    return place.substr(place.rfind('/') + 1);
}

std::span<const MenuEntry> MainMenu() {
    static const std::vector<MenuEntry> menu = BuildMainMenu();
    return menu;
}

std::span<const int> ToolbarButtons() {
    static const std::vector<int> buttons = BuildToolbar();
    return buttons;
}
std::span<const TrayEntry> TrayMenu() { return kTrayMenu; }

bool IsTrayEntryEnabled(int trayId, int loginId, bool highBitrate) {
    // An entry is enabled as the command it runs is; the frame's own (Station History, Open, Exit)
    // run none and always are.
    for (const TrayEntry& entry : kTrayMenu) {
        if (entry.id == trayId) {
            return entry.viewCommand == 0 || IsCommandEnabled(entry.viewCommand, loginId, highBitrate);
        }
    }
    return true;
}

}  // namespace ostravel
