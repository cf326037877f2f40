// The JSON line of one translation: the message's outcome and the decoded
// tree walked the way the tree dump walks it (see result_json.h).
// Tested by app/result_json_test.cpp.
#include "app/result_json.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "app/application.h"
#include "base/cast_cache.h"
#include "decoder/decoder_item.h"
#include "decoder/protocol_decoder.h"
#include "types/cstruct.h"
#include "types/instance_dump.h"
#include "types/struct_definition.h"
#include "types/type_codes.h"
#include "types/variable_item.h"
#include "values/value_type.h"

namespace {

constexpr char kLeftoverWarning[] = "leave %d bytes not translated";
constexpr char kNoCaption[] = "-";

// The length of the well-formed UTF-8 sequence at p (n bytes readable), 0
// when there is none: overlong forms, surrogates and code points above
// U+10FFFF are not well formed.
size_t Utf8SequenceLength(const uint8_t* p, size_t n) {
    auto in = [](uint8_t c, uint8_t low, uint8_t high) { return c >= low && c <= high; };
    uint8_t c = p[0];
    if (in(c, 0xC2, 0xDF)) return n >= 2 && in(p[1], 0x80, 0xBF) ? 2 : 0;
    if (in(c, 0xE0, 0xEF)) {
        uint8_t low = c == 0xE0 ? 0xA0 : 0x80;
        uint8_t high = c == 0xED ? 0x9F : 0xBF;
        return n >= 3 && in(p[1], low, high) && in(p[2], 0x80, 0xBF) ? 3 : 0;
    }
    if (in(c, 0xF0, 0xF4)) {
        uint8_t low = c == 0xF0 ? 0x90 : 0x80;
        uint8_t high = c == 0xF4 ? 0x8F : 0xBF;
        return n >= 4 && in(p[1], low, high) && in(p[2], 0x80, 0xBF) && in(p[3], 0x80, 0xBF) ? 4
                                                                                             : 0;
    }
    return 0;
}

void AppendText(const OTSTR& text, std::string& out) {
    int length = text.GetLength();
    AppendJsonString(text.GetBuffer(), length > 0 ? static_cast<size_t>(length) : 0, out);
}

void AppendText(const char* text, std::string& out) {
    if (text == nullptr) {
        out.append("null");
    } else {
        AppendJsonString(text, strlen(text), out);
    }
}

// What an item or a message does not have is null, never an empty text or
// a placeholder: these write null for an empty text and an unknown position.
void AppendTextOrNull(const OTSTR& text, std::string& out) {
    if (text.IsEmpty()) {
        out.append("null");
    } else {
        AppendText(text, out);
    }
}

void AppendTextOrNull(const char* text, std::string& out) {
    AppendText(text != nullptr && *text != 0 ? text : nullptr, out);
}

// ,"key": (keys are plain ASCII), made in one piece and appended at once.
template <size_t N>
void AppendKey(const char (&key)[N], std::string& out) {
    char text[N + 3];
    text[0] = ',';
    text[1] = '"';
    memcpy(text + 2, key, N - 1);
    text[N + 1] = '"';
    text[N + 2] = ':';
    out.append(text, N + 3);
}

void AppendNumber(int64_t value, std::string& out) {
    char text[24];
    auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, static_cast<size_t>(result.ptr - text));
}

// The shortest of 15 or 17 significant digits that reads back as value;
// null for NaN and the infinities, which JSON cannot hold.
void AppendDouble(double value, std::string& out) {
    if (!std::isfinite(value)) {
        out.append("null");
        return;
    }
    char text[40];
    snprintf(text, sizeof text, "%.15g", value);
    if (strtod(text, nullptr) != value) snprintf(text, sizeof text, "%.17g", value);
    out.append(text);
}

