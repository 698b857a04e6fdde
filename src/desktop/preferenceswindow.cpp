#include "desktop/preferenceswindow.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/config.h>
#include <wx/gbsizer.h>
#include <wx/panel.h>
#include <wx/spinctrl.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>

#ifdef __WXGTK3__
#include <dlfcn.h>
#endif

#include "desktop/translations.h"
#include "desktop/wxtext.h"
#include "session/sessioncontrol.h"
#include "session/shellrules.h"

#ifdef __WXMSW__
// The socket layer brings in <windows.h>, whose CreateWindow and friends are macros.
#include <wx/msw/winundef.h>
#endif

namespace ostravel {

// ---------------------------------------------------------------------------------------------------
// The settings file, hosts, labels

bool SettingsFileStore::ReadBool(const char* key, bool* value) const {
    return wxConfigBase::Get()->Read(key, value);
}

bool SettingsFileStore::ReadInt(const char* key, long* value) const {
    return wxConfigBase::Get()->Read(key, value);
}

bool SettingsFileStore::ReadText(const char* key, std::string* value) const {
    wxString text;
    if (!wxConfigBase::Get()->Read(key, &text)) return false;
    *value = NarrowText(text);
    return true;
}

void SettingsFileStore::WriteBool(const char* key, bool value) { wxConfigBase::Get()->Write(key, value); }

void SettingsFileStore::WriteInt(const char* key, long value) { wxConfigBase::Get()->Write(key, value); }

void SettingsFileStore::WriteText(const char* key, const std::string& value) {
    wxConfigBase::Get()->Write(key, WxText(value));
}

void SettingsFileStore::Remove(const char* key) { wxConfigBase::Get()->DeleteEntry(key); }

void SettingsFileStore::Flush() { wxConfigBase::Get()->Flush(); }

std::optional<HostAddress> HostOfSetting(TextForm form, std::string_view text, std::string* error) {
    if (text.find_first_not_of(" \t") == std::string_view::npos) return std::nullopt;
    // A portal without a port is left without one: the web address then has none either.
    return ParseHostAddress(text, form == TextForm::ServiceHost ? kServicePort : 0, error);
}

std::string PortalAuthority(const HostAddress& portal) {
    std::string authority = portal.kind == HostAddress::Kind::IPv6 ? "[" + portal.host + "]" : portal.host;
    if (portal.port != 0) authority += ":" + std::to_string(portal.port);
    return authority;
}

wxStaticText* MnemonicLabel(wxWindow* parent, const wxString& text, wxWindow* control) {
    auto* label = new wxStaticText(parent, wxID_STATIC, text);
#ifdef __WXGTK3__
    // Looked up in the already loaded toolkit, as the frame's other GTK calls are.
    using SetMnemonicWidget = void (*)(void*, void*);
    const auto bind =
        reinterpret_cast<SetMnemonicWidget>(dlsym(RTLD_DEFAULT, "gtk_label_set_mnemonic_widget"));
    if (bind != nullptr && label->GetHandle() != nullptr && control->GetHandle() != nullptr)
        bind(label->GetHandle(), control->GetHandle());
#endif
    label->MoveBeforeInTabOrder(control);
    return label;
}

// ---------------------------------------------------------------------------------------------------
// A page's window: one control per row of its page, named by the row's key

class PreferencesWindow::Panel : public wxPanel {
public:
    Panel(wxWindow* parent, PreferencePage page, PreferencesWindow& owner);

    // The window goes after its editor's owner when the program ends: nothing is handed on then.
    void Detach() { owner_ = nullptr; }
    void ShowKept();

    // Where changes count only at OK.
    bool TransferDataToWindow() override {
        ShowKept();
        return true;
    }
    bool TransferDataFromWindow() override;

private:
    struct Field {
        const Preference* row;
        wxWindow* control = nullptr;
        wxWindow* label = nullptr;        // a number's or a text's
        wxStaticText* problem = nullptr;  // a host text's: why it was not kept
    };

    void AddSwitch(wxGridBagSizer* grid, int line, Field& field, int indent);
    void AddNumber(wxGridBagSizer* grid, int line, Field& field, int indent);
    int AddText(wxGridBagSizer* grid, int line, Field& field);
    void AddChoice(wxGridBagSizer* grid, int line, Field& field);
    // A text setting's value as its control shows it.
    std::string ShownText(const Field& field) const;
    enum class Outcome { Same, Kept, Refused };
    // Keeps what the control shows, unless it is what is kept already or a host text that is no host
    // (whose reason it then shows).
    Outcome Store(const Field& field);
    void Changed(const Field& field);
    void ShowProblem(const Field& field, const std::string& problem);
    // A setting that depends on a switch is enabled while the switch is on.
    void FollowSwitches();

