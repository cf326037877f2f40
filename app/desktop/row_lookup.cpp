// What a row of the result tree stands for.
#include "app/desktop/row_lookup.h"

bool IsBitMarker(const QString& marker) {
    if (marker.size() != 8) return false;
    for (QChar c : marker) {
        if (c != '0' && c != '1' && c != '-') return false;
    }
    return true;
}

bool RowBytes(const QString& location, const QString& marker, int& start, int& length) {
    int colon = location.indexOf(':');
    if (colon < 0) return false;
    bool startOk = false, lengthOk = false;
    start = location.left(colon).trimmed().toInt(&startOk);
    length = location.mid(colon + 1).trimmed().toInt(&lengthOk);
    if (!startOk || !lengthOk || start < 0 || length < 0) return false;
    if (IsBitMarker(marker)) length = 1;
    return true;
}

namespace {

constexpr size_t kNone = std::string::npos;

size_t SkipBlanks(const std::string& s, size_t i) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\n' || s[i] == '\r' || s[i] == '\t')) ++i;
    return i;
}

// The position just past the JSON value that starts at i.
size_t SkipValue(const std::string& s, size_t i) {
    i = SkipBlanks(s, i);
    if (i >= s.size()) return kNone;
    if (s[i] == '"') {
        for (++i; i < s.size(); ++i) {
            if (s[i] == '\\') {
                ++i;
            } else if (s[i] == '"') {
                return i + 1;
            }
        }
        return kNone;
    }
    if (s[i] == '{' || s[i] == '[') {
        int depth = 0;
        while (i < s.size()) {
            char c = s[i];
            if (c == '"') {
                i = SkipValue(s, i);
                if (i == kNone) return kNone;
                continue;
            }
            if (c == '{' || c == '[') ++depth;
            if ((c == '}' || c == ']') && --depth == 0) return i + 1;
            ++i;
        }
        return kNone;
    }
    while (i < s.size() && s[i] != ',' && s[i] != '}' && s[i] != ']' && s[i] != ' ') ++i;
    return i;
}

// The start of the value of key in the object that starts at object.
size_t FindKey(const std::string& s, size_t object, const std::string& key) {
    if (object >= s.size() || s[object] != '{') return kNone;
    size_t i = object + 1;
    for (;;) {
        i = SkipBlanks(s, i);
        if (i >= s.size() || s[i] != '"') return kNone;
        size_t keyEnd = SkipValue(s, i);
        if (keyEnd == kNone) return kNone;
        bool match = s.compare(i + 1, keyEnd - i - 2, key) == 0;
        i = SkipBlanks(s, keyEnd);
        if (i >= s.size() || s[i] != ':') return kNone;
        size_t value = SkipBlanks(s, i + 1);
        if (match) return value;
        i = SkipBlanks(s, SkipValue(s, value));
        if (i >= s.size() || s[i] != ',') return kNone;
        ++i;
    }
}

// The start of element index of the array that starts at array.
size_t FindElement(const std::string& s, size_t array, int index) {
    if (array >= s.size() || s[array] != '[') return kNone;
    size_t i = SkipBlanks(s, array + 1);
    if (i < s.size() && s[i] == ']') return kNone;
    for (int n = 0; n < index; ++n) {
        i = SkipBlanks(s, SkipValue(s, i));
        if (i >= s.size() || s[i] != ',') return kNone;
        i = SkipBlanks(s, i + 1);
    }
    return i;
}

}  // namespace

std::string NodeJson(const std::string& messageJson, const QVector<int>& rowPath) {
    size_t node = FindKey(messageJson, SkipBlanks(messageJson, 0), "tree");
    if (node == kNone || messageJson.compare(node, 1, "{") != 0) return std::string();
    for (int row : rowPath) {
        size_t child = FindElement(messageJson, FindKey(messageJson, node, "children"), row);
        if (child == kNone) break;
        node = child;
    }
    size_t end = SkipValue(messageJson, node);
    return end == kNone ? std::string() : messageJson.substr(node, end - node);
}