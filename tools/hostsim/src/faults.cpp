#include "faults.h"

#include <charconv>
#include <utility>

namespace hostsim {

namespace {

bool parseCount(std::string_view text, int& out) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 0) {
        return false;
    }
    out = value;
    return true;
}

}  // namespace

bool applyFaultList(std::string_view switches, Faults& faults, std::string& error) {
    Faults result = faults;
    while (!switches.empty()) {
        const auto comma = switches.find(',');
        const auto item = switches.substr(0, comma);
        switches = comma == std::string_view::npos ? std::string_view() : switches.substr(comma + 1);
        if (item.empty()) {
            continue;
        }
        const auto eq = item.find('=');
        const auto name = item.substr(0, eq);
        const auto value = eq == std::string_view::npos ? std::string_view() : item.substr(eq + 1);
        const bool hasValue = eq != std::string_view::npos;
        int number = 0;
        if (name == "none" && !hasValue) {
            result = Faults{};
        } else if (name == "stall" && !hasValue) {
            result.stallAfter = 0;
        } else if (name == "oversize" && !hasValue) {
            result.oversize = true;
        } else if (name == "merge" && !hasValue) {
            result.merge = true;
        } else if (name == "trickle" && !hasValue) {
            result.trickle = true;
        } else if (name == "flood" && !hasValue) {
            result.flood = true;
        } else if (name == "nuls" && !hasValue) {
            result.nuls = true;
        } else if (name == "deaf" && !hasValue) {
            result.deaf = true;
        } else if ((name == "stall-after" || name == "close-after" || name == "reset-after" ||
                    name == "bye-after" || name == "split") &&
                   parseCount(value, number)) {
            if (name == "stall-after") {
                result.stallAfter = number;
            } else if (name == "close-after") {
                result.closeAfter = number;
            } else if (name == "reset-after") {
                result.resetAfter = number;
            } else if (name == "bye-after") {
                result.byeAfter = number;
            } else if (number == 0) {
                error = "split needs a piece size of at least 1";
                return false;
            } else {
                result.splitSize = static_cast<std::size_t>(number);
            }
        } else {
            error = "unknown fault switch '" + std::string(item) + "'";
            return false;
        }
    }
    faults = result;
    return true;
}

std::string describeFaults(const Faults& faults) {
    std::string out;
    auto add = [&out](const std::string& item) { out += (out.empty() ? "" : ",") + item; };
    if (faults.stallAfter >= 0) {
        add("stall-after=" + std::to_string(faults.stallAfter));
    }
    if (faults.closeAfter >= 0) {
        add("close-after=" + std::to_string(faults.closeAfter));
    }
    if (faults.resetAfter >= 0) {
        add("reset-after=" + std::to_string(faults.resetAfter));
    }
    if (faults.byeAfter >= 0) {
        add("bye-after=" + std::to_string(faults.byeAfter));
    }
    if (faults.splitSize > 0) {
        add("split=" + std::to_string(faults.splitSize));
    }
    if (faults.oversize) {
        add("oversize");
    }
    if (faults.merge) {
        add("merge");
    }
    for (const auto& [on, name] : {std::pair{faults.trickle, "trickle"}, std::pair{faults.flood, "flood"},
                                   std::pair{faults.nuls, "nuls"}, std::pair{faults.deaf, "deaf"}}) {
        if (on) {
            add(name);
        }
    }
    return out.empty() ? "none" : out;
}

std::string floodText() {
    std::string line(98, '~');
    line += "\r\n";
    std::string text;
    text.reserve(kFloodSize);
    while (text.size() + line.size() <= kFloodSize) {
        text += line;
    }
    text.append(kFloodSize - text.size(), '~');
    return text;
}

}  // namespace hostsim
