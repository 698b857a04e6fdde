// What the controls of a settings dialog hold, without any window. The desktop dialog draws a model
// as it is (items in the order given, never re-sorted), lets the user change texts, selections and
// radios in place, and hands the model back to the Save function of its dialog.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/translate.h"

namespace ostravel {

// A drop-down list (no typing). items are in display order.
struct ComboModel {
    int id = 0;
    std::vector<std::string> items;
    int selection = -1;  // -1: nothing selected

    // The combo's text as Save reads it: the selected item, or empty without a selection.
    std::string Text() const;
};

// A single-selection list box. items are in display order.
struct ListModel {
    int id = 0;
    std::vector<std::string> items;
    int selection = -1;  // -1: nothing selected

    // The entry Save stores: the selected one, else the top one, else empty.
    std::string Text() const;
};

struct EditModel {
    int id = 0;
    std::string text;
};

// An "Enabled"/"Disabled" pair of auto radio buttons; exactly one of the two is checked.
struct RadioPairModel {
    int enabledId = 0;
    int disabledId = 0;
    bool enabled = false;
};

struct DialogModel {
    std::vector<EditModel> edits;
    std::vector<ComboModel> combos;
    std::vector<ListModel> lists;
    std::vector<RadioPairModel> radios;

    // Lookups by control id (a radio pair by either of its ids); they throw std::out_of_range for an
    // id the dialog does not have.
    EditModel& Edit(int id);
    const EditModel& Edit(int id) const;
    ComboModel& Combo(int id);
    const ComboModel& Combo(int id) const;
    ListModel& List(int id);
    const ListModel& List(int id) const;
    RadioPairModel& Radio(int id);
    const RadioPairModel& Radio(int id) const;
};

// Selects the item whose whole text equals value without regard to case ("10" never picks "100").
// When none does and value is not empty, value is put on top and selected, so that saving an
// untouched dialog gives back what the host sent instead of an empty setting. An empty value that
// matches nothing leaves the combo without a selection.
void SelectOrKeep(ComboModel& combo, std::string_view value);

// The playlist choice of the AutoDJ and AutoTV dialogs: the ";"-separated entries of playListList up
// to the first empty one, shown last first. The entry equal to playListFile is selected; failing that
// the last entry that contains it (case-sensitive); failing that playListFile itself, kept on top.
ComboModel ChoosePlaylist(int comboId, std::string_view playListList, std::string_view playListFile);

// A file list of the server dialog: the host's files shown last first, the one equal to current
// without regard to case selected. When none is, current is put on top and selected (so is an
// empty one: the list always has a selection); with no files current stands alone.
ListModel ChooseHostFile(int listId, const std::vector<std::string>& files, std::string_view current);

// Label texts and tooltips of a dialog, for the desktop layer to draw. Texts are used exactly as
// given; "\n" in a tooltip is a line break (tips are at most kTooltipMaxWidth pixels wide).
struct SettingRow {
    int labelId;
    const char* label;
    const char* tooltip;
    int column;                       // 0: left column, 1: right column
    int controlId;                    // edit, combo, list, or fixed static holding the setting
    const char* fixedText = nullptr;  // text of a fixed static control, else null
    int enabledRadioId = 0;           // optional settings: the "Enabled"/"Disabled" pair, else 0
    int disabledRadioId = 0;
    int valueLabelId = 0;  // the small label beside the value ("Port:"), or above the "Custom:" edit
    const char* valueLabel = nullptr;
    int customEditId = 0;  // intro and backup rows: the "Custom:" edit under the file list
};

struct GroupBox {
    int id;
    const char* text;
    int column;  // -1: spans both columns
};

struct ButtonText {
    int id;
    const char* text;
    bool isDefault;
};

struct DialogLayout {
    int dialogId;
    const char* caption;
    int widthDialogUnits;
    int heightDialogUnits;
    std::vector<GroupBox> groupBoxes;
    std::vector<SettingRow> rows;  // top to bottom, left column first
    std::vector<ButtonText> buttons;
};

inline constexpr int kTooltipMaxWidth = 500;
inline constexpr const char* kEnabledRadioText = N_("Enabled");
inline constexpr const char* kDisabledRadioText = N_("Disabled");
inline constexpr int kCancelButtonId = 2;

}  // namespace ostravel
