// One table per settings record. A row is one setting as every part of the program meets it: its key
// in the settings reply, its item in the set request, its control and texts in the dialog, and its
// line in `ostravel-ctl config show`. The functions below walk a table, so a setting is named, bounded
// and described in its row and nowhere else. A table lists the settings in the dialog's order, which is
// also the order `config show` prints; the set request has its own order, given by each row's place.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/dialogmodel.h"
#include "config/settings.h"
#include "config/settingsgrammar.h"

namespace ostravel {

enum class ControlKind {
    None,  // not in the dialog
    Edit,
    Combo,     // the value selects its item, or is kept on top (SelectOrKeep)
    Playlist,  // a combo of the playlist names (ChoosePlaylist)
    FileList,  // a list of the host's files (ChooseHostFile)
};

template <class Record>
struct FieldControl {
    ControlKind kind = ControlKind::None;
    int id = 0;
    std::span<const char* const> items{};  // Combo: the fixed items, in display order
    // Combo: the item a coded value stands for ("1" -> "Yes"); empty for a value that is its own item.
    std::string (*itemFor)(std::string_view value) = nullptr;
    // Combo, FileList: items that depend on the record, instead of fixed ones.
    std::vector<std::string> (*itemsOf)(const Record&) = nullptr;
    std::string Record::*names = nullptr;  // Playlist: the ";"-separated names to choose from
};

// "name=value|" in the set request, at place `at` among the items (0 first).
struct SetItem {
    const char* name = nullptr;  // nullptr: never sent
    int at = -1;
};

// An optional setting: a switch drawn as an "Enabled"/"Disabled" radio pair. The reply marks a
// switched-off setting by a ";" before its value; the set request carries "item=on|" ahead of the
// value while the switch is on, and nothing while it is off (the value travels either way).
template <class Record>
struct FieldSwitch {
    bool Record::*on = nullptr;
    const char* item = nullptr;
    int enabledId = 0;
    int disabledId = 0;
};

// The "Custom:" edit under a file list: a second value of the setting, sent right after it. No reply
// ever sets it, and `config show` leaves it out.
template <class Record>
struct FieldCustom {
    std::string Record::*field = nullptr;
    const char* item = nullptr;
    int editId = 0;
};

// The dialog's texts of a setting; they become its SettingRow. They are exactly as the user sees them
// (misspellings included: the host's customers know these texts).
struct FieldText {
    int labelId = 0;
    const char* label = nullptr;
    const char* tooltip = nullptr;
    int column = 0;
    int valueLabelId = 0;  // optional settings: beside the value ("Port:"), or above the custom edit
    const char* valueLabel = nullptr;
};

enum FieldFlag : unsigned {
    kFromOtherReply = 1u << 0,  // key is only its `config show` name: another reply fills the field
    kPrintedFirst = 1u << 1,    // `config show` prints it ahead of the rest
};

template <class Record>
struct SettingField {
    const char* key = nullptr;  // in the settings reply and in `config show`; nullptr: in neither
    std::string Record::*field = nullptr;
    std::string (*fromReply)(std::string_view value) = nullptr;  // the reply's value as the record keeps it
    SetItem sent{};
    FieldSwitch<Record> optional{};
    FieldCustom<Record> custom{};
    FieldControl<Record> control{};
    FieldText text{};
    std::vector<std::string> (*printedAs)(std::string_view value) = nullptr;  // `config show`: a list
    std::string AutoDJSettings::*sentFromAutoDJ = nullptr;  // sent from the AutoDJ record, not this one
    unsigned flags = 0;
};

template <class Record>
using FieldTable = std::span<const SettingField<Record>>;

// What every table must hold to: keys unique; the sent items taking the places 0, 1, ... once each,
// each with one value to send; every control with a field, an id and a label; switches and custom
// edits complete.
template <class Record>
constexpr bool IsValidTable(FieldTable<Record> fields) {
    int sentCount = 0;
    for (const SettingField<Record>& f : fields) {
        sentCount += f.sent.name != nullptr ? 1 : 0;
    }
    for (int at = 0; at < sentCount; ++at) {
        int holders = 0;
        for (const SettingField<Record>& f : fields) {
            holders += f.sent.at == at ? 1 : 0;
        }
        if (holders != 1) {
            return false;
        }
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const SettingField<Record>& f = fields[i];
        for (std::size_t j = 0; j < i && f.key != nullptr; ++j) {
            if (fields[j].key != nullptr && std::string_view(f.key) == fields[j].key) {
                return false;
            }
        }
        const FieldControl<Record>& c = f.control;
        const bool sentOk =
            (f.sent.name == nullptr) == (f.sent.at < 0) &&
            (f.sent.name == nullptr || ((f.field == nullptr) != (f.sentFromAutoDJ == nullptr)));
        const bool controlOk =
            c.kind == ControlKind::None ||
            (f.field != nullptr && c.id != 0 && f.text.label != nullptr && f.text.tooltip != nullptr &&
             (c.kind != ControlKind::Combo || !c.items.empty() || c.itemsOf != nullptr) &&
             (c.kind != ControlKind::FileList || c.itemsOf != nullptr) &&
             (c.kind != ControlKind::Playlist || c.names != nullptr));
        const bool switchOk =
            f.optional.on == nullptr || (f.optional.item != nullptr && f.optional.enabledId != 0 &&
                                         f.optional.disabledId != 0 && f.field != nullptr);
        const bool customOk = f.custom.field == nullptr ||
                              (f.custom.item != nullptr && f.custom.editId != 0 && f.sent.name != nullptr);
        if ((f.key != nullptr && f.field == nullptr) || !sentOk || !controlOk || !switchOk || !customOk) {
            return false;
        }
    }
    return true;
}

// One name=value item of a settings reply into the field keyed name (compared exactly), if any.
template <class Record>
void ReadReplyItem(FieldTable<Record> fields, std::string_view name, std::string_view value, Record& record) {
    for (const SettingField<Record>& f : fields) {
        if (f.key == nullptr || (f.flags & kFromOtherReply) != 0 || name != f.key) {
            continue;
        }
        const bool switchedOff = f.optional.on != nullptr && value.starts_with(';');
        if (f.optional.on != nullptr) {
            record.*f.optional.on = !switchedOff;
        }
        if (switchedOff) {
            // The value of a switched-off setting ends at the next ";".
            const std::string_view rest = value.substr(1);
            record.*f.field = std::string(rest.substr(0, rest.find(';')));
        } else {
            record.*f.field = f.fromReply != nullptr ? f.fromReply(value) : std::string(value);
        }
    }
}

// A "|"-separated settings reply into the record: only the fields whose keys occur change, a
// repeated key leaves its last value.
template <class Record>
void ReadSettingsReply(FieldTable<Record> fields, std::string_view reply, Record& record) {
    for (std::string_view item : SplitAll(reply, '|')) {
        const SettingItem parsed = SplitSettingItem(item);
        ReadReplyItem(fields, parsed.name, parsed.value, record);
    }
}

// The complete set request, blanks already turned into "+". autoDJ is needed only by tables that
// send one of its fields.
template <class Record>
std::string BuildSetRequest(FieldTable<Record> fields, std::string_view commandWord, const Record& record,
                            std::string_view userName, std::string_view password,
                            const AutoDJSettings* autoDJ = nullptr) {
    std::string text = SetRequestHead(commandWord, userName, password);
    auto append = [&text](std::string_view name, std::string_view value) {
        text.append(name).append("=").append(value).append("|");
    };
    for (int at = 0;; ++at) {
        const SettingField<Record>* f = nullptr;
        for (const SettingField<Record>& candidate : fields) {
            f = candidate.sent.at == at ? &candidate : f;
        }
        if (f == nullptr) {
            break;
        }
        if (f->optional.on != nullptr && record.*f->optional.on) {
            append(f->optional.item, "on");
        }
        append(f->sent.name, f->field != nullptr ? record.*f->field : autoDJ->*f->sentFromAutoDJ);
        if (f->custom.field != nullptr) {
            append(f->custom.item, record.*f->custom.field);
        }
    }
    return ReplaceBlanksWithPlus(std::move(text));
}

// What every control holds when the dialog opens over the record.
template <class Record>
DialogModel MakeDialogModel(FieldTable<Record> fields, const Record& record) {
    DialogModel model;
    for (const SettingField<Record>& f : fields) {
        const FieldControl<Record>& c = f.control;
        switch (c.kind) {
            case ControlKind::None:
                break;
            case ControlKind::Edit:
                model.edits.push_back({c.id, record.*f.field});
                break;
            case ControlKind::Combo: {
                ComboModel combo{c.id, {c.items.begin(), c.items.end()}, -1};
                if (c.itemsOf != nullptr) {
                    combo.items = c.itemsOf(record);
                }
                const std::string item = c.itemFor != nullptr ? c.itemFor(record.*f.field) : std::string();
                SelectOrKeep(combo, item.empty() ? record.*f.field : item);
                model.combos.push_back(std::move(combo));
                break;
            }
            case ControlKind::Playlist:
                model.combos.push_back(ChoosePlaylist(c.id, record.*c.names, record.*f.field));
                break;
            case ControlKind::FileList:
                model.lists.push_back(ChooseHostFile(c.id, c.itemsOf(record), record.*f.field));
                break;
        }
        if (f.optional.on != nullptr) {
            model.radios.push_back({f.optional.enabledId, f.optional.disabledId, record.*f.optional.on});
        }
        if (f.custom.field != nullptr) {
            model.edits.push_back({f.custom.editId, record.*f.custom.field});
        }
    }
    return model;
}

// What Save writes into the record from the controls; fields without a control are left alone.
template <class Record>
void SaveDialogModel(FieldTable<Record> fields, const DialogModel& model, Record& record) {
    for (const SettingField<Record>& f : fields) {
        const int id = f.control.id;
        switch (f.control.kind) {
            case ControlKind::None:
                break;
            case ControlKind::Edit:
                record.*f.field = model.Edit(id).text;
                break;
            case ControlKind::Combo:
            case ControlKind::Playlist:
                record.*f.field = model.Combo(id).Text();
                break;
            case ControlKind::FileList:
                record.*f.field = model.List(id).Text();
                break;
        }
        if (f.optional.on != nullptr) {
            record.*f.optional.on = model.Radio(f.optional.enabledId).enabled;
        }
        if (f.custom.field != nullptr) {
            record.*f.custom.field = model.Edit(f.custom.editId).text;
        }
    }
}

// The dialog rows of the settings that have a control, in table order.
template <class Record>
void AppendLayoutRows(FieldTable<Record> fields, std::vector<SettingRow>& rows) {
    for (const SettingField<Record>& f : fields) {
        if (f.control.kind == ControlKind::None) {
            continue;
        }
        const FieldText& t = f.text;
        rows.push_back({t.labelId, t.label, t.tooltip, t.column, f.control.id, nullptr, f.optional.enabledId,
                        f.optional.disabledId, t.valueLabelId, t.valueLabel, f.custom.editId});
    }
}

}  // namespace ostravel
