// Tests of the view keys of the profile: the column-width rules, the
// collapse list and the placements, round trips through the file.
#include "app/view_settings.h"

#include <gtest/gtest.h>

#include "app/profile.h"
#include "base/scratch_dir.h"

namespace {

TEST(ViewSettings, TreeWidthsTakeOnlyValuesThatKeepEveryRule) {
    struct {
        const char* text;
        bool taken;
    } cases[] = {
        {"260:0:80:200:200", true},
        {"1:0:0:1:1", true},
        {"0x10:010:5:6:7", true},
        {"1024:1024:1024:1024:1024", true},
        {"260:-1:80:200:200", false},
        {"0:0:80:200:200", false},
        {"260:0:80:0:200", false},
        {"260:0:80:200:0", false},
        {"260:0:80:200:1025", false},
        {"260:0:80:200", false},
        {"260:0:80:200:200:1", false},
        {"260:0:80:200:2x", false},
        {"", false},
        {"a:b:c:d:e", false},
        {"99999999999:0:80:200:200", false},
    };
    for (const auto& c : cases) {
        int32_t widths[5] = {-9, -9, -9, -9, -9};
        EXPECT_EQ(c.taken, ParseTreeWidths(c.text, widths)) << c.text;
        if (!c.taken) {
            EXPECT_EQ(-9, widths[0]) << c.text;
        }
    }
}

TEST(ViewSettings, CollapseListSplitsAndJoins) {
    EXPECT_EQ((std::vector<std::string>{"ip", "tcp", "{}this = 'pos[0]'"}),
              SplitCollapseList(";ip;;tcp;{}this = 'pos[0]';"));
    EXPECT_TRUE(SplitCollapseList("").empty());
    EXPECT_EQ("ip;tcp", JoinCollapseList({"ip", "tcp"}));
}

class ViewSettingsFile : public ScratchDirTest {};

TEST_F(ViewSettingsFile, RoundTripAndFallbacks) {
    Profile profile;
    ViewSettings fresh;
    fresh.Load(profile);
    EXPECT_EQ(260, fresh.treeWidths[0]);
    EXPECT_FALSE(fresh.hasWindow);

    ViewSettings saved;
    const int32_t tree[5] = {300, 0, 90, 150, 120};
    std::copy(tree, tree + 5, saved.treeWidths);
    saved.collapsed = {"ip", "options"};
    for (const char* path : {"a.txt", "b.txt", "c.txt", "a.txt", "d.txt", "e.txt", "f.txt"}) {
        saved.AddRecentScript(path);
    }
    // Newest first, each once, five at most.
    const std::vector<std::string> recent = {"f.txt", "e.txt", "d.txt", "a.txt", "c.txt"};
    EXPECT_EQ(recent, saved.recentScripts);
    saved.listWidths[5] = 0;
    saved.hasWindow = true;
    const int32_t window[5] = {-8, 20, 1280, 800, 1};
    std::copy(window, window + 5, saved.window);
    ASSERT_TRUE(saved.Save(profile));

    ViewSettings loaded;
    loaded.Load(profile);
    EXPECT_TRUE(std::equal(tree, tree + 5, loaded.treeWidths));
    EXPECT_EQ(saved.collapsed, loaded.collapsed);
    EXPECT_EQ(recent, loaded.recentScripts);
    EXPECT_EQ(0, loaded.listWidths[5]);
    ASSERT_TRUE(loaded.hasWindow);
    EXPECT_TRUE(std::equal(window, window + 5, loaded.window));
    EXPECT_FALSE(loaded.hasListPanel);

    // Garbage in any key leaves that key's default alone.
    profile.WriteString("Settings", "TreeListColumn", "260:-5:80:200:200");
    profile.WriteString("Settings", "ListColumn", "1:2:3");
    profile.WriteString("Settings", "WindowPos", "0:0:0:0:0");
    ViewSettings garbage;
    garbage.Load(profile);
    EXPECT_EQ(ViewSettings().treeWidths[1], garbage.treeWidths[1]);
    EXPECT_EQ(ViewSettings().listWidths[0], garbage.listWidths[0]);
    EXPECT_FALSE(garbage.hasWindow);
}

}  // namespace
