// Profile: the application's settings file in the private-profile (INI)
// format. Sections and keys compare without regard to case; writing a key
// keeps every other line of the file as it was. Tested by app/profile_test.cpp.
#pragma once

#include <cstdint>

#include "base/otstr.h"

class Profile {
  public:
    // The settings file of the application, in the current directory.
    static constexpr const char kDefaultPath[] = "Vantor.ini";

    explicit Profile(const char* path = kDefaultPath);

    // The value of key in section, without blanks around it; def (may be
    // null for empty) when the file, the section or the key is missing.
    void GetString(const char* section, const char* key, const char* def, OTSTR& out) const;
    // The value read as a decimal integer: an optional sign and the leading
    // digits (saturating at the 32-bit limits), 0 when it starts with none;
    // def when the key is missing.
    int32_t GetInt(const char* section, const char* key, int32_t def) const;
    // Sets key in section, adding the section (at the end) or the key (at the
    // end of its section) when missing. False when the file cannot be
    // written, which leaves it as it was: it is replaced only as a whole.
    bool WriteString(const char* section, const char* key, const char* value);
    bool WriteInt(const char* section, const char* key, int32_t value);

    void SetPath(const char* newPath) { path = newPath; }
    const char* GetPath() const { return path.GetBuffer(0); }

  private:
    OTSTR path;
};
