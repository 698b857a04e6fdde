#include "config/dialogmodel.h"

#include <algorithm>
#include <stdexcept>

#include "config/settingsgrammar.h"

namespace ostravel {

namespace {

template <typename Control, typename Vector>
Control& FindById(Vector& controls, int id, const char* kind) {
    for (auto& control : controls) {
        if (control.id == id) {
            return control;
        }
    }
    throw std::out_of_range(std::string("no ") + kind + " " + std::to_string(id) + " in this dialog");
}

template <typename Radio, typename Vector>
Radio& FindRadio(Vector& radios, int id) {
    for (auto& radio : radios) {
        if (radio.enabledId == id || radio.disabledId == id) {
            return radio;
        }
    }
    throw std::out_of_range("no radio pair " + std::to_string(id) + " in this dialog");
}

bool ValidIndex(int index, std::size_t size) { return index >= 0 && static_cast<std::size_t>(index) < size; }

}  // namespace

std::string ComboModel::Text() const {
    return ValidIndex(selection, items.size()) ? items[static_cast<std::size_t>(selection)] : std::string();
}

std::string ListModel::Text() const {
    if (ValidIndex(selection, items.size())) {
        return items[static_cast<std::size_t>(selection)];
    }
    return items.empty() ? std::string() : items.front();
}

EditModel& DialogModel::Edit(int id) { return FindById<EditModel>(edits, id, "edit"); }
const EditModel& DialogModel::Edit(int id) const { return FindById<const EditModel>(edits, id, "edit"); }
ComboModel& DialogModel::Combo(int id) { return FindById<ComboModel>(combos, id, "combo"); }
const ComboModel& DialogModel::Combo(int id) const { return FindById<const ComboModel>(combos, id, "combo"); }
ListModel& DialogModel::List(int id) { return FindById<ListModel>(lists, id, "list"); }
const ListModel& DialogModel::List(int id) const { return FindById<const ListModel>(lists, id, "list"); }
RadioPairModel& DialogModel::Radio(int id) { return FindRadio<RadioPairModel>(radios, id); }
const RadioPairModel& DialogModel::Radio(int id) const { return FindRadio<const RadioPairModel>(radios, id); }

void SelectOrKeep(ComboModel& combo, std::string_view value) {
    combo.selection = FindWholeTextIgnoringCase(combo.items, value);
    if (combo.selection < 0 && !value.empty()) {
        combo.items.insert(combo.items.begin(), std::string(value));
        combo.selection = 0;
    }
}

ComboModel ChoosePlaylist(int comboId, std::string_view playListList, std::string_view playListFile) {
    ComboModel combo{comboId, {}, -1};
    int exact = -1;     // index in list order
    int contains = -1;  // index in list order
    int count = 0;
    for (std::string_view entry : SplitAll(playListList, ';')) {
        if (entry.empty()) {
            break;
        }
        // Each entry goes on top, so the combo shows the list last first.
        combo.items.insert(combo.items.begin(), std::string(entry));
        if (entry == playListFile) {
            exact = count;
        }
        if (entry.find(playListFile) != std::string_view::npos) {
            contains = count;
        }
        ++count;
    }
    // An exact match wins over a longer name that merely contains the file, so an untouched dialog
    // does not switch "a.lst" to "aa.lst".
    const int chosen = exact >= 0 ? exact : contains;
    if (chosen >= 0) {
        combo.selection = count - 1 - chosen;
    } else if (!playListFile.empty()) {
        combo.items.insert(combo.items.begin(), std::string(playListFile));
        combo.selection = 0;
    }
    return combo;
}

ListModel ChooseHostFile(int listId, const std::vector<std::string>& files, std::string_view current) {
    ListModel list{listId, {}, -1};
    // Each file goes on top, so the list shows the reply's order reversed.
    list.items.assign(files.rbegin(), files.rend());
    if (list.items.empty()) {
        list.items.emplace_back(current);
    }
    list.selection = FindWholeTextIgnoringCase(list.items, current);
    if (list.selection < 0) {
        list.items.insert(list.items.begin(), std::string(current));
        list.selection = 0;
    }
    return list;
}

}  // namespace ostravel
