#include "ctl/ctloutput.h"

#include "config/autodjconfig.h"
#include "config/autotvconfig.h"
#include "config/serverconfig.h"
#include "session/receiver.h"
#include "session/statustracker.h"

namespace ostravel::ctl {

namespace {

SettingLine Text(std::string name, std::string value) { return {std::move(name), std::move(value), {}}; }

SettingLine Flag(std::string name, bool on) {
    return {std::move(name), on ? "yes" : "no", {}, SettingLine::Type::Flag};
}

SettingLine List(std::string name, std::vector<std::string> items) {
    return {std::move(name), {}, std::move(items), SettingLine::Type::List};
}

// A record's settings in its table's order, those printed first ahead; an optional setting's switch
// comes before its value as "<key>Enabled".
template <class Record>
std::vector<SettingLine> LinesOf(FieldTable<Record> fields, const Record& record) {
    std::vector<SettingLine> lines;
    for (const bool first : {true, false}) {
        for (const SettingField<Record>& f : fields) {
            if (f.key == nullptr || ((f.flags & kPrintedFirst) != 0) != first) continue;
            if (f.optional.on != nullptr)
                lines.push_back(Flag(std::string(f.key) + "Enabled", record.*f.optional.on));
            lines.push_back(f.printedAs != nullptr ? List(f.key, f.printedAs(record.*f.field))
                                                   : Text(f.key, record.*f.field));
        }
    }
    return lines;
}

// Length of the UTF-8 sequence starting at text[i], or 0 when it is not a valid one.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned min = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, min = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, min = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, min = 0x10000;
    else
        return 0;
    if (i + length > text.size()) return 0;
    unsigned code = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::vector<SettingLine> ServerSettingLines(const ServerSettings& settings) {
    return LinesOf(ServerFields(), settings);
}

std::vector<SettingLine> AutoDJSettingLines(const AutoDJSettings& settings) {
    return LinesOf(AutoDJFields(), settings);
}

std::vector<SettingLine> AutoTVSettingLines(const AutoTVSettings& settings) {
    return LinesOf(AutoTVFields(), settings);
}

std::string FormatSettings(const std::vector<SettingLine>& lines) {
    std::string out;
    for (const SettingLine& line : lines) {
        std::string value = line.value;
        if (line.type == SettingLine::Type::List) {
            for (std::size_t i = 0; i < line.items.size(); ++i) value += (i == 0 ? "" : ";") + line.items[i];
        }
        for (char& ch : value) {
            if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = '?';
        }
        out += line.name + "=" + value + "\n";
    }
    return out;
}

std::string FormatSettingsJson(const std::vector<SettingLine>& lines) {
    std::string out = "{";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const SettingLine& line = lines[i];
        out += (i == 0 ? "\n  " : ",\n  ") + JsonString(line.name) + ": ";
        switch (line.type) {
            case SettingLine::Type::Text:
                out += JsonString(line.value);
                break;
            case SettingLine::Type::Flag:
                out += line.value == "yes" ? "true" : "false";
                break;
            case SettingLine::Type::List:
                out += "[";
                for (std::size_t k = 0; k < line.items.size(); ++k)
                    out += (k == 0 ? "" : ", ") + JsonString(line.items[k]);
                out += "]";
                break;
        }
    }
    return out + "\n}\n";
}

std::string JsonString(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char ch = static_cast<unsigned char>(text[i]);
        const std::size_t length = Utf8Length(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD for a byte that is not UTF-8
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(text.substr(i, length));
        } else if (ch == '"' || ch == '\\') {
            out += '\\';
            out += static_cast<char>(ch);
        } else if (ch == '\n') {
            out += "\\n";
        } else if (ch == '\r') {
            out += "\\r";
        } else if (ch == '\t') {
            out += "\\t";
        } else if (ch < 0x20 || ch == 0x7F) {
            out += "\\u00";
            out += kHex[ch >> 4];
            out += kHex[ch & 0xF];
        } else {
            out += static_cast<char>(ch);
        }
        i += length;
    }
    return out + "\"";
}

int StateFromIcon(int iconId) {
    switch (iconId) {
        case kIconServerDown:
            return 0;
        case kIconServerUpStreamDown:
            return 1;
        case kIconServerUpStreamUp:
            return 2;
        default:
            return 3;
    }
}

std::string_view StateWords(int state) {
    // The desktop's words for the three states (the session lost is no state of the server's).
    const std::string_view label = state >= 0 ? StateLabel(state) : std::string_view();
    return label.empty() ? "Server state unknown" : label;
}

std::vector<std::string> StatusFields(std::string_view statusText) {
    std::vector<std::string> fields;
    std::size_t begin = 0;
    while (begin <= statusText.size()) {
        const std::size_t end = statusText.find_first_of("\r\n", begin);
        const std::string_view field =
            statusText.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
        if (!FirstToken(field).empty()) fields.emplace_back(field);
        if (end == std::string_view::npos) break;
        begin = end + 1;
    }
    return fields;
}

std::string FormatStatus(std::string_view statusText) {
    std::string out;
    for (const std::string& field : StatusFields(statusText)) out += field + "\n";
    return out;
}

std::string FormatStatusJson(std::string_view statusText, int state, const SessionState& session) {
    static constexpr const char* kStateNames[] = {"down", "up-no-source", "up-public", "unknown"};
    std::string out = "{\n  \"state\": " + JsonString(kStateNames[state < 0 || state > 3 ? 3 : state]);
    out += ",\n  \"serverUp\": " + std::string(state == 1 || state == 2 ? "true" : "false");
    out += ",\n  \"streamUp\": " + std::string(state == 2 ? "true" : "false");
    out += ",\n  \"streamIp\": " + JsonString(session.streamIp);
    out += ",\n  \"streamPort\": " + JsonString(session.streamPort);
    out += ",\n  \"fields\": {";
    std::vector<std::string> seen;
    for (const std::string& field : StatusFields(statusText)) {
        const std::size_t colon = field.find(": ");
        std::string name = field.substr(0, colon);
        const std::string value = colon == std::string::npos ? std::string() : field.substr(colon + 2);
        bool repeated = false;
        for (const std::string& other : seen) repeated = repeated || other == name;
        if (repeated) continue;  // keys stay unique; the first field of a name is kept
        out += (seen.empty() ? "\n    " : ",\n    ") + JsonString(name) + ": " + JsonString(value);
        seen.push_back(std::move(name));
    }
    return out + (seen.empty() ? "}\n}\n" : "\n  }\n}\n");
}

std::string AsLines(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    if (out.empty() || out.back() != '\n') out += '\n';
    return out;
}

std::string OneLine(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        const bool control = static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F;
        if (control && !out.empty() && out.back() != ' ') out += ' ';
        if (!control) out += ch;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

}  // namespace ostravel::ctl
