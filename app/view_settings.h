// ViewSettings: what the windows keep in section "Settings" of the profile:
// the tree-list's column widths and collapsed rows, the message list's
// column widths and panel position, and the main window placement, with the
// rules that decide when a stored value is taken. Tested by
// app/view_settings_test.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Profile;

struct ViewSettings {
    static constexpr int kTreeColumns = 5;
    static constexpr int kListColumns = 6;
    static constexpr int kPlacementFields = 5;
    static constexpr int32_t kMaxColumnWidth = 1024;

    // Reads "TreeListColumn", "CollapseItemList", "ListColumn", "ListDlgPos"
    // and "WindowPos"; a value that breaks its rule leaves the default.
    void Load(const Profile& profile);
    // Writes all five keys (the placements only when they are set).
    bool Save(Profile& profile) const;

    // The defaults: " Name" 260, " " 0, " " 80, "Description" 200,
    // "Comment" 200.
    int32_t treeWidths[kTreeColumns] = {260, 0, 80, 200, 200};
    // The texts of the collapsed rows, in the order the view listed them.
    std::vector<std::string> collapsed;
    int32_t listWidths[kListColumns] = {56, 64, 48, 120, 240, 240};
    // x, y, width, height and a state word (maximized for the window,
    // floating for the list panel); valid only when the flag is set.
    int32_t listPanel[kPlacementFields] = {0, 0, 0, 0, 0};
    bool hasListPanel = false;
    int32_t window[kPlacementFields] = {0, 0, 0, 0, 0};
    bool hasWindow = false;

    // The scripts selected last, newest first, at most kRecentScripts; kept
    // in a section of their own ("Recent", key "Scripts", separated by '|').
    static constexpr int kRecentScripts = 5;
    std::vector<std::string> recentScripts;
    // Puts path first, dropping an older entry of the same path.
    void AddRecentScript(const std::string& path);
};

// Parses exactly count integers separated by ':' ("%i:%i:..."), each a
// decimal, octal (leading 0) or hexadecimal (0x) number with an optional
// sign, as %i reads them. False when any is missing or malformed, or when
// more text follows.
bool ParseIntList(const char* text, int count, int32_t* out);
// "a:b:c..." of count integers.
std::string FormatIntList(const int32_t* values, int count);
// "TreeListColumn": all five parse, each lies in 0..1024, and the first,
// fourth and fifth are at least 1.
bool ParseTreeWidths(const char* text, int32_t* out);
// "CollapseItemList": the texts between ';', empty ones skipped.
std::vector<std::string> SplitCollapseList(const char* text);
std::string JoinCollapseList(const std::vector<std::string>& texts);
