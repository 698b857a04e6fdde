// The status report parser over any reply: the status box shows the body's fields, each once and
// in order, the stream fields dropped only while the server is down or has no stream; states are
// only the three known ones.
#include <algorithm>
#include <climits>
#include <optional>

#include "fuzz_support.h"
#include "session/receiver.h"

using namespace ostravel;

namespace {

// C's atoi with clamping, the reading the bitrate field gets.
long long Atoi(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = std::min(value * 10 + (text[i] - '0'), 1LL << 40);
    return std::clamp<long long>(negative ? -value : value, INT_MIN, INT_MAX);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reply = fuzz::AsString(data, size);
    const StatusReport report = ParseStatusReport(reply);

    std::string_view body;
    if (const std::size_t begin = reply.find("Server Status"); begin != std::string::npos) {
        if (const std::size_t end = reply.find("Status End", begin); end != std::string::npos) {
            body = std::string_view(reply).substr(begin, end - begin);
        }
    }
    const bool hidden = fuzz::Contains(body, "Server is currently offline") ||
                        fuzz::Contains(body, "Server is Online. Connect a DJ");
    std::string display;
    std::size_t states = 0;
    std::optional<std::string_view> lastIp, lastPort, lastBitrate;  // the last of each wins
    for (std::string_view field : SplitAll(body, '"')) {
        const bool ip = fuzz::Contains(field, "Stream IP:");
        const bool port = !ip && fuzz::Contains(field, "Stream Port:");
        const bool status = !ip && !port && fuzz::Contains(field, "Server Status:");
        const bool bitrate = !ip && !port && !status && fuzz::Contains(field, "Max. Bitrate:");
        if (ip) lastIp = field;
        if (port) lastPort = field;
        if (bitrate) lastBitrate = field;
        if (status) {
            states += fuzz::Contains(field, "Server is currently offline") +
                      fuzz::Contains(field, "Server is Online. Connect a DJ") +
                      fuzz::Contains(field, "Server is currently up and public");
        }
        if (!((ip || port || bitrate) && hidden)) display.append(field).append("\r\n");
    }
    FUZZ_CHECK(report.display == display);
    FUZZ_CHECK(report.hasStreamIp == lastIp.has_value() && report.hasStreamPort == lastPort.has_value());
    FUZZ_CHECK(report.hasBitrate == lastBitrate.has_value());
    if (lastIp) FUZZ_CHECK(fuzz::Contains(*lastIp, report.streamIp));
    if (lastPort) FUZZ_CHECK(fuzz::Contains(*lastPort, report.streamPort));
    if (lastBitrate) FUZZ_CHECK(report.highBitrate == (Atoi(NthWord(*lastBitrate, 2)) >= 250));
    FUZZ_CHECK(report.states.size() == states);
    for (const int state : report.states) FUZZ_CHECK(state >= 0 && state <= 2);
    // A stream address is one word: it goes into tune-in links.
    FUZZ_CHECK(report.streamIp.find(' ') == std::string::npos && report.streamPort.find(' ') == std::string::npos);
    if (!report.hasStreamIp) FUZZ_CHECK(report.streamIp.empty());
    return 0;
}
