// TVarient: a typed array of values, the storage behind every variable
// instance, which can also be a reference into another TVarient's storage.
// Tested by values/tvarient_test.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/otstr.h"
#include "values/cvarient.h"

// One element of a packed array, read and written with memcpy. An element
// without a place (the shared dummy handed out for an illegal access) reads
// as zero and ignores writes.
template <typename T>
class ElementRef {
  public:
    explicit ElementRef(uint8_t* where) : where(where) {}
    operator T() const {
        T v{};
        if (where != nullptr) memcpy(&v, where, sizeof v);
        return v;
    }
    ElementRef& operator=(T v) {
        if (where != nullptr) memcpy(where, &v, sizeof v);
        return *this;
    }
    ElementRef& operator=(const ElementRef& other) { return *this = static_cast<T>(other); }
    ElementRef(const ElementRef&) = default;

  private:
    uint8_t* where;
};

class TVarient : public VarientBase {
  public:
    TVarient() = default;
    ~TVarient() override;
    TVarient(const TVarient&) = delete;
    TVarient& operator=(const TVarient&) = delete;

    // Needs writable, a valid type and count >= 0. Replaces the storage with
    // count zeroed elements (OCTET: empty strings); no value yet.
    bool create(const char* name, int32_t type, int32_t count);
    // Frees the storage unless it is a reference; afterwards no storage, no
    // value, not a reference, writable. resetBase also resets name, type and
    // count.
    void free(bool resetBase = false);

    // Element writes. All fail silently while not writable and call
    // setValueFlag(true) on success.
    // By the source's type: an integer word, an OCTET text or a DOUBLE.
    bool setAt(int32_t idx, const CVarient& source);
    // Integer elements: the word cut to the element width; DOUBLE: the word
    // read as a signed 32-bit number.
    bool setAt(int32_t idx, uint32_t word);
    bool setAt(int32_t idx, int32_t word) { return setAt(idx, static_cast<uint32_t>(word)); }
    // Integer elements: truncated toward zero (TruncateDoubleToWord), then cut
    // to the width; DOUBLE: stored as it is.
    bool setAt(int32_t idx, double number);
    // OCTET: the text (length -1: up to the zero byte). Integer elements: a
    // one-character text stores its code as a signed byte; "\0", "\n", "\r",
    // "\t" (backslash and letter) store 0, 10, 13, 9.
    bool setAt(int32_t idx, const char* text, int32_t length = -1);
    // PVOID only.
    bool setAt(int32_t idx, void* pointer);
    bool setAt(int32_t idx, std::nullptr_t) { return setAt(idx, static_cast<void*>(nullptr)); }

    // The element as a scalar of the element's type (integers sign- or
    // zero-extended from their width). Fails for an index out of range
    // ("operation illegal") or a type without a scalar form.
    bool getAt(int32_t idx, CVarient& out) const;
    // The element as a 32-bit integer (INT1, INT2 sign-extended; UINT1, UINT2
    // zero-extended; DOUBLE truncated toward zero) or as a double. An index
    // out of range reports "operation illegal" and gives 0.
    int32_t getAt_as_long(int32_t idx) const;
    uint32_t getAt_as_ulong(int32_t idx) const;
    double getAt_as_double(int32_t idx) const;
    // The word that getAt gives an integer element, silently false for
    // another type or an index out of range.
    __attribute__((always_inline)) bool GetWord(int32_t idx, uint32_t& word) const {
        if (!IsIntegerType(type) || !InRange(idx)) return false;
        word = LoadWord(idx);
        return true;
    }
    // The same, failing silently (out 0) for an index out of range or a type
    // that is not numeric.
    bool getAt_as_long(int32_t idx, int32_t& out) const;
    bool getAt_as_ulong(int32_t idx, uint32_t& out) const;
    bool getAt_as_double(int32_t idx, double& out) const;
    // OCTET and PVOID elements, failing silently (out empty or null).
    bool getAt(int32_t idx, OTSTR& out) const;
    // The string that getAt(idx, OTSTR&) would copy, where it lies; null
    // where getAt fails. Valid until the element changes.
    const OTSTR* TextAt(int32_t idx) const {
        return type == kTypeOctet && InRange(idx) ? &Strings()[idx] : nullptr;
    }
    // Inline, and marked used (as LoadWord and StoreWord) so that the
    // library still exports it for plug-ins built when it was not inline.
    __attribute__((used)) bool getAt(int32_t idx, void*& out) const {
        out = nullptr;
        if (type != kTypePvoid || !InRange(idx)) return false;
        memcpy(&out, Bytes() + static_cast<size_t>(idx) * sizeof out, sizeof out);
        return true;
    }

