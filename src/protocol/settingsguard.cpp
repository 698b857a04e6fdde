#include "protocol/settingsguard.h"

#include <set>
#include <vector>

#include "platform/translate.h"
#include "protocol/replyroutes.h"

namespace ostravel {

namespace {

// The grammar's own characters, then every phrase the receiver routes by, taken from the routing
// table so that a new row is guarded too.
std::vector<std::string_view> ForbiddenTexts() {
    std::vector<std::string_view> texts = {"|", "=", "+"};
    for (const ReplyRoute& route : kReplyRoutes) {
        texts.push_back(route.keyword);
        for (std::string_view key : route.errorKeywords) {
            if (!key.empty()) texts.push_back(key);
        }
    }
    return texts;
}

std::string_view TrimLabel(std::string_view label) {
    while (!label.empty() && (label.back() == ' ' || label.back() == ':')) label.remove_suffix(1);
    return label;
}

struct Value {
    std::string text;
    bool typed;  // an edit: the user can type it
};

std::optional<Value> ValueOf(const DialogModel& model, int id) {
    for (const EditModel& edit : model.edits) {
        if (edit.id == id) return Value{edit.text, true};
    }
    for (const ComboModel& combo : model.combos) {
        if (combo.id == id) return Value{combo.Text(), false};
    }
    for (const ListModel& list : model.lists) {
        if (list.id == id) return Value{list.Text(), false};
    }
    return std::nullopt;
}

struct Field {
    int id;
    std::string label;
};

// The dialog's controls top to bottom as the user reads them, each with its label; controls the
// layout does not name come last, under their id.
std::vector<Field> FieldsInOrder(const DialogModel& model, const DialogLayout& layout) {
    std::vector<Field> fields;
    std::set<int> seen;
    auto add = [&](int id, std::string label) {
        if (id != 0 && seen.insert(id).second) {
            fields.push_back({id, std::move(label)});
        }
    };
    for (const SettingRow& row : layout.rows) {
        // As the dialog shows it, in the user's language.
        const std::string label(TrimLabel(row.label ? Translated(row.label) : ""));
        add(row.controlId, label);
        if (row.customEditId != 0) {
            std::string custom = label;
            if (row.valueLabel) custom += " (" + std::string(TrimLabel(Translated(row.valueLabel))) + ")";
            add(row.customEditId, std::move(custom));
        }
    }
    auto addRest = [&](const auto& controls) {
        for (const auto& control : controls) add(control.id, "field " + std::to_string(control.id));
    };
    addRest(model.edits);
    addRest(model.combos);
    addRest(model.lists);
    return fields;
}

}  // namespace

std::optional<std::string_view> FindForbiddenText(std::string_view value) {
    static const std::vector<std::string_view> forbidden = ForbiddenTexts();
    std::optional<std::string_view> found;
    std::size_t foundAt = std::string_view::npos;
    for (std::string_view text : forbidden) {
        const std::size_t at = value.find(text);
        if (at == std::string_view::npos) continue;
        if (!found || at < foundAt || (at == foundAt && text.size() < found->size())) {
            found = text;
            foundAt = at;
        }
    }
    return found;
}

std::optional<SettingsProblem> FindSettingsProblem(const DialogModel& edited, const DialogModel& opened,
                                                   const DialogLayout& layout) {
    for (const Field& field : FieldsInOrder(edited, layout)) {
        const std::optional<Value> value = ValueOf(edited, field.id);
        if (!value) continue;  // a layout row for a fixed text, not a setting
        if (!value->typed) {
            // A choice the user left alone goes back to the host as the host sent it.
            const std::optional<Value> before = ValueOf(opened, field.id);
            if (before && before->text == value->text) continue;
        }
        if (const auto forbidden = FindForbiddenText(value->text)) {
            return SettingsProblem{field.id, field.label, std::string(*forbidden)};
        }
    }
    return std::nullopt;
}

std::string SettingsProblemMessage(const SettingsProblem& problem) {
    return FillIn(Translated(N_("Settings not sent: \"{1}\" may not contain \"{2}\".")),
                  {problem.field, problem.forbidden});
}

}  // namespace ostravel
