// AppSettings: the persistent settings of the application with their
// sections, keys and defaults, read from and written to the Profile.
// Tested by app/profile_test.cpp.
#pragma once

#include <cstdint>

#include "base/otstr.h"

class Profile;

namespace settingskey {
constexpr const char kSetting[] = "Setting";
constexpr const char kSettings[] = "Settings";
constexpr const char kLastBrowseDir[] = "LastBrowseDir";
constexpr const char kExpendTypeOF[] = "ExpendTypeOF";
constexpr const char kCommentMode[] = "CommentMode";
constexpr const char kShowNameColumn[] = "ShowNameColumn";
constexpr const char kDisplayTreeMode[] = "DisplayTreeMode";
constexpr const char kColumnAutoFit[] = "ColumnAutoFit";
constexpr const char kShowDescriptionColumn[] = "ShowDescriptionColumn";
constexpr const char kFontMode[] = "FontMode";
constexpr const char kAppFirstLoad[] = "AppFirstLoad";
constexpr const char kMsgListBufSizeMb[] = "MsgListBufSizeMb";
constexpr const char kActivePanel[] = "ActivePanel";
constexpr const char kListColumn[] = "ListColumn";
constexpr const char kListDlgPos[] = "ListDlgPos";
constexpr const char kTreeListColumn[] = "TreeListColumn";
constexpr const char kCollapseItemList[] = "CollapseItemList";
constexpr const char kWindowPos[] = "WindowPos";
}  // namespace settingskey

// The entries of the comment-mode selection box, by index.
constexpr const char* const kCommentModeNames[] = {" Comment(if present)", " Value Only",
                                                   " Value & Comment"};
constexpr int kCommentModeCount = 3;

struct AppSettings {
    // The message list buffer is at least 1 MB; a settings file cannot ask
    // for more than this.
    static constexpr int32_t kMaxMsgListBufSizeMb = 1024;

    // Reads every key of section "Setting" and "ActivePanel"; values out of
    // their range take the default (the buffer size is clamped to 1..1024).
    void Load(const Profile& profile);
    // Writes "ExpendTypeOF" and "CommentMode" (done at every translation).
    bool SaveTranslateOptions(Profile& profile) const;
    // Writes every key that Load reads.
    bool Save(Profile& profile) const;

    OTSTR lastBrowseDir;
    int32_t expendTypeOF = 0;
    int32_t commentMode = 0;  // 0..kCommentModeCount-1
    int32_t showNameColumn = 1;
    int32_t displayTreeMode = 1;
    int32_t columnAutoFit = 0;
    int32_t showDescriptionColumn = 1;
    int32_t fontMode = 1;
    int32_t appFirstLoad = 1;
    int32_t msgListBufSizeMb = 1;
    int32_t activePanel = 0;
};