// ,"start":S,"length":L,"marker": in one piece, a position below 0 as null.
void AppendLocation(int32_t start, int32_t length, std::string& out) {
    char text[64];
    char* at = text;
    auto put = [&at](const char* words, int32_t value) {
        size_t n = strlen(words);
        memcpy(at, words, n);
        at += n;
        if (value < 0) {
            memcpy(at, "null", 4);
            at += 4;
        } else {
            at = std::to_chars(at, at + 12, value).ptr;
        }
    };
    put(",\"start\":", start);
    put(",\"length\":", length);
    memcpy(at, ",\"marker\":", 10);
    out.append(text, static_cast<size_t>(at + 10 - text));
}

// ,"failed":true or false, and the key of the type.
void AppendFailedAndTypeKey(bool failed, std::string& out) {
    out.append(failed ? ",\"failed\":true,\"type\":" : ",\"failed\":false,\"type\":");
}

void AppendBool(bool value, std::string& out) {
    out.append(value ? "true" : "false");
}

bool IsStructCode(int32_t code) {
    return code == kDeclStruct || code == kDeclChoice;
}

// How the value of an item goes out, by its declared type; the storage type
// decides for codes without a form of their own.
enum class Form { kNumber, kDouble, kChar, kHex, kText, kNone, kStruct };

Form FormOf(const CVariableItem& item) {
    switch (item.header.declaredType) {
        case kDeclInt1:
        case kDeclInt2:
        case kDeclInt4:
        case kDeclUInt1:
        case kDeclUInt2:
        case kDeclUInt4:
        case kDeclByte:
        case kDeclWord:
        case kDeclDword:
            break;
        case kDeclDouble:
            return Form::kDouble;
        case kDeclTchar:
            return Form::kChar;
        case kDeclOctet:
            return Form::kHex;
        case kDeclString:
        case kDeclMemo:
            return Form::kText;
        case kDeclStruct:
        case kDeclChoice:
            return Form::kStruct;
        case kDeclPvoid:
            return Form::kNone;
        default:
            if (IsStructCode(item.header.baseType)) return Form::kStruct;
            break;
    }
    int32_t type = item.GetType();
    if (IsIntegerType(type)) return Form::kNumber;
    if (type == kTypeDouble) return Form::kDouble;
    if (type == kTypeOctet) return Form::kText;
    return Form::kNone;
}

// The type name as written in the script ("UINT1", "Point", "Choice"); null
// for an item that was never created (the root of a translation that
// stopped before decoding).
void AppendTypeName(const CVariableItem& item, std::string& out) {
    if (!item.header.typeName.IsEmpty()) {
        AppendText(item.header.typeName, out);
    } else if (item.structDef != nullptr && !item.structDef->GetName().IsEmpty()) {
        AppendText(item.structDef->GetName(), out);
    } else if (IsValidValueType(item.GetType())) {
        AppendText(TypeCodeText(item.header.declaredType), out);
    } else {
        out.append("null");
    }
}

class TreeWriter {
  public:
    explicit TreeWriter(std::string& out) : out(out) {}

    // The node of item; element >= 0 names it "name[element]" (the
    // integrated struct of that element of an array).
    void Node(CVariableItem& item, int depth, int32_t element = -1) {
        Form form = FormOf(item);
        int32_t count = item.GetCount();
        out.append("{\"name\":");
        if (element < 0) {
            AppendText(item.GetItemName(), out);
        } else {
            OTSTR name(item.GetItemName());
            name.safeAppends("[%d]", static_cast<int>(element));
            AppendText(name, out);
        }
        AppendKey("description", out);
        AppendDescription(item);
        // The comment hooks run before "failed" is read: a failing Dump
        // procedure marks the item.
        Comments(item, form, count);
        DecoderItem* decoded = itemCast.Cast(&item);
        AppendLocation(decoded != nullptr ? decoded->start : -1,
                       decoded != nullptr ? decoded->length : -1, out);
        // Without a location the marker ("***?****") says nothing more.
        marker.Empty();
        if (item.HasLocation()) item.MarkerText(marker);
        AppendTextOrNull(marker, out);
        AppendFailedAndTypeKey(item.IsFailed(), out);
        AppendTypeName(item, out);
        AppendKey("value", out);
        Value(item, form, count);
        out.append(",\"children\":[");
        if (depth < kJsonMaxDepth) Children(item, form, count, depth + 1);
        out.append("]}");
    }