    PreferencesWindow* owner_;
    std::vector<Field> fields_;
    int fieldWidth_;
};

PreferencesWindow::Panel::Panel(wxWindow* parent, PreferencePage page, PreferencesWindow& owner)
    : wxPanel(parent), owner_(&owner), fieldWidth_(ConvertDialogToPixels(wxSize(150, 0)).x) {
    auto* grid = new wxGridBagSizer(FromDIP(6), FromDIP(12));
    int line = 0;
    for (const Preference& row : PreferenceRows()) {
        if (row.page != page) continue;
        Field field{&row};
        const int indent = row.onlyWith != nullptr ? FromDIP(24) : 0;
        switch (row.kind) {
            case PreferenceKind::Bool:
                AddSwitch(grid, line++, field, indent);
                break;
            case PreferenceKind::Int:
                AddNumber(grid, line++, field, indent);
                break;
            case PreferenceKind::Text:
                if (row.choices.empty()) {
                    line = AddText(grid, line, field);
                } else {
                    AddChoice(grid, line++, field);
                }
                break;
        }
        if (row.tooltip != nullptr) {
            field.control->SetToolTip(Tr(row.tooltip));
            if (field.label != nullptr) field.label->SetToolTip(Tr(row.tooltip));
        }
        fields_.push_back(field);
    }
    grid->AddGrowableCol(1);
    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(grid, 1, wxEXPAND | wxALL, FromDIP(12));
    SetSizerAndFit(outer);
    ShowKept();
}

void PreferencesWindow::Panel::AddSwitch(wxGridBagSizer* grid, int line, Field& field, int indent) {
    auto* box = new wxCheckBox(this, wxID_ANY, Tr(field.row->label), wxDefaultPosition, wxDefaultSize, 0,
                               wxDefaultValidator, field.row->key);
    grid->Add(box, wxGBPosition(line, 0), wxGBSpan(1, 2), wxLEFT, indent);
    field.control = box;
    if (wxPreferencesEditor::ShouldApplyChangesImmediately())
        box->Bind(wxEVT_CHECKBOX, [this, at = fields_.size()](wxCommandEvent&) { Changed(fields_[at]); });
}

void PreferencesWindow::Panel::AddNumber(wxGridBagSizer* grid, int line, Field& field, int indent) {
    const Preference& row = *field.row;
    auto* spin = new wxSpinCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                wxSP_ARROW_KEYS, row.min, row.max, row.defaultNumber, row.key);
    field.label = MnemonicLabel(this, Tr(row.label), spin);
    grid->Add(field.label, wxGBPosition(line, 0), wxGBSpan(1, 1), wxALIGN_CENTER_VERTICAL | wxLEFT, indent);
    auto* number = new wxBoxSizer(wxHORIZONTAL);
    number->Add(spin, 0, wxALIGN_CENTER_VERTICAL);
    if (row.unit != nullptr)
        number->Add(new wxStaticText(this, wxID_STATIC, Tr("unit", row.unit)), 0,
                    wxALIGN_CENTER_VERTICAL | wxLEFT, FromDIP(6));
    grid->Add(number, wxGBPosition(line, 1));
    field.control = spin;
    if (wxPreferencesEditor::ShouldApplyChangesImmediately())
        spin->Bind(wxEVT_SPINCTRL, [this, at = fields_.size()](wxSpinEvent&) { Changed(fields_[at]); });
}

int PreferencesWindow::Panel::AddText(wxGridBagSizer* grid, int line, Field& field) {
    const Preference& row = *field.row;
    auto* edit = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(fieldWidth_, -1), 0,
                                wxDefaultValidator, row.key);
    if (row.form == TextForm::ServiceHost && owner_ != nullptr) edit->SetHint(owner_->builtInServiceHost_);
    field.label = MnemonicLabel(this, Tr(row.label), edit);
    grid->Add(field.label, wxGBPosition(line, 0), wxGBSpan(1, 1), wxALIGN_CENTER_VERTICAL);
    grid->Add(edit, wxGBPosition(line++, 1), wxGBSpan(1, 1), wxEXPAND);
    field.control = edit;
    if (row.form != TextForm::Plain) {
        // Room for a line of the reason a text is no host, kept while empty so that little moves.
        field.problem = new wxStaticText(this, wxID_STATIC, wxEmptyString);
        field.problem->SetMinSize(wxSize(fieldWidth_, GetCharHeight()));
        field.problem->SetForegroundColour(wxColour(0xC0, 0x1C, 0x28));
        grid->Add(field.problem, wxGBPosition(line++, 1), wxGBSpan(1, 1), wxEXPAND);
    }
    if (wxPreferencesEditor::ShouldApplyChangesImmediately())
        edit->Bind(wxEVT_TEXT, [this, at = fields_.size()](wxCommandEvent&) { Changed(fields_[at]); });
    return line;
}

