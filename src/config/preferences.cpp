#include "config/preferences.h"

#include <algorithm>
#include <stdexcept>

#ifndef OSTRAVEL_PORTAL_HOST
#define OSTRAVEL_PORTAL_HOST "127.0.0.1:28080"
#endif

namespace ostravel {

const char kBuiltInPortalHost[] = OSTRAVEL_PORTAL_HOST;

namespace {

const Preference& Row(std::string_view key, PreferenceKind kind) {
    const Preference* row = FindPreference(key);
    if (row == nullptr || row->kind != kind)
        throw std::invalid_argument("no preference of that kind: " + std::string(key));
    return *row;
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::span<const Preference> PreferenceRows() { return kPreferenceRows; }

const char* PreferencePageName(PreferencePage page) {
    switch (page) {
        case PreferencePage::General:
            return NC_("preferences page", "General");
        case PreferencePage::Notifications:
            return NC_("preferences page", "Notifications");
        case PreferencePage::Connection:
            return NC_("preferences page", "Connection");
    }
    return "";
}

bool Preferences::Bool(std::string_view key) const {
    const Preference& row = Row(key, PreferenceKind::Bool);
    bool on = row.defaultOn;
    store_.ReadBool(row.key, &on);
    return on;
}

int Preferences::Int(std::string_view key) const {
    const Preference& row = Row(key, PreferenceKind::Int);
    long value = row.defaultNumber;
    store_.ReadInt(row.key, &value);
    return static_cast<int>(std::clamp<long>(value, row.min, row.max));
}

std::string Preferences::Text(std::string_view key) const {
    const Preference& row = Row(key, PreferenceKind::Text);
    std::string text;
    if (store_.ReadText(row.key, &text) && !Trimmed(text).empty()) return std::string(Trimmed(text));
    return row.defaultText;
}

void Preferences::SetBool(std::string_view key, bool on) {
    store_.WriteBool(Row(key, PreferenceKind::Bool).key, on);
    store_.Flush();
}

int Preferences::SetInt(std::string_view key, int value) {
    const Preference& row = Row(key, PreferenceKind::Int);
    const int kept = std::clamp(value, row.min, row.max);
    store_.WriteInt(row.key, kept);
    store_.Flush();
    return kept;
}

void Preferences::SetText(std::string_view key, std::string_view text) {
    const Preference& row = Row(key, PreferenceKind::Text);
    text = Trimmed(text);
    if (text.empty() || text == row.defaultText) {
        store_.Remove(row.key);
    } else {
        store_.WriteText(row.key, std::string(text));
    }
    store_.Flush();
}

}  // namespace ostravel
