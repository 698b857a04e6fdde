#include "config/settingsgrammar.h"

#include <climits>
#include <cstddef>

namespace ostravel {

std::vector<std::string_view> SplitAll(std::string_view text, char sep) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(sep, start);
        if (end == std::string_view::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

std::vector<std::string> PlaylistNames(std::string_view playListList) {
    std::vector<std::string> names;
    for (std::string_view name : SplitAll(playListList, ';')) {
        if (!name.empty()) {
            names.emplace_back(name);
        }
    }
    return names;
}

SettingItem SplitSettingItem(std::string_view item) {
    const std::size_t eq = item.find('=');
    if (eq == std::string_view::npos) {
        return {item, {}};
    }
    std::string_view rest = item.substr(eq + 1);
    return {item.substr(0, eq), rest.substr(0, rest.find('='))};
}

std::string ReplaceBlanksWithPlus(std::string text) {
    for (char& c : text) {
        if (c == ' ') {
            c = '+';
        }
    }
    return text;
}

long ReadLeadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value > (LONG_MAX - digit) / 10) {
            return negative ? LONG_MIN : LONG_MAX;
        }
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

int FindWholeTextIgnoringCase(const std::vector<std::string>& items, std::string_view value) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (EqualsIgnoringCase(items[i], value)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string SetRequestHead(std::string_view commandWord, std::string_view userName,
                           std::string_view password) {
    std::string head;
    head.append(commandWord);
    head.append("?loginsc=").append(userName);
    head.append("&passwordsc=").append(password);
    head.append("&config=");
    return head;
}

}  // namespace ostravel
