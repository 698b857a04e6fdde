// The program's preferences: one row per setting, from which the Preferences window builds its pages
// and through which every part of the program reads and writes that setting. The View menu's switches
// take their keys and defaults from these rows too, so a menu check item and its control on a page are
// one setting with one key. The values live wherever a PreferenceStore keeps them (the desktop: its
// settings file); a value that is missing reads as its row's default, and a number is always brought
// into its row's range, whoever wrote it.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/translate.h"

namespace ostravel {

enum class PreferencePage { General, Notifications, Connection };
enum class PreferenceKind { Bool, Int, Text };
// What a text setting holds. The hosts are read by ParseHostAddress (src/net), which this layer
// cannot see; an empty host text stands for the built-in one.
enum class TextForm { Plain, ServiceHost, PortalHost };

namespace pref {
inline constexpr char kStartWithDesktop[] = "General/StartWithDesktop";
inline constexpr char kStartHidden[] = "General/StartHidden";
inline constexpr char kLoginAtStart[] = "General/LoginAtStart";
inline constexpr char kReconnect[] = "General/Reconnect";
inline constexpr char kNotifyOnStatusChanges[] = "View/NotifyOnStatusChanges";
inline constexpr char kRefreshStatusAutomatically[] = "View/RefreshStatusAutomatically";
inline constexpr char kRefreshIntervalSeconds[] = "View/RefreshIntervalSeconds";
inline constexpr char kShowSinceWhen[] = "View/ShowSinceWhen";
inline constexpr char kServiceHost[] = "Connection/ServiceHost";
inline constexpr char kPortalAddress[] = "Connection/PortalAddress";
inline constexpr char kConnectSeconds[] = "Connection/ConnectSeconds";
inline constexpr char kLanguage[] = "General/Language";
}  // namespace pref

// The web portal's host[:port] as built in (a build-time setting).
extern const char kBuiltInPortalHost[];

// One entry of a setting that is a choice: the text kept, and what the list shows for it.
struct PreferenceChoice {
    const char* value;
    const char* label;
};

// The languages the program speaks; each named in its own language, which is not translated. The
// empty value follows the environment.
inline constexpr PreferenceChoice kLanguageChoices[] = {
    {"", N_("System default")}, {"en", "English"}, {"de", "Deutsch"}, {"fr", "Français"}, {"es", "Español"}};

// A row names the fields it sets; the others keep these defaults.
struct Preference {
    const char* key;
    PreferencePage page;
    PreferenceKind kind;
    const char* label;  // with its '&' mnemonic
    const char* tooltip = nullptr;
    bool defaultOn = false;                          // Bool
    int defaultNumber = 0;                           // Int, within [min, max]
    int min = 0;                                     // Int
    int max = 0;                                     // Int
    const char* unit = nullptr;                      // Int: the word after the number ("seconds")
    const char* defaultText = "";                    // Text
    TextForm form = TextForm::Plain;                 // Text
    const char* onlyWith = nullptr;                  // the Bool without which this setting has no effect
    std::span<const PreferenceChoice> choices = {};  // Text: the values it may take, else any
};

// The pages' rows in their order on the page; the pages themselves in PreferencePage's order.
inline constexpr Preference kPreferenceRows[] = {
    {.key = pref::kStartWithDesktop,
     .page = PreferencePage::General,
     .kind = PreferenceKind::Bool,
     .label = N_("&Start Ostravel when I log in"),
     .tooltip = N_("Start Ostravel hidden in the notification area whenever you log in to the desktop")},
    {.key = pref::kStartHidden,
     .page = PreferencePage::General,
     .kind = PreferenceKind::Bool,
     .label = N_("Start &hidden in the notification area"),
     .tooltip = N_("Start with the window hidden; the notification area's icon opens it")},
    {.key = pref::kLoginAtStart,
     .page = PreferencePage::General,
     .kind = PreferenceKind::Bool,
     .label = N_("&Log in at start"),
     .tooltip = N_("Log in with the last user name as soon as Ostravel starts. Needs a remembered password: "
                   "check \"Remember password\" in the login dialog once")},
    {.key = pref::kReconnect,
     .page = PreferencePage::General,
     .kind = PreferenceKind::Bool,
     .label = N_("&Reconnect automatically"),
     .tooltip = N_("Log in again by itself when the connection to the server is lost"),
     .defaultOn = true},
    {.key = pref::kLanguage,
     .page = PreferencePage::General,
     .kind = PreferenceKind::Text,
     .label = N_("&Language:"),
     .tooltip = N_("The language of the program's windows and messages, from its next start on"),
     .choices = kLanguageChoices},
    {.key = pref::kNotifyOnStatusChanges,
     .page = PreferencePage::Notifications,
     .kind = PreferenceKind::Bool,
     .label = N_("&Notify on status changes"),
     .tooltip = N_("Show a desktop notification when the server's state changes or the session is lost"),
     .defaultOn = true},
    {.key = pref::kRefreshStatusAutomatically,
     .page = PreferencePage::Notifications,
     .kind = PreferenceKind::Bool,
     .label = N_("&Refresh status automatically"),
     .tooltip = N_("Ask for the server status at the interval below while logged in")},
    {.key = pref::kRefreshIntervalSeconds,
     .page = PreferencePage::Notifications,
     .kind = PreferenceKind::Int,
     .label = N_("Refresh &every"),
     .tooltip = N_("How long to wait between two status requests of the automatic refresh"),
     .defaultNumber = 20,
     .min = 10,
     .max = 300,
     .unit = NC_("unit", "seconds"),
     .onlyWith = pref::kRefreshStatusAutomatically},
    {.key = pref::kShowSinceWhen,
     .page = PreferencePage::Notifications,
     .kind = PreferenceKind::Bool,
     .label = N_("Show &since when"),
     .tooltip =
         N_("Add since when the server's state holds to the status box and the notification area's tip"),
     .defaultOn = true},
    {.key = pref::kServiceHost,
     .page = PreferencePage::Connection,
     .kind = PreferenceKind::Text,
     .label = N_("Service &host:"),
     .tooltip = N_("The service server: a host name, an IPv4 address or an IPv6 address in brackets, with "
                   "an optional \":port\". Empty: the built-in server"),
     .form = TextForm::ServiceHost},
    {.key = pref::kPortalAddress,
     .page = PreferencePage::Connection,
     .kind = PreferenceKind::Text,
     .label = N_("&Portal address:"),
     .tooltip = N_("The web portal's host[:port], where the account's pages and tune-in links are opened"),
     .defaultText = kBuiltInPortalHost,
     .form = TextForm::PortalHost},
    {.key = pref::kConnectSeconds,
     .page = PreferencePage::Connection,
     .kind = PreferenceKind::Int,
     .label = N_("Connect &time-out:"),
     .tooltip = N_("How long a login waits for the service server to answer"),
     .defaultNumber = 10,
     .min = 1,
     .max = 120,
     .unit = NC_("unit", "seconds")},
};

// The row of `key`; nullptr for a key of no row.
constexpr const Preference* FindPreference(std::string_view key) {
    for (const Preference& row : kPreferenceRows) {
        if (key == row.key) return &row;
    }
    return nullptr;
}

std::span<const Preference> PreferenceRows();
// The page's title ("General").
const char* PreferencePageName(PreferencePage page);
inline constexpr PreferencePage kPreferencePages[] = {PreferencePage::General, PreferencePage::Notifications,
                                                      PreferencePage::Connection};

// Where the values are kept. A read leaves `value` alone and returns false when the key holds none.
class PreferenceStore {
public:
    virtual ~PreferenceStore() = default;
    virtual bool ReadBool(const char* key, bool* value) const = 0;
    virtual bool ReadInt(const char* key, long* value) const = 0;
    virtual bool ReadText(const char* key, std::string* value) const = 0;
    virtual void WriteBool(const char* key, bool value) = 0;
    virtual void WriteInt(const char* key, long value) = 0;
    virtual void WriteText(const char* key, const std::string& value) = 0;
    virtual void Remove(const char* key) = 0;
    // Puts what was written where it outlasts the program.
    virtual void Flush() = 0;
};

// The values through a store, as the rows have them. A key of no row, or of a row of another kind,
// is a mistake in the program and throws std::invalid_argument. Every Set* writes through at once.
class Preferences {
public:
    explicit Preferences(PreferenceStore& store) : store_(store) {}

    bool Bool(std::string_view key) const;
    // Within the row's range.
    int Int(std::string_view key) const;
    // The row's default when none is kept.
    std::string Text(std::string_view key) const;

    void SetBool(std::string_view key, bool on);
    // Brought into the row's range first; returns what was kept.
    int SetInt(std::string_view key, int value);
    // Blanks around it dropped; an empty text or the default itself is kept as no value, so that a
    // changed default (a new build) reaches whoever never chose one.
    void SetText(std::string_view key, std::string_view text);

private:
    PreferenceStore& store_;
};

}  // namespace ostravel
