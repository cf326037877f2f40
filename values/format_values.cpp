// FormatValues, the text of one value under a format, and integer-to-text
// conversion. Every conversion is built here from validated pieces; the
// caller's format never reaches the C formatter. Tested by
// values/format_values_test.cpp.
#include "values/format_values.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/move_bytes.h"
#include "base/number_text.h"
#include "base/ob_array.h"
#include "values/cvarient.h"
#include "values/value_type.h"

namespace {

const char kLowerDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
const char kUpperDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Widths and precisions are counted up to this; the output is clamped to the
// room left anyway.
const int64_t kMaxField = INT32_MAX;
// A double has at most 1074 significant fraction digits: beyond this many the
// exact expansion goes on with zeros only, which are added without the C
// formatter.
const int kMaxFractionDigits = 1100;
// Longest text of one value under a format, beyond the value's own bytes.
const size_t kTextLimit = size_t{1} << 24;

int32_t AsSigned(uint32_t word) {
    return word <= INT32_MAX ? static_cast<int32_t>(word) : -static_cast<int32_t>(~word) - 1;
}

// Length of a byte string up to its first zero byte.
size_t TextLength(const char* bytes, size_t length) {
    const void* zero = memchr(bytes, 0, length);
    return zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - bytes) : length;
}

// Where the characters go: a caller's buffer or a growing string, never more
// than limit characters. What does not fit is dropped and marks the sink
// clipped.
class Sink {
  public:
    Sink(char* buffer, size_t limit) : buffer(buffer), limit(limit) {}
    Sink(std::string* text, size_t limit) : text(text), limit(limit) {}

    size_t Length() const { return length; }
    bool Full() const { return length >= limit; }
    bool Clipped() const { return clipped; }

    inline __attribute__((always_inline)) void Put(const char* chars, uint64_t n) {
        n = Fit(n);
        if (n == 0) return;
        if (buffer != nullptr) {
            MoveBytes(buffer + length, chars, n);
        } else {
            text->append(chars, n);
        }
        length += n;
    }
    void PutChar(char c) {
        if (Fit(1) == 0) return;
        if (buffer != nullptr) {
            buffer[length] = c;
        } else {
            text->push_back(c);
        }
        ++length;
    }
    void Fill(char c, uint64_t n) {
        n = Fit(n);
        if (n == 0) return;
        if (buffer != nullptr) {
            memset(buffer + length, static_cast<unsigned char>(c), n);
        } else {
            text->append(n, c);
        }
        length += n;
    }

  private:
    size_t Fit(uint64_t n) {
        uint64_t room = limit - length;
        if (n > room) {
            clipped = true;
            n = room;
        }
        return static_cast<size_t>(n);
    }

    char* buffer = nullptr;
    std::string* text = nullptr;
    size_t limit;
    size_t length = 0;
    bool clipped = false;
};

enum class Need { kWord, kDouble, kText };

struct Value {
    uint32_t word = 0;
    double number = 0.0;
    const char* text = "";
    size_t length = 0;
};

// Hands out the values of a format in order: 0, kFormatMissingValue or
// kFormatBadValue.
class ValueSource {
  public:
    virtual int Next(Need need, Value& value) = 0;

  protected:
    ~ValueSource() = default;
};

// The part of value that a conversion needs: 0 or kFormatBadValue.
int ReadValue(const CVarient& value, Need need, Value& out) {
    switch (need) {
        case Need::kWord:
            return value.getUInt32(out.word) ? 0 : kFormatBadValue;
        case Need::kDouble:
            return value.getDouble(out.number) ? 0 : kFormatBadValue;
        case Need::kText: {
            const char* bytes = nullptr;
            int32_t length = 0;
            if (value.GetType() != kTypeOctet || !value.getBytes(&bytes, &length)) {
                return kFormatBadValue;
            }
            out.text = bytes;
            out.length = TextLength(bytes, static_cast<size_t>(length));
            return 0;
        }
    }
    return kFormatBadValue;
}

class ListSource final : public ValueSource {
  public:
    explicit ListSource(const ObArrayOf<CVarient>& values) : values(values) {}

