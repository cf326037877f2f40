// Profile: reading and writing keys of the INI settings file. The file is
// parsed once into an image with LF line ends and an index of its section
// and key lines; reads use them while the file on disk is the version
// parsed. A write changes the image and replaces the file with it whole, so
// that the file keeps every line it held before. Tested by
// app/profile_test.cpp.
#include "app/profile.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Profile writes in this process so far; see Profile::generation.
uint64_t g_profileWrites = 0;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string Trim(const char* text) {
    std::string s(text != nullptr ? text : "");
    size_t begin = 0;
    size_t end = s.size();
    while (begin < end && IsBlank(s[begin])) ++begin;
    while (end > begin && IsBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

inline unsigned char Fold(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
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

Profile::Profile(const char* pathIn) : path(pathIn != nullptr ? pathIn : "") {}

void Profile::SetPath(const char* newPath) {
    path = newPath;
    state = State::kUnread;
}

bool Profile::Refresh() const {
    vpath::FileStamp now = vpath::GetFileStamp(GetPath());
    if (state != State::kUnread && now == stamp && generation == g_profileWrites) {
        return state != State::kUnreadable;
    }
    image.clear();
    image.shrink_to_fit();
    entries.clear();
    entries.shrink_to_fit();
    generation = g_profileWrites;
    imageIsFile = false;
    OTSTR data;
    if (now.size < 0) {
        state = State::kMissing;
        stamp = now;
        return true;
    }
    if (!vpath::ReadFile(GetPath(), data, stamp)) {
        state = State::kUnreadable;
        stamp = now;
        return false;
    }
    Parse(data.GetBuffer(0), static_cast<size_t>(data.GetLength()));
    state = State::kParsed;
    return true;
}

// Splits the file into lines. A CR before the LF belongs to the line end;
// a last line without a line end is still a line. Each line enters the
// image with an LF.
void Profile::Parse(const char* data, size_t size) const {
    image.reserve(size + 1);
    bool same = true;
    size_t pos = 0;
    while (pos < size) {
        const void* lf = memchr(data + pos, '\n', size - pos);
        size_t end =
            lf != nullptr ? static_cast<size_t>(static_cast<const char*>(lf) - data) : size;
        size_t stop = end;
        if (stop > pos && data[stop - 1] == '\r') --stop;
        if (stop != end || end == size) same = false;
        size_t begin = image.size();
        image.append(data + pos, stop - pos);
        Entry entry = IndexLine(begin, image.size());
        if (entry.kind != Entry::kOther) entries.push_back(entry);
        image += '\n';
        pos = end + 1;
    }
    imageIsFile = same;
}

// What the line [begin, end) of the image is.
Profile::Entry Profile::IndexLine(size_t begin, size_t end) const {
    Entry e{};
    e.lineBegin = static_cast<uint32_t>(begin);
    e.lineEnd = static_cast<uint32_t>(end);
    auto trimmed = [&](size_t from, size_t to, uint32_t& b, uint32_t& t) {
        while (from < to && IsBlank(image[from])) ++from;
        while (to > from && IsBlank(image[to - 1])) --to;
        b = static_cast<uint32_t>(from);
        t = static_cast<uint32_t>(to);
    };
    size_t first = begin;
    while (first < end && IsBlank(image[first])) ++first;
    // Searches stay within the line, so that parsing is linear in the file.
    auto within = [&](size_t from, char c) {
        const void* at = memchr(image.data() + from, c, end - from);
        return at != nullptr ? static_cast<size_t>(static_cast<const char*>(at) - image.data())
                             : end;
    };
    if (first < end && image[first] == '[') {
        size_t close = within(first + 1, ']');
        e.kind = Entry::kSection;
        trimmed(first + 1, close, e.nameBegin, e.nameEnd);
    } else if (first < end && image[first] != ';') {
        size_t eq = within(first, '=');
        if (eq < end) {
            e.kind = Entry::kKey;
            trimmed(first, eq, e.nameBegin, e.nameEnd);
            trimmed(eq + 1, end, e.valueBegin, e.valueEnd);
        }
    }
    return e;
}

bool Profile::SameName(const Entry& entry, const std::string& name) const {
    if (entry.nameEnd - entry.nameBegin != name.size()) return false;
    const char* p = image.data() + entry.nameBegin;
    for (size_t i = 0; i < name.size(); ++i) {
        if (Fold(static_cast<unsigned char>(p[i])) != Fold(static_cast<unsigned char>(name[i]))) {
            return false;
        }
    }
    return true;
}

Profile::Place Profile::Find(const std::string& section, const std::string& key) const {
    Place place;
    bool inSection = false;
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        if (e.kind == Entry::kSection) {
            if (place.section >= 0 && place.next < 0) place.next = static_cast<int>(i);
            inSection = SameName(e, section);
            if (inSection && place.section < 0) place.section = static_cast<int>(i);
        } else if (inSection && SameName(e, key)) {
            place.key = static_cast<int>(i);
            break;
        }
    }
    return place;
}

void Profile::GetString(const char* section, const char* key, const char* def, OTSTR& out) const {
    out.Empty();
    if (Refresh()) {
        Place place = Find(Trim(section), Trim(key));
        if (place.key >= 0) {
            const Entry& e = entries[static_cast<size_t>(place.key)];
            if (e.valueEnd > e.valueBegin) {
                out.Assign(image.data() + e.valueBegin,
                           static_cast<int>(e.valueEnd - e.valueBegin));
            }
            return;
        }
    }
    if (def != nullptr && def[0] != '\0') out.Assign(def, -1);
}

int32_t Profile::GetInt(const char* section, const char* key, int32_t def) const {
    if (!Refresh()) return def;
    Place place = Find(Trim(section), Trim(key));
    if (place.key < 0) return def;

    const Entry& e = entries[static_cast<size_t>(place.key)];
    const char* value = image.data() + e.valueBegin;
    const size_t size = e.valueEnd - e.valueBegin;
    size_t i = 0;
    bool negative = false;
    if (i < size && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
    // The magnitude stops at the limit of the sign, so INT32_MIN is reachable.
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    int64_t magnitude = 0;
    for (; i < size && value[i] >= '0' && value[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (value[i] - '0');
        if (magnitude > limit) magnitude = limit;
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

void Profile::Splice(size_t offset, size_t count, const std::string& text, size_t first) {
    image.replace(offset, count, text);
    const int64_t delta = static_cast<int64_t>(text.size()) - static_cast<int64_t>(count);
    for (size_t i = first; i < entries.size(); ++i) {
        Entry& e = entries[i];
        for (uint32_t* at :
             {&e.lineBegin, &e.lineEnd, &e.nameBegin, &e.nameEnd, &e.valueBegin, &e.valueEnd}) {
            *at = static_cast<uint32_t>(*at + delta);
        }
    }
}

bool Profile::WriteString(const char* section, const char* key, const char* value) {
    std::string sectionName = Trim(section);
    std::string keyName = Trim(key);
    if (!ValidName(sectionName, "]") || !ValidName(keyName, "=")) return false;
    // A value ends at the first line end; anything beyond could not be read back.
    std::string text(value != nullptr ? value : "");
    size_t cut = text.find_first_of("\r\n");
    if (cut != std::string::npos) text.resize(cut);
    std::string line = keyName + "=" + Trim(text.c_str());

    // A file that exists but cannot be read is left alone.
    if (!Refresh()) return false;
    Place place = Find(sectionName, keyName);
    if (place.key >= 0) {
        const size_t index = static_cast<size_t>(place.key);
        const Entry& e = entries[index];
        if (imageIsFile && image.compare(e.lineBegin, e.lineEnd - e.lineBegin, line) == 0) {
            return true;  // the file holds exactly this already
        }
        Splice(e.lineBegin, e.lineEnd - e.lineBegin, line, index + 1);
        entries[index] =
            IndexLine(entries[index].lineBegin, entries[index].lineBegin + line.size());
    } else if (place.section >= 0) {
        // After the last line of the section that is not blank.
        const size_t header = static_cast<size_t>(place.section);
        const size_t floor = entries[header].lineEnd + 1;
        size_t at =
            place.next >= 0 ? entries[static_cast<size_t>(place.next)].lineBegin : image.size();
        while (at > floor) {
            size_t begin = image.rfind('\n', at - 2);
            begin = begin == std::string::npos ? 0 : begin + 1;
            size_t b = begin;
            while (b < at - 1 && IsBlank(image[b])) ++b;
            if (b < at - 1) break;
            at = begin;
        }
        const size_t index = place.next >= 0 ? static_cast<size_t>(place.next) : entries.size();
        Splice(at, 0, line + "\n", index);
        entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(index),
                       IndexLine(at, at + line.size()));
    } else {
        size_t at = image.size();
        image += "[" + sectionName + "]\n" + line + "\n";
        entries.push_back(IndexLine(at, at + sectionName.size() + 2));
        at += sectionName.size() + 3;
        entries.push_back(IndexLine(at, at + line.size()));
    }

    generation = ++g_profileWrites;
    if (!vpath::ReplaceFile(GetPath(), image.data(), image.size())) {
        state = State::kUnread;  // the file is as it was: read it again
        return false;
    }
    state = State::kParsed;
    imageIsFile = true;
    stamp = vpath::GetFileStamp(GetPath());
    return true;
}

bool Profile::WriteInt(const char* section, const char* key, int32_t value) {
    char text[16];
    snprintf(text, sizeof text, "%d", static_cast<int>(value));
    return WriteString(section, key, text);
}
