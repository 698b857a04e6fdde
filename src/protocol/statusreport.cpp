#include "protocol/statusreport.h"

#include <algorithm>
#include <climits>

namespace ostravel {

namespace {

bool Contains(std::string_view text, std::string_view key) {
    return text.find(key) != std::string_view::npos;
}

}  // namespace

std::string_view FirstToken(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    constexpr std::string_view separators = ": ,\t\n";
    const std::size_t begin = text.find_first_not_of(separators);
    if (begin == std::string_view::npos) return {};
    const std::size_t end = text.find_first_of(separators, begin);
    return text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
}

int ParseLeadingInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

std::string NthWord(std::string_view field, std::size_t index) {
    std::size_t begin = 0;
    for (std::size_t word = 0; word < index; ++word) {
        const std::size_t blank = field.find(' ', begin);
        if (blank == std::string_view::npos) return {};
        begin = blank + 1;
    }
    const std::size_t end = field.find(' ', begin);
    return std::string(
        field.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
}

StatusReport ParseStatusReport(std::string_view reply) {
    StatusReport report;
    std::string_view statusData;
    if (const std::size_t begin = reply.find("Server Status"); begin != std::string_view::npos) {
        if (const std::size_t end = reply.find("Status End", begin); end != std::string_view::npos) {
            statusData = reply.substr(begin, end - begin);
        }
    }
    const bool streamHidden = Contains(statusData, "Server is currently offline") ||
                              Contains(statusData, "Server is Online. Connect a DJ");
    std::size_t begin = 0;
    for (;;) {
        const std::size_t quote = statusData.find('"', begin);
        const std::string_view field = statusData.substr(
            begin, quote == std::string_view::npos ? std::string_view::npos : quote - begin);
        bool shown = true;
        if (Contains(field, "Stream IP:")) {
            report.hasStreamIp = true;
            report.streamIp = NthWord(field, 2);
            shown = !streamHidden;
        } else if (Contains(field, "Stream Port:")) {
            report.hasStreamPort = true;
            report.streamPort = NthWord(field, 2);
            shown = !streamHidden;
        } else if (Contains(field, "Server Status:")) {
            for (const StatePhrase& phrase : kStatePhrases) {
                if (Contains(field, phrase.phrase)) report.states.push_back(phrase.state);
            }
        } else if (Contains(field, "Max. Bitrate:")) {
            report.hasBitrate = true;
            report.highBitrate = ParseLeadingInt(NthWord(field, 2)) >= 250;
            shown = !streamHidden;
        }
        if (shown) {
            report.display += field;
            report.display += "\r\n";
        }
        if (quote == std::string_view::npos) break;
        begin = quote + 1;
    }
    return report;
}

}  // namespace ostravel
