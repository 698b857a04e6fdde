// Pieces shared by the three settings replies and set requests: the "|" item grammar, the lenient
// number reading of the dialogs, the whole-text selection rule and the blank-to-"+" step.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ostravel {

// Every sep-separated piece of text, empty ones included ("a||b|" gives a, "", b, "").
std::vector<std::string_view> SplitAll(std::string_view text, char sep);

// The names of a ";"-separated playlist list as `config show` prints them: every non-empty one.
std::vector<std::string> PlaylistNames(std::string_view playListList);

// One settings item: the name is the text before the first "=", the value the text after it up to
// the next "=" (or the end). An item without "=" is all name with an empty value.
struct SettingItem {
    std::string_view name;
    std::string_view value;
};
SettingItem SplitSettingItem(std::string_view item);

// Set requests travel with every blank turned into "+"; nothing else is escaped. Applying it twice
// changes nothing, so a sender may apply it again safely.
std::string ReplaceBlanksWithPlus(std::string text);

// The leading decimal number of text, as the dialogs read codes and limits: leading blanks and one
// sign allowed, digits up to the first other character, 0 when there are none. Saturates instead of
// overflowing.
long ReadLeadingNumber(std::string_view text);

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// Index of the first item whose whole text equals value without regard to case, or -1.
int FindWholeTextIgnoringCase(const std::vector<std::string>& items, std::string_view value);

// command word + "?loginsc=" + user + "&passwordsc=" + password + "&config=": the head of every set
// request, before its items.
std::string SetRequestHead(std::string_view commandWord, std::string_view userName,
                           std::string_view password);

}  // namespace ostravel