    // "-" without a value; empty for an index out of range or an invalid
    // type; otherwise the element under format (or the type's default).
    // PVOID elements always print as "&%08X" of their low 32 bits.
    bool getTextAt(int32_t idx, OTSTR& out, const char* format = nullptr) const;
    // What getTextAt gives without a format for an element of an integer
    // storage, or for one without a value, written to out (room for
    // kMaxDecimalDigits) without its zero byte: the length; -1, writing
    // nothing, for any other storage or an index out of range.
    int IntegerTextAt(int32_t idx, char* out) const;
    // INT1 and UINT1 arrays: the elements as a byte string of count bytes;
    // other types give an empty string and false.
    bool getByteString(OTSTR& out) const;

    // Deep copy of source's elements, value flag, writable flag and base;
    // the copy is never a reference.
    bool clone(const TVarient& source);
    // Makes this a reference into source: the whole array (idx < 0) or its
    // element idx. A reference to a reference points at the first owner.
    // This must not outlive the owner's storage. Without texts, the name and
    // description stay as they are, for a caller that sets its own.
    bool PassAddressClone(TVarient& source, int32_t idx, bool texts = true);
    // Sets the value flag and, for a reference, the owner's flag too.
    void setValueFlag(bool flag);
    // The elements back to what create made (0, or empty texts) and no value,
    // keeping the storage. False, changing nothing, for a reference, a value
    // that is not writable, storage not made for the present type and count,
    // or text elements holding blocks of more than kKeptTextBytes together.
    static constexpr int kKeptTextBytes = 4096;
    bool ResetElements() {
        // A single number, the usual element, in place without a call.
        if (count == 1 && storageCount == 1 && type == storageType && IsIntegerType(type) &&
            data != nullptr && !isReference && writable) {
            StoreWord(0, 0);
            hasValue = false;
            return true;
        }
        return ResetStorage();
    }
    // No value, the elements kept as they are: for pointers that the owner
    // renews itself. False, changing nothing, where ResetElements fails on
    // the storage.
    bool KeepElements();
    // The bytes the blocks of the text elements hold together; 0 for other
    // types and for a reference.
    int64_t TextBytes() const;

    // Typed element accessors: the type must be exactly theirs and idx in
    // range, otherwise they report "operation illegal" and hand out the
    // shared dummy element, which reads 0 (or the empty string).
    ElementRef<int8_t> Int1At(int32_t idx) { return ElementRef<int8_t>(Element(kTypeInt1, idx)); }
    ElementRef<int16_t> Int2At(int32_t idx) { return ElementRef<int16_t>(Element(kTypeInt2, idx)); }
    ElementRef<int32_t> Int4At(int32_t idx) { return ElementRef<int32_t>(Element(kTypeInt4, idx)); }
    ElementRef<uint8_t> UInt1At(int32_t idx) {
        return ElementRef<uint8_t>(Element(kTypeUInt1, idx));
    }
    ElementRef<uint16_t> UInt2At(int32_t idx) {
        return ElementRef<uint16_t>(Element(kTypeUInt2, idx));
    }
    ElementRef<uint32_t> UInt4At(int32_t idx) {
        return ElementRef<uint32_t>(Element(kTypeUInt4, idx));
    }
    ElementRef<double> DoubleAt(int32_t idx) {
        return ElementRef<double>(Element(kTypeDouble, idx));
    }
    ElementRef<void*> PvoidAt(int32_t idx) { return ElementRef<void*>(Element(kTypePvoid, idx)); }
    // The element string, or the shared dummy string (emptied each time it is
    // handed out).
    OTSTR& OctetAt(int32_t idx);
    // The bytes of element idx of an integer, DOUBLE or PVOID array, or null
    // for an index out of range or another type. Silent.
    uint8_t* ElementBytes(int32_t idx) const;

