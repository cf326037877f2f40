// The JSON line of one translation: the message's outcome and the decoded
// tree walked the way the tree dump walks it (see result_json.h).
// Tested by app/result_json_test.cpp.
#include "app/result_json.h"

#include <algorithm>
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

// The text is written straight into the block of the caller's string
// through a cursor: room is made before each piece (the string's size goes
// up by 1 KB or more at a time) and the string is cut to the bytes written
// when the writer goes.
class JsonOut {
  public:
    explicit JsonOut(std::string& text) : text(text), used(text.size()) {}
    ~JsonOut() { text.resize(used); }
    JsonOut(const JsonOut&) = delete;
    JsonOut& operator=(const JsonOut&) = delete;

    // Room for n more bytes at the cursor, valid until the next call.
    char* Room(size_t n) {
        if (text.size() - used < n) Grow(n);
        return &text[used];
    }
    // Moves the cursor past n bytes written into the room.
    void Wrote(size_t n) { used += n; }
    void Put(const char* bytes, size_t n) {
        memcpy(Room(n), bytes, n);
        used += n;
    }
    void Put(char c) {
        *Room(1) = c;
        ++used;
    }
    // The characters of a literal, without its zero byte.
    template <size_t N>
    void Literal(const char (&literal)[N]) {
        Put(literal, N - 1);
    }

  private:
    // The string's block grows as the string's own appends grow it; the
    // size goes up by at least a step, filled only as far as it goes.
    void Grow(size_t n) {
        constexpr size_t kStep = 1024;
        text.resize(used + std::max(n, kStep));
    }

    std::string& text;
    size_t used;
};

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