void PreferencesWindow::Panel::AddChoice(wxGridBagSizer* grid, int line, Field& field) {
    const Preference& row = *field.row;
    auto* choice = new wxChoice(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0, nullptr, 0,
                                wxDefaultValidator, row.key);
    for (const PreferenceChoice& entry : row.choices) choice->Append(Tr(entry.label));
    field.label = MnemonicLabel(this, Tr(row.label), choice);
    grid->Add(field.label, wxGBPosition(line, 0), wxGBSpan(1, 1), wxALIGN_CENTER_VERTICAL);
    grid->Add(choice, wxGBPosition(line, 1), wxGBSpan(1, 1));
    field.control = choice;
    if (wxPreferencesEditor::ShouldApplyChangesImmediately())
        choice->Bind(wxEVT_CHOICE, [this, at = fields_.size()](wxCommandEvent&) { Changed(fields_[at]); });
}

std::string PreferencesWindow::Panel::ShownText(const Field& field) const {
    if (field.row->choices.empty()) return NarrowText(static_cast<wxTextCtrl*>(field.control)->GetValue());
    const int at = static_cast<wxChoice*>(field.control)->GetSelection();
    return at >= 0 && static_cast<std::size_t>(at) < field.row->choices.size() ? field.row->choices[at].value
                                                                               : std::string();
}

void PreferencesWindow::Panel::ShowKept() {
    SettingsFileStore store;
    const Preferences kept(store);
    for (const Field& field : fields_) {
        const char* key = field.row->key;
        switch (field.row->kind) {
            case PreferenceKind::Bool:
                static_cast<wxCheckBox*>(field.control)->SetValue(kept.Bool(key));
                break;
            case PreferenceKind::Int:
                static_cast<wxSpinCtrl*>(field.control)->SetValue(kept.Int(key));
                break;
            case PreferenceKind::Text:
                if (!field.row->choices.empty()) {
                    const std::string value = kept.Text(key);
                    int at = 0;  // an unknown value shows as the first entry
                    for (std::size_t i = 0; i < field.row->choices.size(); ++i) {
                        if (value == field.row->choices[i].value) at = static_cast<int>(i);
                    }
                    static_cast<wxChoice*>(field.control)->SetSelection(at);
                } else if (field.problem == nullptr || field.problem->GetLabel().empty()) {
                    static_cast<wxTextCtrl*>(field.control)->ChangeValue(WxText(kept.Text(key)));
                }
                break;
        }
    }
    FollowSwitches();
}

PreferencesWindow::Panel::Outcome PreferencesWindow::Panel::Store(const Field& field) {
    SettingsFileStore store;
    Preferences kept(store);
    const char* key = field.row->key;
    switch (field.row->kind) {
        case PreferenceKind::Bool: {
            const bool on = static_cast<wxCheckBox*>(field.control)->GetValue();
            if (on == kept.Bool(key)) return Outcome::Same;
            kept.SetBool(key, on);
            return Outcome::Kept;
        }
        case PreferenceKind::Int: {
            auto* spin = static_cast<wxSpinCtrl*>(field.control);
            if (spin->GetValue() == kept.Int(key)) return Outcome::Same;
            spin->SetValue(kept.SetInt(key, spin->GetValue()));
            return Outcome::Kept;
        }
        case PreferenceKind::Text:
            break;
    }
    const std::string text = ShownText(field);
    std::string problem;
    if (field.row->form != TextForm::Plain) HostOfSetting(field.row->form, text, &problem);
    if (field.problem != nullptr) ShowProblem(field, problem);
    if (!problem.empty()) return Outcome::Refused;
    const std::string before = kept.Text(key);
    kept.SetText(key, text);
    return kept.Text(key) == before ? Outcome::Same : Outcome::Kept;
}