  private:
    void AppendDescription(const CVariableItem& item) {
        AppendTextOrNull(ShownDescription(item), out);
    }

    // "comment": element 0's comment; "comments": every element's, for an
    // array of more than one element. null where the item has no comments,
    // the hook fails or gives none (the report's "unknow").
    void Comments(CVariableItem& item, Form form, int32_t count) {
        AppendKey("comment", out);
        bool shown = form != Form::kStruct && count >= 1 && item.HasValue() && item.HasComment();
        if (!shown) {
            out.append("null");
            return;
        }
        OTSTR first;
        bool found = item.CommentText(0, first, "") != 0;
        AppendComment(found, first);
        if (count < 2) return;
        AppendKey("comments", out);
        out.push_back('[');
        AppendComment(found, first);
        OTSTR text;
        for (int32_t i = 1; i < count; ++i) {
            out.push_back(',');
            AppendComment(item.CommentText(i, text, "") != 0, text);
        }
        out.push_back(']');
    }

    // The default text given to the hook is empty, so an element without a
    // comment comes back empty.
    void AppendComment(bool found, const OTSTR& text) {
        if (found) {
            AppendTextOrNull(text, out);
        } else {
            out.append("null");
        }
    }

    // ---- values ----

    void Value(CVariableItem& item, Form form, int32_t count) {
        if (!item.HasValue() || form == Form::kNone || form == Form::kStruct) {
            out.append("null");
            return;
        }
        if (form == Form::kChar) {
            Characters(item, count);
            return;
        }
        if (count != 1) out.push_back('[');
        for (int32_t i = 0; i < count; ++i) {
            if (i > 0) out.push_back(',');
            Element(item, form, i);
        }
        if (count != 1) out.push_back(']');
    }

    void Element(CVariableItem& item, Form form, int32_t index) {
        int32_t type = item.GetType();
        if (form == Form::kNumber && IsIntegerType(type)) {
            if (IsSignedType(type)) {
                int32_t value = 0;
                item.getAt_as_long(index, value);
                AppendNumber(value, out);
            } else {
                uint32_t value = 0;
                item.getAt_as_ulong(index, value);
                AppendNumber(value, out);
            }
            return;
        }
        if ((form == Form::kNumber || form == Form::kDouble) && IsNumericType(type)) {
            double value = 0;
            item.getAt_as_double(index, value);
            AppendDouble(value, out);
            return;
        }
        OTSTR text;
        if (type != kTypeOctet) {
            item.getTextAt(index, text);
            AppendText(text, out);
            return;
        }
        item.getAt(index, text);
        if (form != Form::kHex) {
            AppendText(text, out);
            return;
        }
        static const char kDigits[] = "0123456789ABCDEF";
        const auto* bytes = reinterpret_cast<const uint8_t*>(text.GetBuffer());
        out.push_back('"');
        for (int j = 0; j < text.GetLength(); ++j) {
            out.push_back(kDigits[bytes[j] >> 4]);
            out.push_back(kDigits[bytes[j] & 15]);
        }
        out.push_back('"');
    }

    // TCHAR: one text of the elements' characters up to the first zero.
    void Characters(CVariableItem& item, int32_t count) {
        std::string text;
        OTSTR element;
        for (int32_t i = 0; i < count; ++i) {
            int32_t code = 0;
            if (item.GetType() == kTypeOctet) {
                item.getAt(i, element);
                code = element.IsEmpty() ? 0 : static_cast<uint8_t>(element.GetAt(0));
            } else {
                item.getAt_as_long(i, code);
            }
            if ((code & 0xff) == 0) break;
            text.push_back(static_cast<char>(code & 0xff));
        }
        AppendJsonString(text.data(), text.size(), out);
    }

