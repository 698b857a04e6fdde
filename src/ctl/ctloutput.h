// What ostravel-ctl prints: settings as name=value lines or JSON, the status report, the monitoring
// line. Pure functions, so the wording is tested without a connection.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "session/sessiondocument.h"

namespace ostravel::ctl {

// One setting as printed. Flags print as yes/no and become JSON booleans; lists become arrays.
struct SettingLine {
    enum class Type { Text, Flag, List };
    std::string name;
    std::string value;               // Text and Flag ("yes"/"no")
    std::vector<std::string> items;  // List
    Type type = Type::Text;
};

std::vector<SettingLine> ServerSettingLines(const ServerSettings& settings);
std::vector<SettingLine> AutoDJSettingLines(const AutoDJSettings& settings);
std::vector<SettingLine> AutoTVSettingLines(const AutoTVSettings& settings);

// name=value, one a line; a list joins its items with ";". Control characters print as "?", so
// each setting stays on one line (the JSON form keeps them exactly).
std::string FormatSettings(const std::vector<SettingLine>& lines);
std::string FormatSettingsJson(const std::vector<SettingLine>& lines);

// A JSON string literal: quotes, backslashes and control characters escaped; bytes that are not
// UTF-8 become U+FFFD, so the output always parses.
std::string JsonString(std::string_view text);

// The server state a status report's tray icon stands for: 0 down, 1 up without a source, 2 up and
// public, 3 unknown (the report named none).
int StateFromIcon(int iconId);
std::string_view StateWords(int state);  // "Server Up, Stream Up", ...

// The status box text, one field a line, empty fields left out.
std::vector<std::string> StatusFields(std::string_view statusText);
std::string FormatStatus(std::string_view statusText);
std::string FormatStatusJson(std::string_view statusText, int state, const SessionState& session);

// Text as a terminal wants it: CR LF and lone CR become LF, and it ends with a line break.
std::string AsLines(std::string_view text);
// All of a reply on one line, for standard error.
std::string OneLine(std::string_view text);

}  // namespace ostravel::ctl
