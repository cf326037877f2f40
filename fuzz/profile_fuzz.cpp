// Fuzz target: the bytes as the settings file, read by AppSettings::Load
// through a Profile; then a key written and read back, and the settings
// saved and loaded again, which must give the same settings.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "app/app_settings.h"
#include "app/profile.h"
#include "fuzz/fuzz_support.h"

namespace {

// What a text value reads back as once written: up to its first line end
// (or zero byte), without blanks around it.
std::string Written(const OTSTR& value) {
    std::string s(value.GetBuffer(0) != nullptr ? value.GetBuffer(0) : "");
    s.resize(s.find_first_of("\r\n") == std::string::npos ? s.size() : s.find_first_of("\r\n"));
    const char* blanks = " \t\r\v\f";
    size_t begin = s.find_first_not_of(blanks);
    if (begin == std::string::npos) return "";
    return s.substr(begin, s.find_last_not_of(blanks) - begin + 1);
}

bool SameSettings(const AppSettings& a, const AppSettings& b) {
    return Written(a.lastBrowseDir) == b.lastBrowseDir.GetBuffer(0) &&
           a.expendTypeOF == b.expendTypeOF && a.commentMode == b.commentMode &&
           a.showNameColumn == b.showNameColumn && a.displayTreeMode == b.displayTreeMode &&
           a.columnAutoFit == b.columnAutoFit &&
           a.showDescriptionColumn == b.showDescriptionColumn && a.fontMode == b.fontMode &&
           a.appFirstLoad == b.appFirstLoad && a.msgListBufSizeMb == b.msgListBufSizeMb &&
           a.activePanel == b.activePanel;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        fuzzsupport::QuietTrace();
        fuzzsupport::EnterWorkDir("profile");
        return true;
    }();
    (void)ready;

    fuzzsupport::WriteBytes(Profile::kDefaultPath, data, size);
    Profile profile;
    AppSettings first;
    first.Load(profile);
    if (first.commentMode < 0 || first.commentMode >= kCommentModeCount || first.activePanel < 0 ||
        first.activePanel > 1 || first.msgListBufSizeMb < 1 ||
        first.msgListBufSizeMb > AppSettings::kMaxMsgListBufSizeMb) {
        fuzzsupport::Violated("a setting out of its range was loaded");
    }
    OTSTR text;
    profile.GetString(" Settings ", "windowpos", nullptr, text);
    profile.GetInt("setting", " ListColumn", -7);

    if (!profile.WriteString(settingskey::kSetting, "FuzzKey", " a value\tb ")) {
        fuzzsupport::Violated("a key could not be written");
    }
    profile.GetString(settingskey::kSetting, "FUZZKEY", "", text);
    if (strcmp(text.GetBuffer(0), "a value\tb") != 0) {
        fuzzsupport::Violated("a written key does not read back");
    }
    if (!first.Save(profile)) fuzzsupport::Violated("the settings could not be saved");
    AppSettings second;
    second.Load(profile);
    if (!SameSettings(first, second)) fuzzsupport::Violated("saved settings load differently");
    return 0;
}