    // ---- children ----

    void Children(CVariableItem& item, Form form, int32_t count, int depth) {
        bool any = false;
        auto next = [&]() {
            if (any) out.push_back(',');
            any = true;
        };
        if (form == Form::kStruct) {
            if (count == 1) {
                if (CStruct* s = item.StructAt(0)) Members(*s, depth, any);
            } else {
                for (int32_t i = 0; i < count; ++i) {
                    next();
                    StructElement(item, i, depth);
                }
            }
        }
        AttachedStructs* attached = attachedCast.Cast(&item);
        if (attached == nullptr) return;
        if (form != Form::kStruct && item.HasIntegrated(true)) {
            for (int32_t i = 0; i < count; ++i) {
                if (CVariableItem* integrated = attached->IntegratedAt(i)) {
                    next();
                    Node(*integrated, depth, count == 1 ? -1 : i);
                }
            }
        }
        for (int32_t i = 0;; ++i) {
            CVariableItem* content = attached->ContentAt(i);
            if (content == nullptr) break;
            next();
            Node(*content, depth);
        }
    }

    void Members(CStruct& s, int depth, bool& any) {
        int n = s.GetCount(false);
        for (int m = 0; m < n; ++m) {
            CVariableItem* member = s.GetItemAt(m, false);
            if (member == nullptr) continue;
            if (any) out.push_back(',');
            any = true;
            Node(*member, depth);
        }
    }

    // Element index of a struct array, named "name[index]", with the
    // location and failure mark of the element struct.
    void StructElement(CVariableItem& item, int32_t index, int depth) {
        CStruct* s = item.StructAt(index);
        DecoderStruct* element = structCast.Cast(s);
        OTSTR name(item.GetItemName());
        name.safeAppends("[%d]", static_cast<int>(index));
        out.append("{\"name\":");
        AppendText(name, out);
        AppendKey("description", out);
        AppendDescription(item);
        out.append(",\"comment\":null");
        AppendLocation(element != nullptr ? element->start : -1,
                       element != nullptr ? element->length : -1, out);
        marker.Empty();
        if (element != nullptr && element->HasLocation()) element->MarkerText(marker);
        AppendTextOrNull(marker, out);
        AppendFailedAndTypeKey(element != nullptr && element->IsFailed(), out);
        AppendTypeName(item, out);
        out.append(",\"value\":null,\"children\":[");
        bool any = false;
        if (s != nullptr && depth < kJsonMaxDepth) Members(*s, depth + 1, any);
        out.append("]}");
    }

    std::string& out;
    CastCache<DecoderItem> itemCast;
    OTSTR marker;  // filled and written before the node's children
    CastCache<AttachedStructs> attachedCast;
    CastCache<DecoderStruct> structCast;
};

}  // namespace

namespace {

// Whether any of the eight bytes of word goes out other than as itself: a
// byte below 0x20, from 0x80 on, '"' or '\\'. (x - n) & ~x & 0x80 in a byte
// is set, for some byte, exactly when some byte of x is below n (n <= 0x80).
bool AnySpecialByte(uint64_t word) {
    constexpr uint64_t kOnes = 0x0101010101010101u;
    constexpr uint64_t kHighs = 0x8080808080808080u;
    auto anyBelow = [](uint64_t x, uint64_t n) { return (x - kOnes * n) & ~x & kHighs; };
    uint64_t quotes = word ^ (kOnes * '"');
    uint64_t backslashes = word ^ (kOnes * '\\');
    return ((word & kHighs) | anyBelow(word, 0x20) | anyBelow(quotes, 1) |
            anyBelow(backslashes, 1)) != 0;
}

}  // namespace

