// AppSettings: loading and saving the persistent settings through the
// Profile, with the range checks applied on loading.
// Tested by app/profile_test.cpp.
#include "app/app_settings.h"

#include "app/profile.h"

using namespace settingskey;

void AppSettings::Load(const Profile& profile) {
    const AppSettings def;
    profile.GetString(kSetting, kLastBrowseDir, "", lastBrowseDir);
    // The on/off settings keep whatever number was stored; callers test them
    // for zero.
    expendTypeOF = profile.GetInt(kSetting, kExpendTypeOF, def.expendTypeOF);
    showNameColumn = profile.GetInt(kSetting, kShowNameColumn, def.showNameColumn);
    displayTreeMode = profile.GetInt(kSetting, kDisplayTreeMode, def.displayTreeMode);
    columnAutoFit = profile.GetInt(kSetting, kColumnAutoFit, def.columnAutoFit);
    showDescriptionColumn =
        profile.GetInt(kSetting, kShowDescriptionColumn, def.showDescriptionColumn);
    fontMode = profile.GetInt(kSetting, kFontMode, def.fontMode);
    appFirstLoad = profile.GetInt(kSetting, kAppFirstLoad, def.appFirstLoad);

    // Indexes outside their lists fall back to the default entry.
    commentMode = profile.GetInt(kSetting, kCommentMode, def.commentMode);
    if (commentMode < 0 || commentMode >= kCommentModeCount) commentMode = def.commentMode;
    activePanel = profile.GetInt(kSettings, kActivePanel, def.activePanel);
    if (activePanel < 0 || activePanel > 1) activePanel = def.activePanel;

    msgListBufSizeMb = profile.GetInt(kSetting, kMsgListBufSizeMb, def.msgListBufSizeMb);
    if (msgListBufSizeMb < 1) msgListBufSizeMb = 1;
    if (msgListBufSizeMb > kMaxMsgListBufSizeMb) msgListBufSizeMb = kMaxMsgListBufSizeMb;
}

bool AppSettings::SaveTranslateOptions(Profile& profile) const {
    bool ok = profile.WriteInt(kSetting, kExpendTypeOF, expendTypeOF);
    ok = profile.WriteInt(kSetting, kCommentMode, commentMode) && ok;
    return ok;
}

bool AppSettings::Save(Profile& profile) const {
    bool ok = profile.WriteString(kSetting, kLastBrowseDir, lastBrowseDir.GetBuffer());
    ok = SaveTranslateOptions(profile) && ok;
    ok = profile.WriteInt(kSetting, kShowNameColumn, showNameColumn) && ok;
    ok = profile.WriteInt(kSetting, kDisplayTreeMode, displayTreeMode) && ok;
    ok = profile.WriteInt(kSetting, kColumnAutoFit, columnAutoFit) && ok;
    ok = profile.WriteInt(kSetting, kShowDescriptionColumn, showDescriptionColumn) && ok;
    ok = profile.WriteInt(kSetting, kFontMode, fontMode) && ok;
    ok = profile.WriteInt(kSetting, kAppFirstLoad, appFirstLoad) && ok;
    ok = profile.WriteInt(kSetting, kMsgListBufSizeMb, msgListBufSizeMb) && ok;
    ok = profile.WriteInt(kSettings, kActivePanel, activePanel) && ok;
    return ok;
}
