// The command catalogue: one row per command of the main view. The main menu and the toolbar are
// built from its rows (their order is the menus' order), so a command gets a menu item or a button
// by its own row alone. Status-bar prompts, shortcuts and enabling come from here too; the tray menu
// has ids of its own and its own table.
#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace ostravel {

enum class EnableRule {
    Always,           // no rule: stays enabled
    NotLoggedIn,      // the Login command
    LoggedIn,         // loginId non-zero
    LoggedInAndVideo  // loginId non-zero and highBitrate
};

enum class CommandKind {
    Login,
    Logout,
    Request,     // sends one 256-byte request to the service server
    PortalPage,  // opens a portal page through the portal login address
    WebPage,     // opens a fixed portal page
    TuneIn,      // opens a tune-in link for the stream
    ServerLogs,  // shows the server log page in the embedded browser
    Nothing      // has a handler and an enabling rule, does nothing
};

// A row names the fields it sets; the others keep these defaults.
struct CommandInfo {
    int id;
    const char* prompt = nullptr;     // status-bar prompt; nullptr for none
    const char* menuPlace = nullptr;  // "Popup/Item" (nested popups separated by '/'); nullptr: no menu
    bool toolbar = false;             // has a button; a separator keeps the buttons of two menus apart
    EnableRule rule;
    CommandKind kind;
    const char* word = nullptr;         // command word with its comma, for requests
    const char* action = nullptr;       // action verb, for requests that carry "&action="; nullptr for none
    const char* detail = nullptr;       // redirect page, fixed path or tune-in file type
    bool lineAbove = false;             // the menu draws a separator above this item
    const char* accelerator = nullptr;  // shortcut key shown beside the menu item, e.g. "Ctrl+L"
    bool check = false;                 // a check item: the menu shows whether it is on
};

// A switch of one of our own extensions (notifications, live status): a check item of the View
// menu whose state is kept in the settings under `settingKey`, its preference's key (and default).
struct ToggleInfo {
    CommandInfo command;
    const char* settingKey;
    bool defaultOn;
};

namespace cmd {
inline constexpr int kLogin = 32771;
inline constexpr int kLogout = 32775;
inline constexpr int kAccountSummary = 32796;
inline constexpr int kBilling = 32797;
inline constexpr int kUpgrade = 32798;
inline constexpr int kChangeTerm = 32872;
inline constexpr int kServerStart = 32801;
inline constexpr int kServerStop = 32802;
inline constexpr int kServerRestart = 32803;
inline constexpr int kServerStatus = 32799;
inline constexpr int kServerConfigure = 32800;
inline constexpr int kMediaLibrary = 32804;
inline constexpr int kServerLogs = 32805;
inline constexpr int kServerClearLog = 32806;
inline constexpr int kDjStart = 32808;
inline constexpr int kDjStop = 32809;
inline constexpr int kDjRestart = 32810;
inline constexpr int kDjConfigure = 32807;
inline constexpr int kDjPlaylists = 32811;
inline constexpr int kDjNext = 32819;
inline constexpr int kDjShuffle = 32820;
inline constexpr int kDjReload = 32821;
inline constexpr int kDjLogs = 32816;
inline constexpr int kDjClearLog = 32817;
inline constexpr int kTvStart = 32822;
inline constexpr int kTvStop = 32823;
inline constexpr int kTvRestart = 32824;
inline constexpr int kTvConfigure = 32825;
inline constexpr int kTvPlaylists = 32826;
inline constexpr int kTvLogs = 32828;
inline constexpr int kTvClearLog = 32829;
inline constexpr int kTuneInWinamp = 32833;
inline constexpr int kTuneInMediaPlayer = 32834;
inline constexpr int kTuneInItunes = 32835;
inline constexpr int kTuneInReal = 32836;
inline constexpr int kFaq = 32830;
inline constexpr int kContacts = 32831;

// The framework's own commands that appear in the menus.
inline constexpr int kAppExit = 57665;
inline constexpr int kAppAbout = 57664;
inline constexpr int kViewToolbar = 59392;
inline constexpr int kViewStatusBar = 59393;
// The Preferences window (File menu), handled by the frame as the framework's commands are.
inline constexpr int kAppPreferences = 32902;
// The Station History window (Account menu, tray menu), handled by the frame in the same way.
inline constexpr int kAccountHistory = 32903;

// The extensions' switches (View menu).
inline constexpr int kViewNotifyOnChange = 32900;
inline constexpr int kViewAutoRefresh = 32901;

// Tray popup menu entries.
inline constexpr int kTrayServerStart = 32853;
inline constexpr int kTrayServerStop = 32856;
inline constexpr int kTrayServerRestart = 32855;
inline constexpr int kTrayDjStart = 32857;
inline constexpr int kTrayDjStop = 32858;
inline constexpr int kTrayDjRestart = 32859;
inline constexpr int kTrayTvStart = 32860;
inline constexpr int kTrayTvStop = 32861;
inline constexpr int kTrayTvRestart = 32862;
inline constexpr int kTrayLogin = 32851;
inline constexpr int kTrayLogout = 32852;
inline constexpr int kTrayOpen = 32849;
inline constexpr int kTrayExit = 32848;
inline constexpr int kTrayHistory = 32904;
}  // namespace cmd

std::span<const CommandInfo> CommandCatalogue();
const CommandInfo* FindCommand(int id);
// The framework's own menu commands (Preferences, Station History, Exit, the bars' switches,
// About), placed like catalogue rows.
std::span<const CommandInfo> FrameworkCommands();
// The extensions' switches, each at the end of the View menu.
std::span<const ToggleInfo> SettingToggles();
const ToggleInfo* FindToggle(int id);
// A row of any of the three tables; nullptr for ids in no menu.
const CommandInfo* FindMenuCommand(int id);
// The item's own text in its menu ("S&top"), the last part of its menu place; empty when in none.
std::string_view MenuItemText(const CommandInfo& command);
// Splits a menu place "A/B/C" into its parts, views into `place`.
std::vector<std::string_view> PlaceParts(std::string_view place);

bool IsEnabled(EnableRule rule, int loginId, bool highBitrate);
// Commands outside the catalogue have no rule and stay enabled.
bool IsCommandEnabled(int id, int loginId, bool highBitrate);

// The main menu in order, as built from the rows. An entry with id 0 and no text is a separator; an
// entry with id 0 and a text opens a popup whose items follow with depth + 1.
struct MenuEntry {
    int depth;         // 0: a top-level popup title; 1: its item; 2: an item of a nested popup
    const char* text;  // with its '&' mnemonic; nullptr for a separator
    int id;            // command id; 0 for popup titles and separators
    const char* accelerator = nullptr;
    bool check = false;  // a check item
};
std::span<const MenuEntry> MainMenu();

// The toolbar, left to right, as built from the rows; 0 is a separator.
std::span<const int> ToolbarButtons();

// The tray menu: entries in order (depth 0 inside the "Tray Popup" popup), with the view command each
// one runs (0 for the frame's own entries).
struct TrayEntry {
    int depth;
    const char* text;
    int id;
    int viewCommand;
};
std::span<const TrayEntry> TrayMenu();

// Whether a tray entry is enabled: as the command it runs (entries are disabled, not greyed).
bool IsTrayEntryEnabled(int trayId, int loginId, bool highBitrate);

}  // namespace ostravel