    int Next(Need need, Value& out) override {
        if (next >= values.GetSize()) return kFormatMissingValue;
        const CVarient* value = values.GetAt(next++);
        return value != nullptr ? ReadValue(*value, need, out) : kFormatBadValue;
    }

  private:
    const ObArrayOf<CVarient>& values;
    int next = 0;
};

class ItemSource final : public ValueSource {
  public:
    ItemSource(const FormatItem* items, int count) : items(items), count(count) {}

    int Next(Need need, Value& out) override {
        if (next >= count) return kFormatMissingValue;
        const FormatItem& item = items[next++];
        if (item.value != nullptr) return ReadValue(*item.value, need, out);
        if (item.text != nullptr) {
            // As a text value's bytes read: no number.
            if (need != Need::kText) return kFormatBadValue;
            out.text = item.text;
            out.length = TextLength(item.text, static_cast<size_t>(item.length));
            return 0;
        }
        // The word reads as an integer value's word reads.
        switch (need) {
            case Need::kWord:
                out.word = item.word;
                return 0;
            case Need::kDouble:
                out.number = static_cast<double>(item.word);
                return 0;
            case Need::kText:
                return kFormatBadValue;
        }
        return kFormatBadValue;
    }

  private:
    const FormatItem* items;
    int count;
    int next = 0;
};

class SingleSource final : public ValueSource {
  public:
    explicit SingleSource(const FormatArg& arg) : arg(arg) {}

    int Next(Need need, Value& out) override {
        if (used) return kFormatMissingValue;
        used = true;
        bool integer = IsIntegerType(arg.type) || arg.type == kTypePvoid;
        switch (need) {
            case Need::kWord:
                if (integer) {
                    out.word = arg.word;
                } else if (arg.type == kTypeDouble) {
                    out.word = TruncateDoubleToWord(arg.number);
                } else {
                    return kFormatBadValue;
                }
                return 0;
            case Need::kDouble:
                if (IsSignedType(arg.type)) {
                    out.number = AsSigned(arg.word);
                } else if (integer) {
                    out.number = arg.word;
                } else if (arg.type == kTypeDouble) {
                    out.number = arg.number;
                } else {
                    return kFormatBadValue;
                }
                return 0;
            case Need::kText:
                if (arg.type != kTypeOctet) return kFormatBadValue;
                if (arg.bytes == nullptr || arg.length == 0) {
                    out.text = "";
                    out.length = 0;
                } else if (arg.length < 0) {
                    out.text = arg.bytes;
                    out.length = strlen(arg.bytes);
                } else {
                    out.text = arg.bytes;
                    out.length = TextLength(arg.bytes, static_cast<size_t>(arg.length));
                }
                return 0;
        }
        return kFormatBadValue;
    }

  private:
    const FormatArg& arg;
    bool used = false;
};

// What an empty text prints as where the options say so.
constexpr char kNullText[] = "<NULL>";

struct Options {
    bool cutShortIntegers;  // without "l", integers are cut to 16 bits
    bool emptyTextAsNull;   // an empty string prints as "<NULL>"
};

// One directive's flags, width and precision.
struct Directive {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool zero = false;
    int64_t width = 0;
    bool hasPrecision = false;
    int64_t precision = 0;
    bool isLong = false;
};

// A converted field: sign, zeros, head, zeros, tail; padded to the width.
struct Field {
    const char* sign = "";
    const char* head = "";
    size_t headLength = 0;
    uint64_t leadZeros = 0;
    uint64_t midZeros = 0;
    const char* tail = "";
    size_t tailLength = 0;
    bool zeroPad = false;  // pad with zeros between the sign and the digits
};

void Emit(Sink& sink, const Field& field, const Directive& d) {
    // Most fields are the head alone, with no width to fill.
    if (d.width == 0 && field.sign[0] == 0 && field.leadZeros == 0 && field.midZeros == 0 &&
        field.tailLength == 0) {
        sink.Put(field.head, field.headLength);
        return;
    }
    size_t signLength = strlen(field.sign);
    uint64_t total =
        signLength + field.leadZeros + field.headLength + field.midZeros + field.tailLength;
    uint64_t pad = static_cast<uint64_t>(d.width) > total ? d.width - total : 0;
    bool zeroPad = field.zeroPad && d.zero && !d.left;
    if (!d.left && !zeroPad) sink.Fill(' ', pad);
    sink.Put(field.sign, signLength);
    sink.Fill('0', field.leadZeros + (zeroPad ? pad : 0));
    sink.Put(field.head, field.headLength);
    sink.Fill('0', field.midZeros);
    sink.Put(field.tail, field.tailLength);
    if (d.left) sink.Fill(' ', pad);
}

