// The session keeps the user name and password in 100-byte buffers: at most 99 bytes each, never
// part of a character.
#include <string>

#include <gtest/gtest.h>

#include "session/sessiondocument.h"

namespace ostravel {
namespace {

std::string Times(const std::string& piece, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += piece;
    return out;
}

TEST(SetCredentials, CutsAtNinetyNineBytesOnACharacterBoundary) {
    const std::string e = "\xC3\xA9", euro = "\xE2\x82\xAC", face = "\xF0\x9F\x98\x80";
    struct Case {
        const char* what;
        std::string typed, kept;
    } cases[] = {
        {"ascii", std::string(120, 'a'), std::string(99, 'a')},
        {"exactly 99 bytes", std::string(99, 'b'), std::string(99, 'b')},
        {"two-byte characters", Times(e, 60), Times(e, 49)},
        {"three-byte characters ending on the limit", Times(euro, 40), Times(euro, 33)},
        {"three-byte character across the limit", "a" + Times(euro, 40), "a" + Times(euro, 32)},
        {"four-byte characters ending on the limit", "abc" + Times(face, 30), "abc" + Times(face, 24)},
        {"four-byte character across the limit", "aa" + Times(face, 30), "aa" + Times(face, 24)},
        // Not UTF-8: the bytes as they came, cut at the limit.
        {"latin-1", std::string(120, '\xE9'), std::string(99, '\xE9')},
        {"stray continuation bytes", std::string(98, 'x') + "\x80\x80", std::string(98, 'x') + "\x80"},
    };
    for (const Case& c : cases) {
        SessionDocument doc;
        doc.SetCredentials(c.typed, c.typed);
        const SessionState s = doc.Snapshot();
        EXPECT_EQ(s.userName, c.kept) << c.what;
        EXPECT_EQ(s.password, c.kept) << c.what;
    }
}

TEST(SetCredentials, PasswordIsCutLikeTheUserName) {
    SessionDocument doc;
    doc.SetCredentials("dj", std::string(98, 'p') + "\xC3\xA9");
    EXPECT_EQ(doc.Snapshot().password, std::string(98, 'p'));
    EXPECT_EQ(doc.Snapshot().userName, "dj");
}

}  // namespace
}  // namespace ostravel
