#include "protocol/settingsguard.h"

#include <gtest/gtest.h>

#include "protocol/replyroutes.h"

namespace ostravel {
namespace {

// Every phrase the receiver routes by is refused, so a routing row added later is guarded too.
TEST(SettingsGuard, EveryRoutingPhraseIsRefused) {
    for (const ReplyRoute& route : kReplyRoutes) {
        EXPECT_TRUE(FindForbiddenText("x " + std::string(route.keyword) + " y")) << route.keyword;
        for (std::string_view key : route.errorKeywords) {
            if (!key.empty()) {
                EXPECT_TRUE(FindForbiddenText(std::string(key) + "!")) << key;
            }
        }
    }
}

TEST(SettingsGuard, FirstForbiddenTextInAValue) {
    const struct {
        const char* value;
        const char* found;  // null: nothing
    } cases[] = {
        {"", nullptr},
        {"Now playing %s", nullptr},
        {"http://radio.example/live?x;y&z", nullptr},
        {"shoutcast server", nullptr},  // routing is case-sensitive
        {"Error-", nullptr},
        {"a+b|c", "+"},
        {"a|b+c", "|"},
        {"x=Failed login.", "="},
        {"Failed login. a=b", "Failed login."},
        {"Shoutcast server content", "Shoutcast server"},
    };
    for (const auto& c : cases) {
        const auto found = FindForbiddenText(c.value);
        if (c.found == nullptr) {
            EXPECT_FALSE(found) << c.value << " -> " << *found;
        } else {
            ASSERT_TRUE(found) << c.value;
            EXPECT_EQ(*found, c.found) << c.value;
        }
    }
}

}  // namespace
}  // namespace ostravel
