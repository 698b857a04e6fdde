// Which language the environment asks for, read without the toolkit's table of every language.
#include "platform/translate.h"

#include <gtest/gtest.h>

namespace ostravel {
namespace {

TEST(PreferredLanguage, TheFirstLanguageSpokenWinsAndEnglishOrCEndsTheSearch) {
    constexpr std::string_view kSpoken[] = {"de", "fr", "es", "pt_BR"};
    EXPECT_EQ(PreferredLanguage("", "de_DE.UTF-8", kSpoken), "de");
    EXPECT_EQ(PreferredLanguage("", "fr_CA.UTF-8@euro", kSpoken), "fr");
    EXPECT_EQ(PreferredLanguage("pt_BR:es", "C.UTF-8", kSpoken), "pt_BR");
    EXPECT_EQ(PreferredLanguage("pt_PT:ja::es_MX", "de_DE", kSpoken), "es");  // not spoken: passed over
    EXPECT_EQ(PreferredLanguage("", "ja_JP.UTF-8", kSpoken), "");
    EXPECT_EQ(PreferredLanguage("en_GB:de", "de_DE.UTF-8", kSpoken), "");
    EXPECT_EQ(PreferredLanguage("", "C.UTF-8", kSpoken), "");
    EXPECT_EQ(PreferredLanguage("", "POSIX", kSpoken), "");
    EXPECT_EQ(PreferredLanguage("", "", kSpoken), "");
    EXPECT_EQ(PreferredLanguage(":", ".UTF-8", kSpoken), "");
}

}  // namespace
}  // namespace ostravel