// The word as a directive without "l" takes it: cut to 16 bits where the
// options say so, sign-extended for a signed conversion.
uint32_t DirectiveWord(uint32_t word, bool isSigned, bool isLong, const Options& options) {
    if (!isLong && options.cutShortIntegers) {
        word &= 0xffffu;
        if (isSigned && (word & 0x8000u) != 0) word |= 0xffff0000u;
    }
    return word;
}

// A decimal without flags, width or precision, the usual directive.
bool IsPlainDecimal(char conversion, const Directive& d) {
    return (conversion == 'd' || conversion == 'i' || conversion == 'u') && !d.plus && !d.space &&
           d.width == 0 && !d.hasPrecision;
}

// The decimal digits of a word read signed or unsigned, written to out (room
// for kMaxDecimalDigits): their count.
int WordDigits(uint32_t word, bool isSigned, char* out) {
    int64_t number =
        isSigned ? static_cast<int64_t>(static_cast<int32_t>(word)) : static_cast<int64_t>(word);
    return DecimalDigits(number, out);
}

void PutDecimal(Sink& sink, uint32_t word, bool isSigned) {
    char text[kMaxDecimalDigits];
    sink.Put(text, static_cast<uint64_t>(WordDigits(word, isSigned, text)));
}

int ConvertInteger(Sink& sink, char conversion, const Directive& d, ValueSource& source,
                   const Options& options) {
    Value value;
    int rc = source.Next(Need::kWord, value);
    if (rc != 0) return rc;
    bool isSigned = conversion == 'd' || conversion == 'i';
    uint32_t word = DirectiveWord(value.word, isSigned, d.isLong, options);
    if (IsPlainDecimal(conversion, d)) {
        PutDecimal(sink, word, isSigned);
        return 0;
    }
    bool negative = isSigned && (word & 0x80000000u) != 0;
    uint32_t magnitude = negative ? 0u - word : word;
    int base = conversion == 'o' ? 8 : (conversion == 'x' || conversion == 'X') ? 16 : 10;

    char digits[40];
    int n = IntToText(magnitude, false, base, conversion == 'X', digits, sizeof digits);
    if (n < 0) n = 0;
    if (d.hasPrecision && d.precision == 0 && magnitude == 0) n = 0;

    Field field;
    field.sign = negative ? "-" : (isSigned && d.plus) ? "+" : (isSigned && d.space) ? " " : "";
    field.head = digits;
    field.headLength = static_cast<size_t>(n);
    if (d.hasPrecision && d.precision > n) field.leadZeros = static_cast<uint64_t>(d.precision - n);
    field.zeroPad = !d.hasPrecision;
    Emit(sink, field, d);
    return 0;
}

