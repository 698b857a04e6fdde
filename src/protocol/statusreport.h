// The status report: what the service server says of the radio server, read into its parts before
// anything is stored or shown; and the small readers the replies share.
#pragma once

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace ostravel {

// The phrases of a status report that give the server's state: 0 down, 1 up without a source,
// 2 up and public. A state is its phrase's position.
struct StatePhrase {
    const char* phrase;
    int state;
};
inline constexpr StatePhrase kStatePhrases[] = {
    {"Server is currently offline", 0},
    {"Server is Online. Connect a DJ", 1},
    {"Server is currently up and public", 2},
};

// What one status report says.
struct StatusReport {
    bool hasStreamIp = false, hasStreamPort = false, hasBitrate = false;
    std::string streamIp, streamPort;
    bool highBitrate = false;
    std::vector<int> states;  // every state phrase found, in order; the last one wins
    std::string display;      // the text for the status box
};
StatusReport ParseStatusReport(std::string_view reply);

// The first token of `text` (up to its first NUL) with separators ": ,\t\n"; empty if none.
std::string_view FirstToken(std::string_view text);
// A decimal integer as C's atoi reads it: leading blanks, a sign, digits up to the first other
// character; 0 if there are none. Out-of-range values are clamped.
int ParseLeadingInt(std::string_view text);
// Word `index` of `field`, words separated by single blanks (two blanks make an empty word).
std::string NthWord(std::string_view field, std::size_t index);

}  // namespace ostravel