// Writes the bytes of one piece of a text, escaped, at out; returns the end
// of what was written, at most six bytes for each byte read. The piece ends
// at stop, or past it by the rest of a UTF-8 sequence that begins before it
// (length: the bytes of the text from text on).
char* PutEscaped(char* out, const char* text, size_t& i, size_t stop, size_t length) {
    static const char kDigits[] = "0123456789abcdef";
    const auto* bytes = reinterpret_cast<const uint8_t*>(text);
    size_t run = i;  // the start of the bytes that go out as they are
    while (i < stop) {
        // Eight bytes at a time while none of them needs a look of its own;
        // the last few as the end of the last eight of the piece, when the
        // piece has eight.
        uint64_t word;
        if (i + 8 <= stop) {
            memcpy(&word, bytes + i, 8);
            if (!AnySpecialByte(word)) {
                i += 8;
                continue;
            }
        } else if (stop >= 8) {
            memcpy(&word, bytes + stop - 8, 8);
            if (!AnySpecialByte(word)) {
                i = stop;
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
        memcpy(out, text + run, i - run);
        out += i - run;
        *out++ = '\\';
        switch (c) {
            case '"':
            case '\\':
                *out++ = static_cast<char>(c);
                break;
            case '\b':
                *out++ = 'b';
                break;
            case '\f':
                *out++ = 'f';
                break;
            case '\n':
                *out++ = 'n';
                break;
            case '\r':
                *out++ = 'r';
                break;
            case '\t':
                *out++ = 't';
                break;
            default:
                memcpy(out, "u00", 3);
                out += 3;
                *out++ = kDigits[c >> 4];
                *out++ = kDigits[c & 15];
                break;
        }
        run = ++i;
    }
    memcpy(out, text + run, i - run);
    return out + (i - run);
}

// Copies a short text (at most kShortText bytes) to out while it has no
// byte to escape or to look at as UTF-8: false as soon as it has one, with
// out holding some of the text.
constexpr size_t kShortText = 64;

bool CopyPlainShortText(char* out, const char* text, size_t length) {
    if (length >= 8) {
        // Eight bytes at a time, the last eight overlapping those before.
        uint64_t word;
        for (size_t i = 0; i + 8 < length; i += 8) {
            memcpy(&word, text + i, 8);
            if (AnySpecialByte(word)) return false;
            memcpy(out + i, &word, 8);
        }
        memcpy(&word, text + length - 8, 8);
        if (AnySpecialByte(word)) return false;
        memcpy(out + length - 8, &word, 8);
        return true;
    }
    if (length >= 4) {
        // The first four bytes and the last four, which cover them all.
        uint32_t first, last;
        memcpy(&first, text, 4);
        memcpy(&last, text + length - 4, 4);
        if (AnySpecialByte(first | static_cast<uint64_t>(last) << 32)) return false;
        memcpy(out, &first, 4);
        memcpy(out + length - 4, &last, 4);
        return true;
    }
    for (size_t i = 0; i < length; ++i) {
        auto c = static_cast<uint8_t>(text[i]);
        if (c < 0x20 || c >= 0x80 || c == '"' || c == '\\') return false;
        out[i] = static_cast<char>(c);
    }
    return true;
}

// PutJsonString of a text that may have bytes to escape.
__attribute__((noinline)) void PutEscapedString(JsonOut& out, const char* text, size_t length) {
    // Pieces of at most 4 KB, so that the room made for the worst case
    // stays small.
    constexpr size_t kPiece = 4096;
    out.Put('"');
    for (size_t i = 0; i < length;) {
        size_t stop = length - i < kPiece ? length : i + kPiece;
        // Six bytes for each byte of the piece and of a UTF-8 sequence's
        // rest past its end.
        char* room = out.Room(6 * (stop - i + 3));
        out.Wrote(static_cast<size_t>(PutEscaped(room, text, i, stop, length) - room));
    }
    out.Put('"');
}

void PutJsonString(JsonOut& out, const char* text, size_t length) {
    // Most texts are short names, types and descriptions: those with
    // nothing to escape are copied as they are checked.
    if (text == nullptr) length = 0;
    if (length <= kShortText) {
        char* room = out.Room(length + 2);
        if (CopyPlainShortText(room + 1, text, length)) {
            room[0] = '"';
            room[length + 1] = '"';
            out.Wrote(length + 2);
            return;
        }
    }
    PutEscapedString(out, text, length);
}

void AppendText(const OTSTR& text, JsonOut& out) {
    int length = text.GetLength();
    PutJsonString(out, text.GetBuffer(), length > 0 ? static_cast<size_t>(length) : 0);
}

void AppendText(const char* text, JsonOut& out) {
    if (text == nullptr) {
        out.Literal("null");
    } else {
        PutJsonString(out, text, strlen(text));
    }
}

// What an item or a message does not have is null, never an empty text or
// a placeholder: these write null for an empty text and an unknown position.
void AppendTextOrNull(const OTSTR& text, JsonOut& out) {
    if (text.IsEmpty()) {
        out.Literal("null");
    } else {
        AppendText(text, out);
    }
}

void AppendTextOrNull(const char* text, JsonOut& out) {
    AppendText(text != nullptr && *text != 0 ? text : nullptr, out);
}

// ,"key": (keys are plain ASCII).
template <size_t N>
void AppendKey(const char (&key)[N], JsonOut& out) {
    char* text = out.Room(N + 3);
    text[0] = ',';
    text[1] = '"';
    memcpy(text + 2, key, N - 1);
    text[N + 1] = '"';
    text[N + 2] = ':';
    out.Wrote(N + 3);
}

void AppendNumber(int64_t value, JsonOut& out) {
    constexpr size_t kDigits = 20;  // a sign and 19 digits
    char* text = out.Room(kDigits);
    out.Wrote(static_cast<size_t>(std::to_chars(text, text + kDigits, value).ptr - text));
}

// The shortest of 15 or 17 significant digits that reads back as value;
// null for NaN and the infinities, which JSON cannot hold.
void AppendDouble(double value, JsonOut& out) {
    if (!std::isfinite(value)) {
        out.Literal("null");
        return;
    }
    char text[40];
    snprintf(text, sizeof text, "%.15g", value);
    if (strtod(text, nullptr) != value) snprintf(text, sizeof text, "%.17g", value);
    out.Put(text, strlen(text));
}

// ,"start":S,"length":L,"marker": in one piece, a position below 0 as null.
void AppendLocation(int32_t start, int32_t length, JsonOut& out) {
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
    out.Put(text, static_cast<size_t>(at + 10 - text));
}

// ,"failed":true or false, and the key of the type.
void AppendFailedAndTypeKey(bool failed, JsonOut& out) {
    if (failed) {
        out.Literal(",\"failed\":true,\"type\":");
    } else {
        out.Literal(",\"failed\":false,\"type\":");
    }
}

void AppendBool(bool value, JsonOut& out) {
    if (value) {
        out.Literal("true");
    } else {
        out.Literal("false");
    }
}

bool IsStructCode(int32_t code) {
    return code == kDeclStruct || code == kDeclChoice;
}

// How the value of an item goes out, by its declared type; the storage type
// decides for codes without a form of their own.
enum class Form { kNumber, kDouble, kChar, kHex, kText, kNone, kStruct };

Form FormOf(const CVariableItem& item) {
    switch (item.Header().declaredType) {
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
            if (IsStructCode(item.Header().baseType)) return Form::kStruct;
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
void AppendTypeName(const CVariableItem& item, JsonOut& out) {
    if (!item.Header().typeName.IsEmpty()) {
        AppendText(item.Header().typeName, out);
    } else if (item.structDef != nullptr && !item.structDef->GetName().IsEmpty()) {
        AppendText(item.structDef->GetName(), out);
    } else if (IsValidValueType(item.GetType())) {
        AppendText(TypeCodeText(item.Header().declaredType), out);
    } else {
        out.Literal("null");
    }
}

class TreeWriter {
  public:
    TreeWriter(ProtocolDecoder& decoder, JsonOut& out) : decoder(decoder), out(out) {}

    // The node of item; element >= 0 names it "name[element]" (the
    // integrated struct of that element of an array).
    void Node(CVariableItem& item, int depth, int32_t element = -1) {
        Form form = FormOf(item);
        int32_t count = item.GetCount();
        out.Literal("{\"name\":");
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
        DecoderItem* decoded = decoder.AsDecoderItem(&item);
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
        out.Literal(",\"children\":[");
        if (depth < kJsonMaxDepth) Children(item, form, count, depth + 1);
        out.Literal("]}");
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
            out.Literal("null");
            return;
        }
        OTSTR first;
        bool found = item.CommentText(0, first, "") != 0;
        AppendComment(found, first);
        if (count < 2) return;
        AppendKey("comments", out);
        out.Put('[');
        AppendComment(found, first);
        OTSTR text;
        for (int32_t i = 1; i < count; ++i) {
            out.Put(',');
            AppendComment(item.CommentText(i, text, "") != 0, text);
        }
        out.Put(']');
    }

    // The default text given to the hook is empty, so an element without a
    // comment comes back empty.
    void AppendComment(bool found, const OTSTR& text) {
        if (found) {
            AppendTextOrNull(text, out);
        } else {
            out.Literal("null");
        }
    }

    // ---- values ----

    void Value(CVariableItem& item, Form form, int32_t count) {
        if (!item.HasValue() || form == Form::kNone || form == Form::kStruct) {
            out.Literal("null");
            return;
        }
        if (form == Form::kChar) {
            Characters(item, count);
            return;
        }
        if (count != 1) out.Put('[');
        for (int32_t i = 0; i < count; ++i) {
            if (i > 0) out.Put(',');
            Element(item, form, i);
        }
        if (count != 1) out.Put(']');
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
        size_t n = static_cast<size_t>(text.GetLength());
        char* at = out.Room(2 * n + 2);
        *at++ = '"';
        for (size_t j = 0; j < n; ++j) {
            *at++ = kDigits[bytes[j] >> 4];
            *at++ = kDigits[bytes[j] & 15];
        }
        *at = '"';
        out.Wrote(2 * n + 2);
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
        PutJsonString(out, text.data(), text.size());
    }

    // ---- children ----

    void Children(CVariableItem& item, Form form, int32_t count, int depth) {
        bool any = false;
        auto next = [&]() {
            if (any) out.Put(',');
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
            if (any) out.Put(',');
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
        out.Literal("{\"name\":");
        AppendText(name, out);
        AppendKey("description", out);
        AppendDescription(item);
        out.Literal(",\"comment\":null");
        AppendLocation(element != nullptr ? element->start : -1,
                       element != nullptr ? element->length : -1, out);
        marker.Empty();
        if (element != nullptr && element->HasLocation()) element->MarkerText(marker);
        AppendTextOrNull(marker, out);
        AppendFailedAndTypeKey(element != nullptr && element->IsFailed(), out);
        AppendTypeName(item, out);
        out.Literal(",\"value\":null,\"children\":[");
        bool any = false;
        if (s != nullptr && depth < kJsonMaxDepth) Members(*s, depth + 1, any);
        out.Literal("]}");
    }

    ProtocolDecoder& decoder;
    JsonOut& out;
    OTSTR marker;  // filled and written before the node's children
    // Kept from message to message, so that the items' types are known.
    struct Casts {
        CastCache<AttachedStructs> attached;
        CastCache<DecoderStruct> structs;
    };
    static thread_local Casts casts;
    CastCache<AttachedStructs>& attachedCast = casts.attached;
    CastCache<DecoderStruct>& structCast = casts.structs;
};

thread_local TreeWriter::Casts TreeWriter::casts;

}  // namespace

void AppendJsonString(const char* text, size_t length, std::string& out) {
    JsonOut writer(out);
    PutJsonString(writer, text, length);
}

void AppendTranslationJson(ProtocolDecoder& decoder, const JsonMessage& message,
                           std::string& text) {
    JsonOut out(text);
    const LastTranslation* last = message.last;
    bool attempted = last != nullptr && last->attempted;
    bool ok = attempted && last->ok;
    int32_t consumed = last != nullptr ? last->used : 0;
    int32_t leftover = ok && message.length > consumed ? message.length - consumed : 0;

    out.Literal("{\"index\":");
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
        out.Put(time, strlen(time));
    }
    AppendKey("length", out);
    AppendNumber(message.length, out);
    AppendKey("consumed", out);
    AppendNumber(consumed, out);
    AppendKey("success", out);
    AppendBool(ok, out);
    AppendKey("error", out);
    if (ok) {
        out.Literal("null");
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
        out.Literal("null");
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
            out.Literal("null");
        } else {
            AppendTextOrNull(*text, out);
        }
    }
    AppendKey("tree", out);
    if (attempted) {
        TreeWriter(decoder, out).Node(decoder.GetRoot(), 0);
    } else {
        out.Literal("null");
    }
    out.Literal("}\n");
}