int ConvertDouble(Sink& sink, char conversion, const Directive& d, ValueSource& source) {
    Value value;
    int rc = source.Next(Need::kDouble, value);
    if (rc != 0) return rc;
    double number = value.number;
    Field field;
    field.sign = std::signbit(number) ? "-" : d.plus ? "+" : d.space ? " " : "";

    char digits[kMaxFractionDigits + 400];
    char exponent[8];
    if (!std::isfinite(number)) {
        field.head = std::isnan(number) ? "nan" : "inf";
        field.headLength = 3;
        Emit(sink, field, d);
        return 0;
    }
    int64_t precision = d.hasPrecision ? d.precision : 6;
    int digitsAsked =
        precision > kMaxFractionDigits ? kMaxFractionDigits : static_cast<int>(precision);
    field.midZeros = static_cast<uint64_t>(precision - digitsAsked);
    field.zeroPad = true;
    if (conversion == 'f') {
        int n = snprintf(digits, sizeof digits, "%.*f", digitsAsked, std::fabs(number));
        if (n < 0 || static_cast<size_t>(n) >= sizeof digits) return kFormatBadValue;
        field.head = digits;
        field.headLength = static_cast<size_t>(n);
    } else {
        int n = snprintf(digits, sizeof digits, "%.*e", digitsAsked, std::fabs(number));
        if (n < 0 || static_cast<size_t>(n) >= sizeof digits) return kFormatBadValue;
        // The mantissa, then "e", the exponent's sign and three digits.
        const char* e = strchr(digits, 'e');
        if (e == nullptr || (e[1] != '+' && e[1] != '-')) return kFormatBadValue;
        size_t expDigits = strlen(e + 2);
        if (expDigits > 3) return kFormatBadValue;
        exponent[0] = 'e';
        exponent[1] = e[1];
        size_t pos = 2;
        for (size_t i = expDigits; i < 3; ++i) exponent[pos++] = '0';
        memcpy(exponent + pos, e + 2, expDigits);
        pos += expDigits;
        field.head = digits;
        field.headLength = static_cast<size_t>(e - digits);
        field.tail = exponent;
        field.tailLength = pos;
    }
    Emit(sink, field, d);
    return 0;
}

int ConvertText(Sink& sink, const Directive& d, ValueSource& source, const Options& options) {
    Value value;
    int rc = source.Next(Need::kText, value);
    if (rc != 0) return rc;
    Field field;
    field.head = value.text;
    field.headLength = value.length;
    if (value.length == 0 && options.emptyTextAsNull) {
        field.head = kNullText;
        field.headLength = sizeof kNullText - 1;
    }
    Emit(sink, field, d);
    return 0;
}

