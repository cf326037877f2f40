// Profile: the application's settings file in the private-profile (INI)
// format. Sections and keys compare without regard to case; writing a key
// keeps every other line of the file as it was. Tested by app/profile_test.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/otstr.h"
#include "base/path.h"

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

    void SetPath(const char* newPath);
    const char* GetPath() const { return path.GetBuffer(0); }

  private:
    // A section or key line of the image: offsets of the line, of its name
    // and of its value (keys), each without blanks around it.
    struct Entry {
        uint32_t lineBegin, lineEnd;
        uint32_t nameBegin, nameEnd;
        uint32_t valueBegin, valueEnd;
        enum Kind : uint8_t { kOther, kSection, kKey } kind;
    };
    // Where a key is, or where it would go.
    struct Place {
        int section = -1;  // entry of the first matching section's header
        int next = -1;     // entry of the header after it, -1 at the end
        int key = -1;      // entry of the key in a matching section
    };
    enum class State { kUnread, kMissing, kUnreadable, kParsed };

    // Parses the file unless the image is that of the version on disk.
    // False when the file exists but cannot be read.
    bool Refresh() const;
    void Parse(const char* data, size_t size) const;
    Entry IndexLine(size_t begin, size_t end) const;
    Place Find(const std::string& section, const std::string& key) const;
    bool SameName(const Entry& entry, const std::string& name) const;
    // Replaces count bytes of the image at offset with text; entries from
    // first on lie behind the change and move with it.
    void Splice(size_t offset, size_t count, const std::string& text, size_t first);

    OTSTR path;
    // The file as last parsed or written, with LF line ends, and its index.
    mutable std::string image;
    mutable std::vector<Entry> entries;
    mutable State state = State::kUnread;
    mutable vpath::FileStamp stamp;
    // The count of profile writes in the process when the image was made:
    // another Profile's write makes it parse again.
    mutable uint64_t generation = 0;
    // The image holds the file byte for byte (no CR LF, a final line end).
    mutable bool imageIsFile = false;
};