    bool HasValue() const { return hasValue; }
    bool IsWritable() const { return writable; }
    void SetWritable(bool on) { writable = on; }
    bool IsReference() const { return isReference; }

  private:
    // ResetElements of any storage.
    bool ResetStorage();
    // The element's bytes when the type is exactly want and idx in range;
    // otherwise reports "operation illegal" and gives null.
    uint8_t* Element(int32_t want, int32_t idx) const;
    // Elements are reachable only while the type is the one the storage was
    // made for, so that changing the base cannot misread the storage.
    bool InRange(int32_t idx) const {
        return data != nullptr && type == storageType && idx >= 0 && idx < count &&
               idx < storageCount;
    }
    OTSTR* Strings() const { return static_cast<OTSTR*>(data); }
    uint8_t* Bytes() const { return static_cast<uint8_t*>(data); }
    // Stores a word into an integer element, cut to its width. The caller
    // has checked the type and that idx is in range.
    __attribute__((used)) void StoreWord(int32_t idx, uint32_t word) {
        uint8_t* at = Bytes();
        switch (type) {
            case kTypeInt1:
            case kTypeUInt1:
                at[idx] = static_cast<uint8_t>(word & 0xffu);
                break;
            case kTypeInt2:
            case kTypeUInt2: {
                auto v = static_cast<uint16_t>(word & 0xffffu);
                memcpy(at + 2 * static_cast<size_t>(idx), &v, sizeof v);
                break;
            }
            default:
                memcpy(at + 4 * static_cast<size_t>(idx), &word, sizeof word);
                break;
        }
    }
    // The integer (or DOUBLE) element's word, sign- or zero-extended from
    // its width; the caller has checked the type and idx.
    __attribute__((used, always_inline)) uint32_t LoadWord(int32_t idx) const {
        const uint8_t* at = Bytes();
        switch (type) {
            case kTypeInt1: {
                int8_t v;
                memcpy(&v, at + idx, sizeof v);
                return static_cast<uint32_t>(static_cast<int32_t>(v));
            }
            case kTypeUInt1:
                return at[idx];
            case kTypeInt2: {
                int16_t v;
                memcpy(&v, at + 2 * static_cast<size_t>(idx), sizeof v);
                return static_cast<uint32_t>(static_cast<int32_t>(v));
            }
            case kTypeUInt2: {
                uint16_t v;
                memcpy(&v, at + 2 * static_cast<size_t>(idx), sizeof v);
                return v;
            }
            case kTypeDouble:
                return TruncateDoubleToWord(LoadDouble(idx));
            default: {
                uint32_t v;
                memcpy(&v, at + 4 * static_cast<size_t>(idx), sizeof v);
                return v;
            }
        }
    }
    double LoadDouble(int32_t idx) const;

    bool isReference = false;
    bool* ownerHasValue = nullptr;
    // Integer, DOUBLE, PVOID: count packed elements (bytes); OCTET: an array
    // of count OTSTR; null when empty or freed.
    void* data = nullptr;
    int32_t storageType = kTypeNone;  // the type data was made for
    int32_t storageCount = 0;         // the number of elements data holds
    bool hasValue = false;
    bool writable = true;
};
