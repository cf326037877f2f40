// Test helper: a strict checker of the compact JSON the application writes
// (RFC 8259 without blanks between tokens, strings of well-formed UTF-8).
// Used by app/result_json_test.cpp and app/cli/cli_test.cpp.
#pragma once

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

class JsonCheck {
  public:
    // True when text is exactly one JSON value. The contents of its strings
    // (keys included) are appended to strings, each \u escape decoded to the
    // UTF-8 of its code (surrogate pairs are not joined).
    static bool Valid(const std::string& text, std::string* strings = nullptr) {
        JsonCheck check(text);
        bool ok = check.Value(0) && check.at == text.size();
        if (strings != nullptr) *strings += check.strings;
        return ok;
    }

    // The length of the well-formed UTF-8 sequence at s[i] (1 for ASCII),
    // 0 when it is malformed, overlong, a surrogate or above U+10FFFF.
    static size_t Utf8Length(const std::string& s, size_t i) {
        auto lead = static_cast<uint8_t>(s[i]);
        size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        if (n < 2 || lead >= 0xF8 || i + n > s.size()) return lead < 0x80 ? 1 : 0;
        uint32_t c = lead & (0x7F >> n);
        for (size_t k = i + 1; k < i + n; ++k) {
            if ((s[k] & 0xC0) != 0x80) return 0;
            c = c << 6 | (s[k] & 0x3F);
        }
        static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        return c < kLeast[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ? 0 : n;
    }

  private:
    explicit JsonCheck(const std::string& text) : s(text) {}

    bool Eat(char c) { return at < s.size() && s[at] == c ? (++at, true) : false; }
    bool Digits() {
        size_t from = at;
        while (at < s.size() && s[at] >= '0' && s[at] <= '9') ++at;
        return at > from;
    }

    bool Value(int depth) {
        if (depth > 1000) return false;
        if (Eat('{')) return List('}', depth);
        if (Eat('[')) return List(']', depth);
        if (Eat('"')) return String();
        for (const char* word : {"true", "false", "null"}) {
            if (s.compare(at, strlen(word), word) == 0) return at += strlen(word), true;
        }
        // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
        Eat('-');
        size_t first = at;
        if (!Digits() || (s[first] == '0' && at > first + 1)) return false;
        if (Eat('.') && !Digits()) return false;
        if (!Eat('e') && !Eat('E')) return true;
        if (!Eat('+')) Eat('-');
        return Digits();
    }

    bool List(char close, int depth) {
        if (Eat(close)) return true;
        do {
            if (close == '}' && !(Eat('"') && String() && Eat(':'))) return false;
            if (!Value(depth + 1)) return false;
        } while (Eat(','));
        return Eat(close);
    }

    bool String() {
        static const char kNamed[] = "\"\\/bfnrt";
        while (at < s.size()) {
            auto c = static_cast<uint8_t>(s[at]);
            size_t n = Utf8Length(s, at);
            if (c == '"') return ++at, true;
            if (c < 0x20 || n == 0) return false;
            if (c != '\\') {
                strings.append(s, at, n);
                at += n;
                continue;
            }
            const char* named = ++at < s.size() && s[at] != 0 ? strchr(kNamed, s[at]) : nullptr;
            if (named != nullptr) {
                strings += "\"\\/\b\f\n\r\t"[named - kNamed];
                ++at;
                continue;
            }
            if (!Eat('u') || at + 4 > s.size()) return false;
            for (size_t k = at; k < at + 4; ++k) {
                if (!isxdigit(static_cast<uint8_t>(s[k]))) return false;
            }
            auto code = static_cast<uint32_t>(strtoul(s.substr(at, 4).c_str(), nullptr, 16));
            at += 4;
            if (code < 0x80) {
                strings += static_cast<char>(code);
            } else if (code < 0x800) {
                strings +=
                    {static_cast<char>(0xC0 | code >> 6), static_cast<char>(0x80 | (code & 0x3F))};
            } else {
                strings += {static_cast<char>(0xE0 | code >> 12),
                            static_cast<char>(0x80 | (code >> 6 & 0x3F)),
                            static_cast<char>(0x80 | (code & 0x3F))};
            }
        }
        return false;
    }

    const std::string& s;
    size_t at = 0;
    std::string strings;
};