int ConvertChar(Sink& sink, char conversion, const Directive& d, ValueSource& source) {
    Value value;
    int rc = source.Next(Need::kWord, value);
    if (rc != 0) return rc;
    char c = static_cast<char>(value.word & 0xffu);
    if (conversion == 'C' && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    Field field;
    field.head = &c;
    field.headLength = 1;
    Emit(sink, field, d);
    return 0;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits from p on, saturating at kMaxField.
int64_t ReadNumber(const char*& p) {
    int64_t n = 0;
    for (; IsDigit(*p); ++p) {
        n = n * 10 + (*p - '0');
        if (n > kMaxField) n = kMaxField;
    }
    return n;
}

// A "*" argument as a signed 32-bit number.
int ReadStar(ValueSource& source, int64_t& out) {
    Value value;
    int rc = source.Next(Need::kWord, value);
    if (rc == 0) out = AsSigned(value.word);
    return rc;
}

}  // namespace

// What a format writes in one step: a run of text without directives, or
// a directive as parsed, before its "*" values are read.
struct FormatPiece {
    const char* text = nullptr;  // the run of text; null for a directive
    size_t length = 0;
    Directive d;
    bool widthStar = false;
    bool precisionStar = false;
    char conversion = 0;  // 0: a directive cut off by the end of the format
    // A decimal directive without flags, width, precision or "*".
    bool plainDecimal = false;
    // A text directive without width, precision or "*".
    bool plainText = false;
};

namespace {

// The piece that begins at p (not at the format's end); returns where the
// next begins.
const char* ParsePiece(const char* p, FormatPiece& piece) {
    if (*p != '%') {
        // The text up to the next directive in one piece.
        const char* end = p + 1;
        while (*end != 0 && *end != '%') ++end;
        piece.text = p;
        piece.length = static_cast<size_t>(end - p);
        return end;
    }
    const char* q = p + 1;
    Directive& d = piece.d;
    for (;; ++q) {
        if (*q == ' ') {
            d.space = true;
        } else if (*q == '+') {
            d.plus = true;
        } else if (*q == '-') {
            d.left = true;
        } else if (*q == '0') {
            d.zero = true;
        } else {
            break;
        }
    }
    if (*q == '*') {
        ++q;
        piece.widthStar = true;
    } else {
        d.width = ReadNumber(q);
    }
    if (*q == '.') {
        ++q;
        d.hasPrecision = true;
        if (*q == '*') {
            ++q;
            piece.precisionStar = true;
        } else {
            d.precision = ReadNumber(q);
        }
    }
    if (*q == 'l') {
        d.isLong = true;
        ++q;
    }
    piece.conversion = *q;
    piece.plainDecimal =
        !piece.widthStar && !piece.precisionStar && IsPlainDecimal(piece.conversion, d);
    piece.plainText = (piece.conversion == 's' || piece.conversion == 'S') && !piece.widthStar &&
                      !piece.precisionStar && d.width == 0 && !d.hasPrecision;
    return *q != 0 ? q + 1 : q;
}

// Writes one piece, reading its "*" values first: 0 or an error code. The
// source's own type lets a plain decimal read its word without a virtual call.
template <typename Source>
int RunPiece(Sink& sink, const FormatPiece& piece, Source& source, const Options& options) {
    if (piece.text != nullptr) {
        sink.Put(piece.text, piece.length);
        return 0;
    }
    if (piece.plainDecimal) {
        Value value;
        int rc = source.Next(Need::kWord, value);
        if (rc != 0) return rc;
        bool isSigned = piece.conversion != 'u';
        PutDecimal(sink, DirectiveWord(value.word, isSigned, piece.d.isLong, options), isSigned);
        return 0;
    }
    Directive d = piece.d;
    if (piece.widthStar) {
        int rc = ReadStar(source, d.width);
        if (rc != 0) return rc;
        if (d.width < 0) {
            d.left = true;
            d.width = -d.width;
        }
    }
    if (piece.precisionStar) {
        int rc = ReadStar(source, d.precision);
        if (rc != 0) return rc;
        if (d.precision < 0) d.precision = 0;
    }
    char conversion = piece.conversion;
    switch (conversion) {
        case 0:
            // A directive cut off by the end of the format writes its "%".
            sink.PutChar('%');
            return 0;
        case 'c':
        case 'C':
            return ConvertChar(sink, conversion, d, source);
        case 's':
        case 'S':
            return ConvertText(sink, d, source, options);
        case 'd':
        case 'i':
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            return ConvertInteger(sink, conversion, d, source, options);
        case 'e':
        case 'f':
            return ConvertDouble(sink, conversion, d, source);
        case '%':
            sink.PutChar('%');
            return 0;
        default:
            sink.PutChar('%');
            sink.PutChar(conversion);
            return 0;
    }
}

// Writes the pieces that next hands out, null after the last: the length
// written, or an error code.
template <typename NextPiece, typename Source>
int WritePieces(Sink& sink, NextPiece next, Source& source, const Options& options) {
    while (const FormatPiece* piece = next()) {
        if (sink.Full()) return kFormatNoRoom;
        int rc = RunPiece(sink, *piece, source, options);
        if (rc != 0) return rc;
    }
    return sink.Clipped() ? kFormatNoRoom : static_cast<int>(sink.Length());
}

// The pieces of format, parsed as they are asked for, each valid until the
// next is asked for.
auto ParsedPieces(const char* format) {
    return [p = format, piece = FormatPiece()]() mutable -> const FormatPiece* {
        if (*p == 0) return nullptr;
        piece = FormatPiece();
        p = ParsePiece(p, piece);
        return &piece;
    };
}

// The pieces into a caller's buffer of capacity bytes, always ended by a
// zero byte: the length or an error code.
template <typename NextPiece, typename Source>
int FormatInto(char* out, int capacity, NextPiece next, Source& source) {
    if (out == nullptr || capacity < 1) return kFormatNoRoom;
    Sink sink(out, static_cast<size_t>(capacity) - 1);
    int rc = WritePieces(sink, next, source, Options{true, true});
    out[sink.Length()] = 0;
    return rc;
}

}  // namespace

int FormatValues(char* out, int capacity, const char* format, const ObArrayOf<CVarient>& values) {
    ListSource source(values);
    return FormatInto(out, capacity, ParsedPieces(format != nullptr ? format : ""), source);
}

FormatPlan::FormatPlan() = default;
FormatPlan::~FormatPlan() = default;

void FormatPlan::Parse(const char* format) {
    pieces.clear();
    text = format != nullptr ? format : "";
    auto next = ParsedPieces(text.c_str());
    while (const FormatPiece* piece = next()) pieces.push_back(*piece);
    plain = true;
    for (const FormatPiece& piece : pieces) {
        if (piece.text == nullptr && !piece.plainDecimal && !piece.plainText) plain = false;
    }
}

int FormatPlan::FormatPlain(char* out, int capacity, const FormatItem* items, int count) const {
    if (out == nullptr || capacity < 1 || (items == nullptr && count > 0)) return -1;
    const Options options{true, true};
    size_t room = static_cast<size_t>(capacity) - 1;
    size_t at = 0;
    int next = 0;
    for (const FormatPiece& piece : pieces) {
        const char* bytes = piece.text;
        size_t length = piece.length;
        char digits[kMaxDecimalDigits];
        if (bytes == nullptr) {
            if (next >= count) return -1;
            const FormatItem& item = items[next++];
            // The value as ItemSource hands it to the directive.
            Value value;
            bool decimal = piece.plainDecimal;
            if (item.value != nullptr) {
                if (ReadValue(*item.value, decimal ? Need::kWord : Need::kText, value) != 0) {
                    return -1;
                }
            } else if (decimal != (item.text == nullptr)) {
                return -1;
            } else if (decimal) {
                value.word = item.word;
            } else {
                value.text = item.text;
                value.length = TextLength(item.text, static_cast<size_t>(item.length));
            }
            if (decimal) {
                bool isSigned = piece.conversion != 'u';
                uint32_t word = DirectiveWord(value.word, isSigned, piece.d.isLong, options);
                bytes = digits;
                length = static_cast<size_t>(WordDigits(word, isSigned, digits));
            } else if (value.length == 0) {
                bytes = kNullText;
                length = sizeof kNullText - 1;
            } else {
                bytes = value.text;
                length = value.length;
            }
        }
        if (length > room - at) return -1;
        MoveBytes(out + at, bytes, length);
        at += length;
    }
    out[at] = 0;
    return static_cast<int>(at);
}

int FormatPlan::Format(char* out, int capacity, const FormatItem* items, int count) const {
    if (plain) {
        int n = FormatPlain(out, capacity, items, count);
        if (n >= 0) return n;
    }
    ItemSource source(items, items != nullptr && count > 0 ? count : 0);
    size_t at = 0;
    auto next = [this, &at]() -> const FormatPiece* {
        return at < pieces.size() ? &pieces[at++] : nullptr;
    };
    return FormatInto(out, capacity, next, source);
}

bool FormatValueText(OTSTR& out, const char* format, const FormatArg& arg) {
    out.Empty();
    if (format == nullptr && IsIntegerType(arg.type)) {
        // The type's own "%ld" or "%lu" (32-bit long), without the formatter.
        char text[kMaxDecimalDigits];
        int64_t value = IsSignedType(arg.type)
                            ? static_cast<int64_t>(static_cast<int32_t>(arg.word))
                            : static_cast<int64_t>(arg.word);
        return out.Assign(text, DecimalDigits(value, text)) != nullptr;
    }
    if (format == nullptr) format = ValueTypeFormat(arg.type);
    if (format == nullptr) return false;
    size_t limit = kTextLimit + (arg.length > 0 ? static_cast<size_t>(arg.length) : 0);
    if (limit > static_cast<size_t>(INT32_MAX) - 1) limit = static_cast<size_t>(INT32_MAX) - 1;
    std::string text;
    Sink sink(&text, limit);
    SingleSource source(arg);
    if (WritePieces(sink, ParsedPieces(format), source, Options{false, false}) < 0) return false;
    if (text.empty()) return true;
    return out.Assign(text.data(), static_cast<int>(text.size())) != nullptr;
}

int IntToText(uint32_t value, bool negative, int base, bool upper, char* out, int capacity) {
    if (out == nullptr || base < 2 || base > 36) return -1;
    const char* digits = upper ? kUpperDigits : kLowerDigits;
    char reversed[32];
    int n = 0;
    uint32_t b = static_cast<uint32_t>(base);
    do {
        reversed[n++] = digits[value % b];
        value /= b;
    } while (value != 0);
    int total = n + (negative ? 1 : 0);
    if (capacity < total + 1) return -1;
    int pos = 0;
    if (negative) out[pos++] = '-';
    while (n > 0) out[pos++] = reversed[--n];
    out[pos] = 0;
    return pos;
}
