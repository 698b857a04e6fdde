#include "protocol/commands.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

namespace ostravel {

namespace {

using R = EnableRule;
using K = CommandKind;

constexpr CommandInfo kCatalogue[] = {
    {cmd::kLogin, "Login to your SHOUTcast account", "&File/&Login", true, R::NotLoggedIn, K::Login,
     nullptr, nullptr, nullptr, false, "Ctrl+L"},
    {cmd::kLogout, "Logoff your SHOUTcast account", "&File/L&ogout", true, R::Always, K::Logout, nullptr,
     nullptr, nullptr, false, "Ctrl+Shift+L"},
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
     "shoutcast_server_status,", nullptr, nullptr, true, "F5"},
    {cmd::kServerConfigure, "Configure Server", "&Server/&Configure", false, R::LoggedIn, K::Request,
     "shoutcast_server_getconfig,", nullptr, nullptr},
    {cmd::kMediaLibrary, "Configure Media Library", nullptr, false, R::LoggedIn, K::Nothing, nullptr,
     nullptr, nullptr},
    {cmd::kServerLogs, "View Server Logs", "&Server/&Logs/&View Logs", false, R::LoggedIn, K::ServerLogs,
     nullptr, nullptr, nullptr},
    {cmd::kServerClearLog, "Clear Server Log", "&Server/&Logs/Clear Lo&g", false, R::LoggedIn, K::Request,
     "shoutcast_server_clearlogs,", "flushlogsnow", nullptr},
    {cmd::kDjStart, "Start AutoDJ", "Auto&DJ/&Start DJ", true, R::LoggedIn, K::Request,
     "shoutcast_dj_start,", "startnow", nullptr},
    {cmd::kDjStop, "Stop AutoDJ", "Auto&DJ/S&top DJ", true, R::LoggedIn, K::Request, "shoutcast_dj_stop,",
     "stopnow", nullptr},
    {cmd::kDjRestart, "Reload AutoDJ", "Auto&DJ/&Restart DJ", true, R::LoggedIn, K::Request,
     "shoutcast_dj_restart,", "restartnow", nullptr},
    {cmd::kDjConfigure, "Configure AutoDJ", "Auto&DJ/&Configure DJ", false, R::LoggedIn, K::Request,
     "shoutcast_dj_getconfig,", nullptr, nullptr, true},
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
     K::Request, "shoutcast_tv_getconfig,", nullptr, nullptr, true},
    {cmd::kTvPlaylists, "Configure AutoTV Playlists", nullptr, false, R::LoggedInAndVideo, K::Nothing,
     nullptr, nullptr, nullptr},
    {cmd::kTvLogs, "View AutoTV Logs", "AutoT&V/&Logs/TV L&ogs", false, R::LoggedInAndVideo, K::Request,
     "shoutcast_tv_getlogs,", nullptr, nullptr},
    {cmd::kTvClearLog, "Clear AutoTV Log", "AutoT&V/&Logs/Clear Lo&g", false, R::LoggedInAndVideo,
     K::Request, "shoutcast_tv_clearlogs,", "flushlogsnow", nullptr},
    {cmd::kTuneInWinamp, "Tune-In to Stream with Winamp", "&Tune-In Links/&Winamp", true, R::LoggedIn,
     K::TuneIn, nullptr, nullptr, "pls"},
    {cmd::kTuneInReal, "Tune-In to Stream with Real Player", "&Tune-In Links/&Real Media Player", true,
     R::LoggedIn, K::TuneIn, nullptr, nullptr, "ram"},
    {cmd::kTuneInItunes, "Tune-In to Stream with iTunes", "&Tune-In Links/&Itunes", true, R::LoggedIn,
     K::TuneIn, nullptr, nullptr, "m3u"},
    {cmd::kTuneInMediaPlayer, "Tune-In to Stream with Windows Media Player",
     "&Tune-In Links/Windows &Media Player", true, R::LoggedIn, K::TuneIn, nullptr, nullptr, "asx"},
    {cmd::kFaq, "View FAQ", "&Help/&FAQ", false, R::Always, K::WebPage, nullptr, nullptr,
     "/shoutcast/faq.php"},
    {cmd::kContacts, "View Contact Info", "&Help/&Contacts", false, R::Always, K::WebPage, nullptr, nullptr,
     "/shoutcast/contacts.php"},
};