void AppendJsonString(const char* text, size_t length, std::string& out) {
    static const char kDigits[] = "0123456789abcdef";
    if (text == nullptr) length = 0;
    out.push_back('"');
    const auto* bytes = reinterpret_cast<const uint8_t*>(text);
    size_t run = 0;  // the start of the bytes that go out as they are
    size_t i = 0;
    while (i < length) {
        // Eight bytes at a time while none of them needs a look of its own.
        if (i + 8 <= length) {
            uint64_t word;
            memcpy(&word, bytes + i, 8);
            if (!AnySpecialByte(word)) {
                i += 8;
                continue;
            }
        }
        uint8_t c = bytes[i];
        if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') {
            ++i;
            continue;
        }
        if (c >= 0x80) {
            size_t n = Utf8SequenceLength(bytes + i, length - i);
            if (n > 0) {
                i += n;
                continue;
            }
        }
        out.append(text + run, i - run);
        out.push_back('\\');
        switch (c) {
            case '"':
            case '\\':
                out.push_back(static_cast<char>(c));
                break;
            case '\b':
                out.push_back('b');
                break;
            case '\f':
                out.push_back('f');
                break;
            case '\n':
                out.push_back('n');
                break;
            case '\r':
                out.push_back('r');
                break;
            case '\t':
                out.push_back('t');
                break;
            default:
                out.append("u00");
                out.push_back(kDigits[c >> 4]);
                out.push_back(kDigits[c & 15]);
                break;
        }
        run = ++i;
    }
    out.append(text + run, i - run);
    out.push_back('"');
}

void AppendTranslationJson(ProtocolDecoder& decoder, const JsonMessage& message, std::string& out) {
    const LastTranslation* last = message.last;
    bool attempted = last != nullptr && last->attempted;
    bool ok = attempted && last->ok;
    int32_t consumed = last != nullptr ? last->used : 0;
    int32_t leftover = ok && message.length > consumed ? message.length - consumed : 0;

    out.append("{\"index\":");
    AppendNumber(message.index, out);
    if (message.packet >= 0) {
        AppendKey("packet", out);
        AppendNumber(message.packet, out);
        time_t seconds = static_cast<time_t>(message.seconds);
        struct tm utc {};
        gmtime_r(&seconds, &utc);
        char time[160];
        snprintf(time, sizeof time, "\"%04d-%02d-%02dT%02d:%02d:%02d.%06dZ\"", utc.tm_year + 1900,
                 utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                 static_cast<int>(message.microseconds));
        AppendKey("time", out);
        out.append(time);
    }
    AppendKey("length", out);
    AppendNumber(message.length, out);
    AppendKey("consumed", out);
    AppendNumber(consumed, out);
    AppendKey("success", out);
    AppendBool(ok, out);
    AppendKey("error", out);
    if (ok) {
        out.append("null");
    } else if (last != nullptr && !last->error.IsEmpty()) {
        AppendText(last->error, out);
    } else {
        AppendTextOrNull(message.inputError, out);
    }
    AppendKey("leftover", out);
    AppendNumber(leftover, out);
    AppendKey("warning", out);
    if (leftover > 0) {
        char warning[64];
        snprintf(warning, sizeof warning, kLeftoverWarning, static_cast<int>(leftover));
        AppendText(warning, out);
    } else {
        out.append("null");
    }
    // The captions start as "-" at every translation: "-" is no caption.
    static const char kTitleKey[] = "title";
    static const char kCaptionKeys[2][9] = {"caption0", "caption1"};
    for (int i = 0; i < 3; ++i) {
        if (i == 0) {
            AppendKey(kTitleKey, out);
        } else {
            AppendKey(kCaptionKeys[i - 1], out);
        }
        const OTSTR* text = message.results != nullptr ? &message.results->texts[i] : nullptr;
        if (text == nullptr || (i > 0 && text->Compare(kNoCaption, true))) {
            out.append("null");
        } else {
            AppendTextOrNull(*text, out);
        }
    }
    AppendKey("tree", out);
    if (attempted) {
        TreeWriter(out).Node(decoder.GetRoot(), 0);
    } else {
        out.append("null");
    }
    out.append("}\n");
}
