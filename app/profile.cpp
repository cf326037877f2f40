// Profile: reading and writing keys of the INI settings file. The file is
// read whole for every call and rewritten whole for every write, so that it
// always holds every line it held before. Tested by app/profile_test.cpp.
#include "app/profile.h"

#include <cstdio>
#include <string>
#include <vector>

#include "base/path.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string Trim(const std::string& s, size_t begin, size_t end) {
    while (begin < end && IsBlank(s[begin])) ++begin;
    while (end > begin && IsBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

std::string Trim(const char* text) {
    std::string s(text != nullptr ? text : "");
    return Trim(s, 0, s.size());
}

inline unsigned char Fold(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

// Byte-wise ASCII comparison without regard to case; other bytes compare as
// they are.
bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Fold(static_cast<unsigned char>(a[i])) != Fold(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

enum class LineKind { kOther, kSection, kKey };

// One line of the file as read (without its line end) and what it says.
struct Line {
    std::string text;
    LineKind kind = LineKind::kOther;
    std::string name;   // section name or key, trimmed
    std::string value;  // trimmed
};

// Splits the file image into lines. A CR before the LF belongs to the line
// end; a last line without a line end is still a line.
std::vector<Line> ParseLines(const char* data, size_t size) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < size) {
        size_t end = pos;
        while (end < size && data[end] != '\n') ++end;
        size_t stop = end;
        if (stop > pos && data[stop - 1] == '\r') --stop;
        Line line;
        line.text.assign(data + pos, stop - pos);
        const std::string& t = line.text;
        size_t first = 0;
        while (first < t.size() && IsBlank(t[first])) ++first;
        if (first < t.size() && t[first] == '[') {
            size_t close = t.find(']', first + 1);
            if (close == std::string::npos) close = t.size();
            line.kind = LineKind::kSection;
            line.name = Trim(t, first + 1, close);
        } else if (first < t.size() && t[first] != ';') {
            size_t eq = t.find('=', first);
            if (eq != std::string::npos) {
                line.kind = LineKind::kKey;
                line.name = Trim(t, first, eq);
                line.value = Trim(t, eq + 1, t.size());
            }
        }
        lines.push_back(std::move(line));
        pos = end + 1;
    }
    return lines;
}

// Where a key is, or where it would go.
struct Place {
    int section = -1;      // header line of the first matching section
    int key = -1;          // the key's line in a matching section
    int insertAfter = -1;  // last non-blank line of the first matching section
};

Place Find(const std::vector<Line>& lines, const std::string& section, const std::string& key) {
    Place place;
    bool inSection = false;
    bool inFirst = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.kind == LineKind::kSection) {
            inSection = SameName(line.name, section);
            inFirst = inSection && place.section < 0;
            if (inFirst) {
                place.section = static_cast<int>(i);
                place.insertAfter = static_cast<int>(i);
            }
            continue;
        }
        if (!inSection) continue;
        if (line.kind == LineKind::kKey && place.key < 0 && SameName(line.name, key)) {
            place.key = static_cast<int>(i);
        }
        if (inFirst && !Trim(line.text, 0, line.text.size()).empty()) {
            place.insertAfter = static_cast<int>(i);
        }
    }
    return place;
}

// The whole file; false when it is missing or cannot be read.
bool ReadLines(const char* path, std::vector<Line>& lines) {
    OTSTR data;
    if (!vpath::ReadFile(path, false, data)) return false;
    lines = ParseLines(data.GetBuffer(), static_cast<size_t>(data.GetLength()));
    return true;
}

// A section or key name that reads back as itself.
bool ValidName(const std::string& name, const char* forbidden) {
    if (name.empty() || name[0] == ';' || name[0] == '[') return false;
    for (char c : name) {
        if (c == '\n' || c == '\r') return false;
        for (const char* f = forbidden; *f != '\0'; ++f) {
            if (c == *f) return false;
        }
    }
    return true;
}

}  // namespace

Profile::Profile(const char* path) : path(path != nullptr ? path : "") {}

void Profile::GetString(const char* section, const char* key, const char* def, OTSTR& out) const {
    std::vector<Line> lines;
    if (ReadLines(GetPath(), lines)) {
        Place place = Find(lines, Trim(section), Trim(key));
        if (place.key >= 0) {
            const std::string& value = lines[static_cast<size_t>(place.key)].value;
            out.Empty();
            if (!value.empty()) out.Assign(value.data(), static_cast<int>(value.size()));
            return;
        }
    }
    out.Empty();
    if (def != nullptr && def[0] != '\0') out.Assign(def, -1);
}

int32_t Profile::GetInt(const char* section, const char* key, int32_t def) const {
    std::vector<Line> lines;
    if (!ReadLines(GetPath(), lines)) return def;
    Place place = Find(lines, Trim(section), Trim(key));
    if (place.key < 0) return def;

    const std::string& value = lines[static_cast<size_t>(place.key)].value;
    size_t i = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
    // The magnitude stops at the limit of the sign, so INT32_MIN is reachable.
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    int64_t magnitude = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (value[i] - '0');
        if (magnitude > limit) magnitude = limit;
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

bool Profile::WriteString(const char* section, const char* key, const char* value) {
    std::string sectionName = Trim(section);
    std::string keyName = Trim(key);
    if (!ValidName(sectionName, "]") || !ValidName(keyName, "=")) return false;
    // A value ends at the first line end; anything beyond could not be read back.
    std::string text(value != nullptr ? value : "");
    size_t cut = text.find_first_of("\r\n");
    if (cut != std::string::npos) text.resize(cut);
    std::string entry = keyName + "=" + Trim(text, 0, text.size());

    std::vector<Line> lines;
    if (!ReadLines(GetPath(), lines)) {
        // A file that exists but cannot be read is left alone.
        if (vpath::FileExists(GetPath())) return false;
        lines.clear();
    }

    Place place = Find(lines, sectionName, keyName);
    Line added;
    added.text = entry;
    if (place.key >= 0) {
        lines[static_cast<size_t>(place.key)].text = entry;
    } else if (place.section >= 0) {
        lines.insert(lines.begin() + place.insertAfter + 1, added);
    } else {
        Line header;
        header.text = "[" + sectionName + "]";
        lines.push_back(header);
        lines.push_back(added);
    }

    std::string image;
    for (const Line& line : lines) {
        image += line.text;
        image += '\n';
    }

    // Replaced as a whole: a failed write leaves the old file as it was.
    return vpath::ReplaceFile(GetPath(), image.data(), image.size());
}

bool Profile::WriteInt(const char* section, const char* key, int32_t value) {
    char text[16];
    snprintf(text, sizeof text, "%d", static_cast<int>(value));
    return WriteString(section, key, text);
}
