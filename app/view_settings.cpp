// ViewSettings: parsing and writing the view keys of section "Settings".
// Tested by app/view_settings_test.cpp.
#include "app/view_settings.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "app/app_settings.h"
#include "app/profile.h"
#include "base/otstr.h"

using namespace settingskey;

bool ParseIntList(const char* text, int count, int32_t* out) {
    if (text == nullptr) return false;
    const char* p = text;
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            if (*p != ':') return false;
            ++p;
        }
        while (*p == ' ' || *p == '\t') ++p;
        // %i takes no blank-only or empty field; strtol would accept a
        // leading blank but not an empty text.
        char* end = nullptr;
        errno = 0;
        long long value = strtoll(p, &end, 0);
        if (end == p || errno == ERANGE || value < INT32_MIN || value > INT32_MAX) return false;
        out[i] = static_cast<int32_t>(value);
        p = end;
    }
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
    return *p == '\0';
}

std::string FormatIntList(const int32_t* values, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i > 0) text += ':';
        text += std::to_string(values[i]);
    }
    return text;
}

bool ParseTreeWidths(const char* text, int32_t* out) {
    int32_t widths[ViewSettings::kTreeColumns];
    if (!ParseIntList(text, ViewSettings::kTreeColumns, widths)) return false;
    for (int32_t width : widths) {
        if (width < 0 || width > ViewSettings::kMaxColumnWidth) return false;
    }
    if (widths[0] < 1 || widths[3] < 1 || widths[4] < 1) return false;
    for (int i = 0; i < ViewSettings::kTreeColumns; ++i) out[i] = widths[i];
    return true;
}

namespace {

constexpr char kRecentSection[] = "Recent";
constexpr char kRecentKey[] = "Scripts";

std::vector<std::string> Split(const char* text, char separator) {
    std::vector<std::string> texts;
    if (text == nullptr) return texts;
    std::string piece;
    for (const char* p = text;; ++p) {
        if (*p == separator || *p == '\0') {
            if (!piece.empty()) texts.push_back(piece);
            piece.clear();
            if (*p == '\0') break;
        } else {
            piece += *p;
        }
    }
    return texts;
}

std::string Join(const std::vector<std::string>& texts, char separator) {
    std::string joined;
    for (const std::string& text : texts) {
        if (!joined.empty()) joined += separator;
        joined += text;
    }
    return joined;
}

}  // namespace

std::vector<std::string> SplitCollapseList(const char* text) {
    return Split(text, ';');
}

std::string JoinCollapseList(const std::vector<std::string>& texts) {
    return Join(texts, ';');
}

void ViewSettings::AddRecentScript(const std::string& path) {
    if (path.empty()) return;
    for (size_t i = 0; i < recentScripts.size(); ++i) {
        if (recentScripts[i] == path) {
            recentScripts.erase(recentScripts.begin() + static_cast<long>(i));
            break;
        }
    }
    recentScripts.insert(recentScripts.begin(), path);
    if (recentScripts.size() > static_cast<size_t>(kRecentScripts))
        recentScripts.resize(kRecentScripts);
}

void ViewSettings::Load(const Profile& profile) {
    const ViewSettings def;
    OTSTR text;
    profile.GetString(kSettings, kTreeListColumn, "", text);
    if (!ParseTreeWidths(text.GetBuffer(0), treeWidths)) {
        for (int i = 0; i < kTreeColumns; ++i) treeWidths[i] = def.treeWidths[i];
    }
    profile.GetString(kSettings, kCollapseItemList, "", text);
    collapsed = SplitCollapseList(text.GetBuffer(0));

    // The list's widths follow the tree's range rule, every column allowed
    // to be 0 but the first.
    int32_t widths[kListColumns];
    profile.GetString(kSettings, kListColumn, "", text);
    bool listOk = ParseIntList(text.GetBuffer(0), kListColumns, widths) && widths[0] >= 1;
    for (int i = 0; listOk && i < kListColumns; ++i) {
        listOk = widths[i] >= 0 && widths[i] <= kMaxColumnWidth;
    }
    for (int i = 0; i < kListColumns; ++i) {
        listWidths[i] = listOk ? widths[i] : def.listWidths[i];
    }

    // A placement needs a size a window can have.
    auto readPlacement = [&](const char* key, int32_t* out) {
        int32_t fields[kPlacementFields];
        profile.GetString(kSettings, key, "", text);
        if (!ParseIntList(text.GetBuffer(0), kPlacementFields, fields)) return false;
        if (fields[2] < 1 || fields[3] < 1 || fields[2] > 100000 || fields[3] > 100000)
            return false;
        for (int i = 0; i < kPlacementFields; ++i) out[i] = fields[i];
        return true;
    };
    hasListPanel = readPlacement(kListDlgPos, listPanel);
    hasWindow = readPlacement(kWindowPos, window);

    profile.GetString(kRecentSection, kRecentKey, "", text);
    recentScripts = Split(text.GetBuffer(0), '|');
    if (recentScripts.size() > static_cast<size_t>(kRecentScripts))
        recentScripts.resize(kRecentScripts);
}

bool ViewSettings::Save(Profile& profile) const {
    bool ok = profile.WriteString(kSettings, kTreeListColumn,
                                  FormatIntList(treeWidths, kTreeColumns).c_str());
    ok = profile.WriteString(kSettings, kCollapseItemList, JoinCollapseList(collapsed).c_str()) &&
         ok;
    ok = profile.WriteString(kSettings, kListColumn,
                             FormatIntList(listWidths, kListColumns).c_str()) &&
         ok;
    if (hasListPanel) {
        ok = profile.WriteString(kSettings, kListDlgPos,
                                 FormatIntList(listPanel, kPlacementFields).c_str()) &&
             ok;
    }
    if (hasWindow) {
        ok = profile.WriteString(kSettings, kWindowPos,
                                 FormatIntList(window, kPlacementFields).c_str()) &&
             ok;
    }
    ok = profile.WriteString(kRecentSection, kRecentKey, Join(recentScripts, '|').c_str()) && ok;
    return ok;
}
