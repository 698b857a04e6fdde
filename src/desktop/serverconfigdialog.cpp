#include "desktop/serverconfigdialog.h"

#include <string>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/tooltip.h>

#include "config/serverconfig.h"
#include "desktop/translations.h"

namespace ostravel {

namespace {

// Settings are narrow byte strings from the host. Most are UTF-8 (or ASCII); anything else is taken
// as Latin-1 so that no value shows up empty.
wxString FromHost(const std::string& text) {
    wxString shown = wxString::FromUTF8(text.data(), text.size());
    if (shown.empty() && !text.empty()) {
        shown = wxString(text.data(), wxConvISO8859_1, text.size());
    }
    return shown;
}

// A text of the dialog's table, in the user's language (an empty text is no catalogue entry).
wxString TableText(const char* text) { return text != nullptr && *text != '\0' ? Tr(text) : wxString(); }

template <typename Control>
int IndexOfId(const std::vector<Control>& controls, int id) {
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].id == id) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int IndexOfRadioPair(const std::vector<RadioPairModel>& radios, int enabledId) {
    for (std::size_t i = 0; i < radios.size(); ++i) {
        if (radios[i].enabledId == enabledId) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// The model's selection as the control takes it: wxNOT_FOUND for none (or for a stale index).
int SelectionOf(int selection, std::size_t itemCount) {
    return selection >= 0 && static_cast<std::size_t>(selection) < itemCount ? selection : wxNOT_FOUND;
}

wxArrayString ItemsOf(const std::vector<std::string>& items) {
    wxArrayString shown;
    for (const std::string& item : items) {
        shown.Add(FromHost(item));
    }
    return shown;
}

constexpr int kValueWidth = 60;      // dialog units: value edits and combos of the optional settings
constexpr int kFileListHeight = 40;  // dialog units: three entries

}  // namespace

SettingsDialog::SettingsDialog(wxWindow* parent, const DialogLayout& layout, const DialogModel& model,
                               int saveId)
    : wxDialog(parent, layout.dialogId, TableText(layout.caption)),
      model_(model),
      inputWidth_(layout.widthDialogUnits / 5) {
#ifdef __WXMSW__
    wxToolTip::SetMaxWidth(kTooltipMaxWidth);
#endif
    // GTK has no width setting for tips: it wraps long lines itself and breaks at "\n".
    wxToolTip::Enable(true);

    auto* boxes = new wxBoxSizer(wxHORIZONTAL);
    for (const GroupBox& group : layout.groupBoxes) {
        auto* box = new wxStaticBox(this, group.id, TableText(group.text));
        auto* boxSizer = new wxStaticBoxSizer(box, wxHORIZONTAL);
        if (group.column < 0) {
            boxSizer->Add(BuildColumn(box, layout, 0), 1, wxALL | wxEXPAND, 5);
            boxSizer->Add(BuildColumn(box, layout, 1), 1, wxALL | wxEXPAND, 5);
        } else {
            boxSizer->Add(BuildColumn(box, layout, group.column), 1, wxALL | wxEXPAND, 5);
        }
        // A left-hand box keeps its natural width; the box beside it takes what the dialog has left.
        boxes->Add(boxSizer, group.column == 0 ? 0 : 1, wxALL | wxEXPAND, 5);
    }

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    for (const ButtonText& text : layout.buttons) {
        auto* button = new wxButton(this, text.id, TableText(text.text));
        if (text.isDefault) {
            button->SetDefault();
        }
        buttons->Add(button, 0, wxALL, 5);
    }
    // The Cancel button keeps its own id; Escape and the close box go through it.
    SetEscapeId(kCancelButtonId);
    Bind(wxEVT_BUTTON, &SettingsDialog::OnSave, this, saveId);
    // The first setting has the focus when the dialog opens. GTK picks its own first control when the
    // window maps (and selects an edit's text on the way), so this runs after the dialog is up.
    Bind(wxEVT_INIT_DIALOG, [this](wxInitDialogEvent& event) {
        event.Skip();
        CallAfter([this] {
            for (const EditLink& link : edits_) {
                link.control->SelectNone();
            }
            if (firstInput_ != nullptr) {
                firstInput_->SetFocus();
            }
        });
    });
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(boxes, 1, wxEXPAND);
    top->Add(buttons, 0, wxALIGN_CENTER_HORIZONTAL | wxBOTTOM, 5);
    // The layout's size is the least we show; GTK's controls are taller than the layout allows for, so
    // the dialog grows where they need it.
    top->SetMinSize(ConvertDialogToPixels(wxSize(layout.widthDialogUnits, layout.heightDialogUnits)));
    SetSizerAndFit(top);
    Centre();
}

wxSizer* SettingsDialog::BuildColumn(wxWindow* parent, const DialogLayout& layout, int column) {
    auto* grid = new wxFlexGridSizer(2, wxSize(ConvertDialogToPixels(wxSize(4, 3))));
    grid->AddGrowableCol(1, 1);
    for (const SettingRow& row : layout.rows) {
        if (row.column != column) {
            continue;
        }
        auto* label = new wxStaticText(parent, row.labelId, TableText(row.label));
        label->SetToolTip(TableText(row.tooltip));
        wxSizer* inputs = nullptr;
        wxWindow* input = nullptr;
        if (row.fixedText != nullptr) {
            input = new wxStaticText(parent, row.controlId, TableText(row.fixedText));
        } else if (row.enabledRadioId != 0) {
            inputs = BuildOptionalSetting(parent, row);
        } else {
            input = MakeInput(parent, row.controlId, inputWidth_);
        }
        // A row whose settings span several lines keeps its label beside the first line.
        const bool tall = row.customEditId != 0;
        grid->Add(label, 0, tall ? wxALIGN_TOP | wxTOP : wxALIGN_CENTER_VERTICAL,
                  tall ? ConvertDialogToPixels(wxSize(0, 2)).y : 0);
        if (inputs != nullptr) {
            grid->Add(inputs, 1, wxEXPAND);
        } else if (input != nullptr) {
            grid->Add(input, 1, wxEXPAND | wxALIGN_CENTER_VERTICAL);
        } else {
            grid->AddSpacer(0);
        }
    }
    return grid;
}

wxSizer* SettingsDialog::BuildOptionalSetting(wxWindow* parent, const SettingRow& row) {
    const int pair = IndexOfRadioPair(model_.radios, row.enabledRadioId);
    const bool enabled = pair >= 0 && model_.radios[static_cast<std::size_t>(pair)].enabled;
    // Each pair is a group of its own, so choosing one clears only its partner.
    auto* on = new wxRadioButton(parent, row.enabledRadioId, Tr(kEnabledRadioText), wxDefaultPosition,
                                 wxDefaultSize, wxRB_GROUP);
    auto* off = new wxRadioButton(parent, row.disabledRadioId, Tr(kDisabledRadioText));
    on->SetValue(enabled);
    off->SetValue(!enabled);
    if (pair >= 0) {
        radios_.push_back({static_cast<std::size_t>(pair), on});
    }

    auto* radios = new wxBoxSizer(wxHORIZONTAL);
    radios->Add(on, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    radios->Add(off, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 8);
    auto* valueLabel = new wxStaticText(parent, row.valueLabelId, TableText(row.valueLabel));

    if (row.customEditId == 0) {
        radios->Add(valueLabel, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
        if (wxWindow* value = MakeInput(parent, row.controlId, kValueWidth)) {
            radios->Add(value, 1, wxALIGN_CENTER_VERTICAL);
        }
        return radios;
    }

    // File rows: the radios, the host's files below them, the custom name below the files.
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(radios, 0, wxEXPAND);
    if (wxWindow* files = MakeInput(parent, row.controlId, kValueWidth)) {
        column->Add(files, 0, wxEXPAND | wxTOP | wxBOTTOM, 2);
    }
    auto* custom = new wxBoxSizer(wxHORIZONTAL);
    custom->Add(valueLabel, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    if (wxWindow* edit = MakeInput(parent, row.customEditId, kValueWidth)) {
        custom->Add(edit, 1, wxALIGN_CENTER_VERTICAL);
    }
    column->Add(custom, 0, wxEXPAND);
    return column;
}

wxWindow* SettingsDialog::MakeInput(wxWindow* parent, int id, int widthDialogUnits) {
    wxWindow* input = MakeControl(parent, id, widthDialogUnits);
    if (firstInput_ == nullptr) {
        firstInput_ = input;
    }
    return input;
}

wxWindow* SettingsDialog::MakeControl(wxWindow* parent, int id, int widthDialogUnits) {
    const wxSize size(ConvertDialogToPixels(wxSize(widthDialogUnits, 0)).x, -1);
    if (const int i = IndexOfId(model_.edits, id); i >= 0) {
        const auto index = static_cast<std::size_t>(i);
        const wxString shown = FromHost(model_.edits[index].text);
        // Single-line edits scroll sideways; passwords are plain edits, shown in clear.
        auto* edit = new wxTextCtrl(parent, id, shown, wxDefaultPosition, size);
        edits_.push_back({index, edit, shown});
        return edit;
    }
    if (const int i = IndexOfId(model_.combos, id); i >= 0) {
        const auto index = static_cast<std::size_t>(i);
        const ComboModel& combo = model_.combos[index];
        // A drop-down list without typing, in the model's order (no sort style: the model orders).
        auto* choice = new wxChoice(parent, id, wxDefaultPosition, size, ItemsOf(combo.items));
        choice->SetSelection(SelectionOf(combo.selection, combo.items.size()));
        combos_.push_back({index, choice});
        return choice;
    }
    if (const int i = IndexOfId(model_.lists, id); i >= 0) {
        const auto index = static_cast<std::size_t>(i);
        const ListModel& list = model_.lists[index];
        const wxSize listSize(size.x, ConvertDialogToPixels(wxSize(0, kFileListHeight)).y);
        auto* box = new wxListBox(parent, id, wxDefaultPosition, listSize, ItemsOf(list.items), wxLB_SINGLE);
        box->SetSelection(SelectionOf(list.selection, list.items.size()));
        lists_.push_back({index, box});
        return box;
    }
    wxFAIL_MSG(wxString::Format("control %d is not in the dialog's model", id));
    return nullptr;
}

bool SettingsDialog::TransferDataFromWindow() {
    for (const EditLink& link : edits_) {
        const wxString now = link.control->GetValue();
        // An untouched edit keeps the host's bytes exactly, whatever their encoding.
        if (now != link.shown) {
            const wxScopedCharBuffer utf8 = now.utf8_str();
            model_.edits[link.index].text.assign(utf8.data(), utf8.length());
        }
    }
    for (const ComboLink& link : combos_) {
        model_.combos[link.index].selection = link.control->GetSelection();
    }
    for (const ListLink& link : lists_) {
        model_.lists[link.index].selection = link.control->GetSelection();
    }
    for (const RadioLink& link : radios_) {
        model_.radios[link.index].enabled = link.enabled->GetValue();
    }
    return true;
}

void SettingsDialog::OnSave(wxCommandEvent&) {
    TransferDataFromWindow();
    EndModal(wxID_OK);
}

ServerConfigDialog::ServerConfigDialog(wxWindow* parent, const DialogModel& model)
    : SettingsDialog(parent, ServerConfigLayout(), model, serverdlg::kSave) {}

}  // namespace ostravel

bool RunServerConfigDialog(wxWindow* parent, ostravel::DialogModel& model) {
    return ostravel::RunSettingsDialog<ostravel::ServerConfigDialog>(parent, model);
}