// The framework's commands, each at the end of its popup.
constexpr CommandInfo kFrameworkCommands[] = {
    {cmd::kAppExit, "Quit the application", "&File/E&xit", false, R::Always, K::Nothing, nullptr, nullptr,
     nullptr, true, "Ctrl+Q"},
    {cmd::kViewToolbar, "Show or hide the toolbar", "&View/&Toolbar", false, R::Always, K::Nothing, nullptr,
     nullptr, nullptr, false, nullptr, true},
    {cmd::kViewStatusBar, "Show or hide the status bar", "&View/&Status Bar", false, R::Always, K::Nothing,
     nullptr, nullptr, nullptr, false, nullptr, true},
    {cmd::kAppAbout, "Display program information", "&Help/&About Ostravel", false, R::Always, K::Nothing,
     nullptr, nullptr, nullptr},
};

// The extensions' switches: none changes a request or a reply's handling; each only adds to them.
constexpr ToggleInfo kSettingToggles[] = {
    {{cmd::kViewNotifyOnChange, "Show a desktop notification when the server's state changes or the session is lost",
      "&View/&Notify on Status Changes", false, R::Always, K::Nothing, nullptr, nullptr, nullptr, true, nullptr,
      true},
     "View/NotifyOnStatusChanges", true},
    {{cmd::kViewAutoRefresh, "Ask for the server status every 20 seconds while logged in",
      "&View/&Refresh Status Automatically", false, R::Always, K::Nothing, nullptr, nullptr, nullptr, false,
      nullptr, true},
     "View/RefreshStatusAutomatically", false},
};

// The menu bar's popups, left to right.
constexpr const char* kMenuTitles[] = {"&File",   "&View",   "&Account",       "&Server",
                                       "Auto&DJ", "AutoT&V", "&Tune-In Links", "&Help"};

// Splits "A/B/C" into its parts; the texts live in the tables, so views into them last.
std::vector<std::string_view> PlaceParts(std::string_view place) {
    std::vector<std::string_view> parts;
    for (std::size_t slash; (slash = place.find('/')) != std::string_view::npos;
         place.remove_prefix(slash + 1))
        parts.push_back(place.substr(0, slash));
    parts.push_back(place);
    return parts;
}

// Stable storage for the popup texts of nested places ("&Logs"), which the entries point into.
const char* Interned(std::string_view text) {
    static std::vector<std::unique_ptr<std::string>> texts;
    for (const auto& t : texts)
        if (*t == text)
            return t->c_str();
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
        for (const auto rows : {std::span<const CommandInfo>(kCatalogue), std::span<const CommandInfo>(kFrameworkCommands),
                                std::span<const CommandInfo>(toggles)}) {
            for (const CommandInfo& row : rows) {
                if (row.menuPlace == nullptr)
                    continue;
                const std::vector<std::string_view> parts = PlaceParts(row.menuPlace);
                if (parts.size() < 2 || parts.front() != title)
                    continue;
                const std::size_t nested = parts.size() - 2;  // popups between the title and the item
                std::size_t same = 0;
                while (same < open.size() && same < nested && open[same] == parts[same + 1]) ++same;
                open.resize(same);
                for (std::size_t d = same; d < nested; ++d) {
                    open.push_back(parts[d + 1]);
                    menu.push_back({static_cast<int>(d) + 1, Interned(parts[d + 1]), 0});
                }
                const int depth = static_cast<int>(nested) + 1;
                if (row.lineAbove)
                    menu.push_back({depth, nullptr, 0});
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
        if (!row.toolbar)
            continue;
        if (previous != nullptr && TopPopup(*previous) != TopPopup(row))
            buttons.push_back(0);
        buttons.push_back(row.id);
        previous = &row;
    }
    return buttons;
}

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

std::span<const CommandInfo> FrameworkCommands() {
    return kFrameworkCommands;
}

std::span<const ToggleInfo> SettingToggles() { return kSettingToggles; }

const ToggleInfo* FindToggle(int id) {
    auto it = std::find_if(std::begin(kSettingToggles), std::end(kSettingToggles),
                           [id](const ToggleInfo& t) { return t.command.id == id; });
    return it == std::end(kSettingToggles) ? nullptr : &*it;
}

const CommandInfo* FindMenuCommand(int id) {
    if (const CommandInfo* command = FindCommand(id))
        return command;
    if (const ToggleInfo* toggle = FindToggle(id))
        return &toggle->command;
    auto it = std::find_if(std::begin(kFrameworkCommands), std::end(kFrameworkCommands),
                           [id](const CommandInfo& c) { return c.id == id; });
    return it == std::end(kFrameworkCommands) ? nullptr : &*it;
}

std::string_view MenuItemText(const CommandInfo& command) {
    if (command.menuPlace == nullptr)
        return {};
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
std::span<const TrayEntry> TrayMenu() {
    return kTrayMenu;
}

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