void PreferencesWindow::Panel::Changed(const Field& field) {
    if (field.row->kind == PreferenceKind::Bool) FollowSwitches();
    if (Store(field) == Outcome::Kept && owner_ != nullptr) owner_->applied_(field.row->key);
}

bool PreferencesWindow::Panel::TransferDataFromWindow() {
    // Where changes count at once, this is the window closing: a refused text is given up, and the
    // next opening shows what is kept.
    if (wxPreferencesEditor::ShouldApplyChangesImmediately()) {
        for (const Field& field : fields_) {
            if (field.problem != nullptr) ShowProblem(field, {});
        }
        return true;
    }
    bool all = true;
    std::vector<const char*> changed;
    for (const Field& field : fields_) {
        const Outcome outcome = Store(field);
        if (outcome == Outcome::Kept) changed.push_back(field.row->key);
        all = all && outcome != Outcome::Refused;
    }
    for (const char* key : changed) {
        if (owner_ != nullptr) owner_->applied_(key);
    }
    return all;
}

void PreferencesWindow::Panel::ShowProblem(const Field& field, const std::string& problem) {
    const wxString text = WxText(problem);
    if (field.problem->GetLabelText() == text) return;
    field.problem->SetLabelText(text);  // the typed text may hold a '&'

    field.problem->Wrap(fieldWidth_);
    // A long text makes a longer reason: the window grows to show all of it, and never shrinks back.
    const wxSize room = field.problem->GetMinSize();
    const int needed = field.problem->GetBestSize().y;
    if (needed > room.y) {
        field.problem->SetMinSize(wxSize(room.x, needed));
        wxGetTopLevelParent(this)->Fit();
    }
    static_cast<wxTextCtrl*>(field.control)->SetToolTip(problem.empty() ? Tr(field.row->tooltip) : text);
}

void PreferencesWindow::Panel::FollowSwitches() {
    for (const Field& field : fields_) {
        if (field.row->onlyWith == nullptr) continue;
        bool on = true;
        for (const Field& other : fields_) {
            if (other.row->key == std::string_view(field.row->onlyWith))
                on = static_cast<wxCheckBox*>(other.control)->GetValue();
        }
        field.control->Enable(on);
        if (field.label != nullptr) field.label->Enable(on);
    }
}

// ---------------------------------------------------------------------------------------------------
// The window

class PreferencesWindow::Page : public wxPreferencesPage {
public:
    Page(PreferencesWindow& owner, PreferencePage page) : owner_(owner), page_(page) {}
    wxString GetName() const override { return Tr("preferences page", PreferencePageName(page_)); }
    wxWindow* CreateWindow(wxWindow* parent) override {
        auto* panel = new Panel(parent, page_, owner_);
        owner_.panels_.emplace_back(panel);
        return panel;
    }

private:
    PreferencesWindow& owner_;
    PreferencePage page_;
};

PreferencesWindow::PreferencesWindow(std::function<void(const char* key)> applied,
                                     wxString builtInServiceHost)
    : applied_(std::move(applied)),
      builtInServiceHost_(std::move(builtInServiceHost)),
      editor_(wxString::Format(_("%s Preferences"), kAppTitle)) {
    for (const PreferencePage page : kPreferencePages) editor_.AddPage(new Page(*this, page));
}

PreferencesWindow::~PreferencesWindow() {
    // The editor takes its window down only later, at idle time.
    for (wxWindow* panel : panels_) {
        if (panel != nullptr) static_cast<Panel*>(panel)->Detach();
    }
}

void PreferencesWindow::Show(wxWindow* parent) {
    // Close only hides the toolkit's window, and the editor would merely raise it again.
    wxWindow* dialog = Dialog();
    if (dialog != nullptr && !dialog->IsShown()) {
        ShowKeptValues();
        dialog->Show();
    }
    editor_.Show(parent);
}

void PreferencesWindow::Dismiss() {
    wxWindow* dialog = Dialog();
    editor_.Dismiss();
    if (dialog != nullptr) dialog->Destroy();
}

void PreferencesWindow::ShowKeptValues() {
    for (wxWindow* panel : panels_) {
        if (panel != nullptr) static_cast<Panel*>(panel)->ShowKept();
    }
}

wxWindow* PreferencesWindow::Dialog() const {
    for (wxWindow* panel : panels_) {
        if (panel != nullptr && !panel->IsBeingDeleted()) return wxGetTopLevelParent(panel);
    }
    return nullptr;
}

}  // namespace ostravel
