#include "config/dialogmodel.h"

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/settingsgrammar.h"

namespace ostravel {
namespace {

using ::testing::ElementsAre;

TEST(SettingItem, NameBeforeFirstEqualsValueUpToNext) {
    struct Case {
        const char* item;
        const char* name;
        const char* value;
    };
    const Case cases[] = {
        {"a=b", "a", "b"}, {"a=b=c", "a", "b"}, {"a==b", "a", ""}, {"a=", "a", ""},
        {"a", "a", ""},    {"=b", "", "b"},     {"", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        const SettingItem item = SplitSettingItem(c.item);
        EXPECT_EQ(item.name, c.name);
        EXPECT_EQ(item.value, c.value);
    }
    EXPECT_THAT(SplitAll("a||b|", '|'), ElementsAre("a", "", "b", ""));
    EXPECT_THAT(SplitAll("", '|'), ElementsAre(""));
}

TEST(ReadLeadingNumber, LenientLikeTheDialogs) {
    const std::pair<const char*, long> cases[] = {
        {"128", 128}, {"128kbps", 128}, {" 64", 64}, {"+5", 5}, {"-5", -5}, {"", 0}, {"abc", 0}, {"1.5", 1},
    };
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ReadLeadingNumber(text), value);
    }
}

TEST(SelectOrKeep, WholeTextIgnoringCaseElseKeepTheValue) {
    struct Case {
        std::vector<std::string> before;
        const char* value;
        std::vector<std::string> after;
        int selection;
    };
    const Case cases[] = {
        {{"100", "10"}, "10", {"100", "10"}, 1},  // "100" merely begins with it
        {{"Yes", "No"}, "yes", {"Yes", "No"}, 0}, {{"Yes", "No"}, "Maybe", {"Maybe", "Yes", "No"}, 0},
        {{"Yes", "No"}, "", {"Yes", "No"}, -1},   {{}, "x", {"x"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        ComboModel combo{1, c.before, -1};
        SelectOrKeep(combo, c.value);
        EXPECT_EQ(combo.items, c.after);
        EXPECT_EQ(combo.selection, c.selection);
    }
}

TEST(ChoosePlaylist, ReverseOrderSubstringPreferenceStopAtEmpty) {
    struct Case {
        const char* list;
        const char* file;
        std::vector<std::string> items;
        const char* selected;
    };
    const Case cases[] = {
        {"a.lst;b.lst;c.lst", "b.lst", {"c.lst", "b.lst", "a.lst"}, "b.lst"},
        {"a.lst;;c.lst", "a.lst", {"a.lst"}, "a.lst"},
        {"a.lst;b.lst;c.lst", "", {"c.lst", "b.lst", "a.lst"}, "c.lst"},
        {"rock.lst;pop.lst", "pop", {"pop.lst", "rock.lst"}, "pop.lst"},
        {"x/b.lst;y/b.lst", "b.lst", {"y/b.lst", "x/b.lst"}, "y/b.lst"},  // the later entry wins
        {"A.lst;B.lst", "b.lst", {"b.lst", "B.lst", "A.lst"}, "b.lst"},   // case-sensitive, so kept
        {"a.lst;b.lst", "z.lst", {"z.lst", "b.lst", "a.lst"}, "z.lst"},   // kept on top
        {"", "z.lst", {"z.lst"}, "z.lst"},
        {"", "", {}, ""},
        {";a.lst", "", {}, ""},
        // An exact entry beats a later, longer one that contains it.
        {"a.lst;aa.lst", "a.lst", {"aa.lst", "a.lst"}, "a.lst"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.list) + " / " + c.file);
        const ComboModel combo = ChoosePlaylist(1100, c.list, c.file);
        EXPECT_EQ(combo.id, 1100);
        EXPECT_EQ(combo.items, c.items);
        EXPECT_EQ(combo.Text(), c.selected);
    }
}

TEST(ControlText, ComboIsSelectionListFallsBackToTop) {
    EXPECT_EQ((ComboModel{1, {"a", "b"}, 1}).Text(), "b");
    EXPECT_EQ((ComboModel{1, {"a", "b"}, -1}).Text(), "");
    EXPECT_EQ((ComboModel{1, {"a"}, 5}).Text(), "");
    EXPECT_EQ((ListModel{1, {"a", "b"}, 1}).Text(), "b");
    EXPECT_EQ((ListModel{1, {"a", "b"}, -1}).Text(), "a");
    EXPECT_EQ((ListModel{1, {}, -1}).Text(), "");
}

}  // namespace
}  // namespace ostravel
