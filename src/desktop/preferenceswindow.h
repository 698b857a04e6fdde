// "Preferences": the pages of the preference table (config/preferences.h) in the platform's own
// preferences window. On GTK that is a dialog of tabs, left open beside the main window, whose
// changes count as soon as they are made; where the platform has OK and Cancel instead, they count at
// OK. A change is written to the settings file first and then handed on to be applied.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <wx/preferences.h>
#include <wx/stattext.h>
#include <wx/weakref.h>

#include "config/preferences.h"
#include "net/hostaddress.h"

namespace ostravel {

// The preferences as the settings file keeps them (wxConfigBase::Get()).
class SettingsFileStore final : public PreferenceStore {
public:
    bool ReadBool(const char* key, bool* value) const override;
    bool ReadInt(const char* key, long* value) const override;
    bool ReadText(const char* key, std::string* value) const override;
    void WriteBool(const char* key, bool value) override;
    void WriteInt(const char* key, long value) override;
    void WriteText(const char* key, const std::string& value) override;
    void Remove(const char* key) override;
    void Flush() override;
};

// The host a host setting's text names, with its form's port where none is written (the service
// port; none for the portal). Nothing for an empty text, which stands for the built-in host, and
// nothing for a bad one, whose reason (a sentence for the user) goes to `error`.
std::optional<HostAddress> HostOfSetting(TextForm form, std::string_view text, std::string* error);
// The portal as a web address has it: "name", "name:port", "[2001:db8::7]:port".
std::string PortalAuthority(const HostAddress& portal);

// A label whose Alt letter moves the keyboard into `control`. Windows pairs them by the tab order
// (the label comes just before); a GTK label is told which widget it stands for.
wxStaticText* MnemonicLabel(wxWindow* parent, const wxString& text, wxWindow* control);

class PreferencesWindow {
public:
    // `applied(key)`: runs after the setting `key` was stored. `builtInServiceHost`: what an empty
    // service host stands for, shown greyed in the empty field.
    PreferencesWindow(std::function<void(const char* key)> applied, wxString builtInServiceHost);
    ~PreferencesWindow();
    PreferencesWindow(const PreferencesWindow&) = delete;
    PreferencesWindow& operator=(const PreferencesWindow&) = delete;

    // Opens the window, or brings it to the front.
    void Show(wxWindow* parent);
    void Dismiss();
    // The pages show the kept values again, after something other than the pages changed them (a
    // View menu switch, the login dialog's host, a failed change put back). A field showing a
    // mistake the user is still correcting keeps it.
    void ShowKeptValues();
    // The window while it exists (open or hidden), else nullptr. Its controls are named by their keys.
    wxWindow* Dialog() const;

private:
    class Page;
    class Panel;

    std::function<void(const char*)> applied_;
    wxString builtInServiceHost_;
    std::vector<wxWeakRef<wxWindow>> panels_;  // the pages' windows (Panel), once made
    wxPreferencesEditor editor_;
};

}  // namespace ostravel
