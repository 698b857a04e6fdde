// The "Shoutcast Server Configuration" dialog, and SettingsDialog, which the three settings
// dialogs share: a wxDialog drawn from a DialogLayout over a copy of a DialogModel. The dialog only
// draws and reads back; what the controls mean is decided by the core's Make/Save functions.
#pragma once

#include <vector>

#include <wx/dialog.h>

#include "config/dialogmodel.h"

class wxChoice;
class wxListBox;
class wxRadioButton;
class wxSizer;
class wxTextCtrl;

namespace ostravel {

class SettingsDialog : public wxDialog {
public:
    // saveId is the layout's Save button: it writes the controls into Model() and ends with wxID_OK.
    // The layout's Cancel button, Escape and the close box end with wxID_CANCEL and write nothing.
    SettingsDialog(wxWindow* parent, const DialogLayout& layout, const DialogModel& model, int saveId);

    // The model as given, or as the controls held at the last Save.
    const DialogModel& Model() const { return model_; }

    // Controls -> Model(): texts, selections and radio states; the items themselves never change.
    bool TransferDataFromWindow() override;

private:
    struct EditLink {
        std::size_t index;  // into model_.edits
        wxTextCtrl* control;
        wxString shown;  // what the edit showed when the dialog opened
    };
    struct ComboLink {
        std::size_t index;
        wxChoice* control;
    };
    struct ListLink {
        std::size_t index;
        wxListBox* control;
    };
    struct RadioLink {
        std::size_t index;
        wxRadioButton* enabled;
    };

    wxSizer* BuildColumn(wxWindow* parent, const DialogLayout& layout, int column);
    wxSizer* BuildOptionalSetting(wxWindow* parent, const SettingRow& row);
    wxWindow* MakeInput(wxWindow* parent, int id, int widthDialogUnits);
    wxWindow* MakeControl(wxWindow* parent, int id, int widthDialogUnits);
    void OnSave(wxCommandEvent& event);

    DialogModel model_;
    int inputWidth_;                  // dialog units
    wxWindow* firstInput_ = nullptr;  // focused when the dialog opens
    std::vector<EditLink> edits_;
    std::vector<ComboLink> combos_;
    std::vector<ListLink> lists_;
    std::vector<RadioLink> radios_;
};

// Runs a settings dialog modally over a copy of model; only Save copies the result back.
template <typename Dialog>
bool RunSettingsDialog(wxWindow* parent, DialogModel& model) {
    Dialog dialog(parent, model);
    if (dialog.ShowModal() != wxID_OK) {
        return false;
    }
    model = dialog.Model();
    return true;
}

class ServerConfigDialog : public SettingsDialog {
public:
    ServerConfigDialog(wxWindow* parent, const DialogModel& model);
};

}  // namespace ostravel

// Called by the main view on the UI thread: true after Save, with model holding what the controls
// showed; false after Cancel, Escape or the close box, with model untouched.
bool RunServerConfigDialog(wxWindow* parent, ostravel::DialogModel& model);
