// DottedPath: a dotted path cut apart once. Tested by
// runtime/dotted_path_test.cpp.
#include "runtime/dotted_path.h"

#include <cstring>

namespace {

// The length of a subscript of digits at text ("[12]"), its value in
// index; 0 for anything else. A leading zero or more than nine digits are
// left to the general route.
int LiteralSubscript(const char* text, int32_t& index) {
    if (text[0] != '[' || text[1] < '0' || text[1] > '9') return 0;
    int n = 1;
    int32_t value = 0;
    while (text[n] >= '0' && text[n] <= '9') {
        if (n > 9 || (n > 1 && value == 0)) return 0;
        value = value * 10 + (text[n] - '0');
        ++n;
    }
    if (text[n] != ']') return 0;
    index = value;
    return n + 1;
}

}  // namespace

bool DottedPath::Parse(const char* text) {
    steps.clear();
    size_t length = strcspn(text, "( \t\r\n\v\f");
    if (text[length] != 0 || length >= static_cast<size_t>(kMaxLength)) return false;
    // The names are cut apart in a copy of the path, with its zero byte.
    names.assign(text, length + 1);
    char* start = &names[0];
    for (char* name = start;;) {
        char* end = name + strcspn(name, ".[");
        int32_t subscript = -1;
        int taken = *end == '[' ? LiteralSubscript(end, subscript) : 0;
        char separator = end[taken];
        bool last = separator == 0;
        if ((*end == '[' && taken == 0) || (separator != 0 && separator != '.') || end == name ||
            (steps.empty() && last && taken == 0)) {
            steps.clear();
            return false;
        }
        steps.push_back(
            Step{static_cast<int32_t>(name - start), static_cast<int32_t>(end - name), subscript});
        *end = 0;
        if (last) return true;
        name = end + taken + 1;
    }
}
