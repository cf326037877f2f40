// TVarient: typed element storage, element reads and writes with their
// conversions, text forms, deep copies and references into other arrays.
// Tested by values/tvarient_test.cpp.
#include "values/tvarient.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/block_cache.h"
#include "base/number_text.h"
#include "values/format_values.h"
#include "values/varient_messages.h"

namespace {

int32_t AsSigned(uint32_t word) {
    return word <= INT32_MAX ? static_cast<int32_t>(word) : -static_cast<int32_t>(~word) - 1;
}

// A character code as a signed byte, sign-extended to a word.
uint32_t SignedByte(char c) {
    uint32_t code = static_cast<unsigned char>(c);
    return (code & 0x80u) != 0 ? code | 0xffffff00u : code;
}

// Most numeric items hold a few elements: their storage of at most
// kSmallElements bytes comes from and goes back to a per-thread cache.
constexpr size_t kSmallElements = 32;
using SmallElements = BlockCache<kSmallElements, 512>;

// Allocates count zeroed elements of type: an OTSTR array for OCTET, packed
// bytes otherwise. Null when count is 0 or the allocation fails (ok false).
void* AllocateElements(int32_t type, int32_t count, bool& ok) {
    ok = true;
    if (count <= 0) return nullptr;
    void* block = nullptr;
    if (type == kTypeOctet) {
        block = new (std::nothrow) OTSTR[static_cast<size_t>(count)];
    } else {
        size_t width = static_cast<size_t>(ValueTypeWidth(type));
        size_t n = static_cast<size_t>(count);
        if (width > 0 && n <= kSmallElements / width) {
            block = SmallElements::Allocate();
            if (block != nullptr) memset(block, 0, kSmallElements);
        } else {
            block = calloc(n, width);
        }
    }
    ok = block != nullptr;
    return block;
}

void FreeElements(int32_t type, void* block) {
    if (block == nullptr) return;
    if (type == kTypeOctet) {
        delete[] static_cast<OTSTR*>(block);
    } else {
        SmallElements::Release(block);
    }
}

}  // namespace

TVarient::~TVarient() {
    free(false);
}

bool TVarient::create(const char* newName, int32_t newType, int32_t newCount) {
    if (!writable || !IsValidValueType(newType) || newCount < 0) return false;
    bool ok = false;
    void* block = AllocateElements(newType, newCount, ok);
    if (!ok) {
        TraceLine(varmsg::kCreateMallocFail, newName != nullptr ? newName : "");
        return false;
    }
    free(false);
    setBase(newName, newType, newCount);
    data = block;
    storageType = newType;
    storageCount = newCount;
    hasValue = false;
    return true;
}

void TVarient::free(bool resetBase) {
    if (!isReference) FreeElements(storageType, data);
    isReference = false;
    ownerHasValue = nullptr;
    data = nullptr;
    storageType = kTypeNone;
    storageCount = 0;
    hasValue = false;
    writable = true;
    if (resetBase) VarientBase::resetBase();
}

int64_t TVarient::TextBytes() const {
    if (isReference || storageType != kTypeOctet || data == nullptr) return 0;
    int64_t bytes = 0;
    for (int32_t i = 0; i < storageCount; ++i) bytes += Strings()[i].GetCapacity();
    return bytes;
}

bool TVarient::KeepElements() {
    if (isReference || !writable || storageType != type || storageCount != count) return false;
    if (count > 0 && data == nullptr) return false;
    hasValue = false;
    return true;
}

bool TVarient::ResetStorage() {
    if (isReference || !writable || storageType != type || storageCount != count) return false;
    if (count > 0 && data == nullptr) return false;
    if (type == kTypeOctet) {
        if (TextBytes() > kKeptTextBytes) return false;
        for (int32_t i = 0; i < count; ++i) Strings()[i].Empty();
    } else if (count > 0) {
        size_t bytes = static_cast<size_t>(count) * static_cast<size_t>(ValueTypeWidth(type));
        // A single element, the usual case, without a call of memset.
        const uint64_t zero = 0;
        switch (bytes) {
            case 1:
                memcpy(data, &zero, 1);
                break;
            case 2:
                memcpy(data, &zero, 2);
                break;
            case 4:
                memcpy(data, &zero, 4);
                break;
            case 8:
                memcpy(data, &zero, 8);
                break;
            default:
                memset(data, 0, bytes);
                break;
        }
    }
    hasValue = false;
    return true;
}

void TVarient::setValueFlag(bool flag) {
    hasValue = flag;
    if (isReference && ownerHasValue != nullptr) *ownerHasValue = flag;
}

// ---- element storage ----

uint8_t* TVarient::Element(int32_t want, int32_t idx) const {
    if (type != want || !InRange(idx)) {
        TraceLine(varmsg::kOperationIllegal, name.GetBuffer());
        return nullptr;
    }
    return Bytes() + static_cast<size_t>(idx) * static_cast<size_t>(ValueTypeWidth(type));
}

uint8_t* TVarient::ElementBytes(int32_t idx) const {
    if (type == kTypeOctet || !InRange(idx)) return nullptr;
    return Bytes() + static_cast<size_t>(idx) * static_cast<size_t>(ValueTypeWidth(type));
}

OTSTR& TVarient::OctetAt(int32_t idx) {
    static OTSTR dummy;
    if (type != kTypeOctet || !InRange(idx)) {
        TraceLine(varmsg::kOperationIllegal, name.GetBuffer());
        dummy.Empty();
        return dummy;
    }
    return Strings()[idx];
}

double TVarient::LoadDouble(int32_t idx) const {
    double v = 0.0;
    memcpy(&v, ElementBytes(idx), sizeof v);
    return v;
}

// ---- writes ----

bool TVarient::setAt(int32_t idx, const CVarient& source) {
    if (!writable) return false;
    int32_t sourceType = source.GetType();
    if (IsIntegerType(sourceType)) return setAt(idx, source.getUInt32());
    if (sourceType == kTypeDouble) return setAt(idx, source.getDouble());
    const char* bytes = nullptr;
    int32_t length = 0;
    if (sourceType == kTypeOctet && source.getBytes(&bytes, &length)) {
        return setAt(idx, bytes, length);
    }
    TraceLine(varmsg::kSetAtType, name.GetBuffer());
    return false;
}

bool TVarient::setAt(int32_t idx, uint32_t word) {
    if (!writable) return false;
    if (!InRange(idx)) {
        TraceLine(varmsg::kSetAtRange, name.GetBuffer());
        return false;
    }
    if (IsIntegerType(type)) {
        StoreWord(idx, word);
    } else if (type == kTypeDouble) {
        double v = AsSigned(word);
        memcpy(ElementBytes(idx), &v, sizeof v);
    } else {
        TraceLine(varmsg::kSetAtType, name.GetBuffer());
        return false;
    }
    setValueFlag(true);
    return true;
}

bool TVarient::setAt(int32_t idx, double number) {
    if (!writable) return false;
    if (!InRange(idx)) {
        TraceLine(varmsg::kSetAtRange, name.GetBuffer());
        return false;
    }
    if (IsIntegerType(type)) {
        StoreWord(idx, TruncateDoubleToWord(number));
    } else if (type == kTypeDouble) {
        memcpy(ElementBytes(idx), &number, sizeof number);
    } else {
        TraceLine(varmsg::kSetAtType, name.GetBuffer());
        return false;
    }
    setValueFlag(true);
    return true;
}

bool TVarient::setAt(int32_t idx, const char* text, int32_t length) {
    if (!writable) return false;
    bool ok = false;
    if (InRange(idx) && text != nullptr && length >= -1) {
        size_t n = length == -1 ? strlen(text) : static_cast<size_t>(length);
        if (type == kTypeOctet) {
            ok = n <= static_cast<size_t>(INT32_MAX) &&
                 Strings()[idx].Assign(text, static_cast<int>(n)) != nullptr;
        } else if (IsIntegerType(type)) {
            if (n == 1) {
                StoreWord(idx, SignedByte(text[0]));
                ok = true;
            } else if (n == 2 && text[0] == '\\') {
                const char escapes[] = "0\0n\nr\rt\t";
                for (int i = 0; i < 8; i += 2) {
                    if (text[1] == escapes[i]) {
                        StoreWord(idx, static_cast<unsigned char>(escapes[i + 1]));
                        ok = true;
                    }
                }
            }
        }
    }
    if (!ok) {
        TraceLine(varmsg::kSetAtRange, name.GetBuffer());
        return false;
    }
    setValueFlag(true);
    return true;
}

bool TVarient::setAt(int32_t idx, void* pointer) {
    if (!writable) return false;
    if (type != kTypePvoid || !InRange(idx)) {
        TraceLine(varmsg::kSetAtRange, name.GetBuffer());
        return false;
    }
    memcpy(ElementBytes(idx), &pointer, sizeof pointer);
    setValueFlag(true);
    return true;
}

// ---- reads ----

bool TVarient::getAt(int32_t idx, CVarient& out) const {
    if (!IsNumericType(type) && type != kTypeOctet) {
        TraceLine(varmsg::kGetAtType, name.GetBuffer());
        if (out.IsWritable()) out.clear(true);
        return false;
    }
    if (!InRange(idx)) {
        TraceLine(varmsg::kOperationIllegal, name.GetBuffer());
        if (out.IsWritable()) out.clear(true);
        return false;
    }
    if (IsIntegerType(type)) return out.setInteger(LoadWord(idx), type);
    if (type == kTypeDouble) return out.setDouble(LoadDouble(idx));
    const OTSTR& s = Strings()[idx];
    return out.setBytes(s.GetBuffer(), s.GetLength());
}

int32_t TVarient::getAt_as_long(int32_t idx) const {
    if (!IsNumericType(type)) {
        TraceLine(varmsg::kGetAtLongType, name.GetBuffer());
        return 0;
    }
    if (Element(type, idx) == nullptr) return 0;
    return AsSigned(LoadWord(idx));
}

uint32_t TVarient::getAt_as_ulong(int32_t idx) const {
    if (!IsNumericType(type)) {
        TraceLine(varmsg::kGetAtULongType, name.GetBuffer());
        return 0;
    }
    if (Element(type, idx) == nullptr) return 0;
    return LoadWord(idx);
}

double TVarient::getAt_as_double(int32_t idx) const {
    if (!IsNumericType(type)) {
        TraceLine(varmsg::kGetAtDoubleType, name.GetBuffer());
        return 0.0;
    }
    if (Element(type, idx) == nullptr) return 0.0;
    if (type == kTypeDouble) return LoadDouble(idx);
    uint32_t word = LoadWord(idx);
    return IsSignedType(type) ? static_cast<double>(AsSigned(word)) : static_cast<double>(word);
}

bool TVarient::getAt_as_long(int32_t idx, int32_t& out) const {
    out = 0;
    if (!IsNumericType(type) || !InRange(idx)) return false;
    out = AsSigned(LoadWord(idx));
    return true;
}

bool TVarient::getAt_as_ulong(int32_t idx, uint32_t& out) const {
    out = 0;
    if (!IsNumericType(type) || !InRange(idx)) return false;
    out = LoadWord(idx);
    return true;
}

bool TVarient::getAt_as_double(int32_t idx, double& out) const {
    out = 0.0;
    if (!IsNumericType(type) || !InRange(idx)) return false;
    if (type == kTypeDouble) {
        out = LoadDouble(idx);
    } else {
        uint32_t word = LoadWord(idx);
        out = IsSignedType(type) ? static_cast<double>(AsSigned(word)) : static_cast<double>(word);
    }
    return true;
}

bool TVarient::getAt(int32_t idx, OTSTR& out) const {
    if (type != kTypeOctet || !InRange(idx)) {
        out.Empty();
        return false;
    }
    out = Strings()[idx];
    return true;
}

bool TVarient::getTextAt(int32_t idx, OTSTR& out, const char* format) const {
    if (!hasValue) {
        out = "-";
        return true;
    }
    if (!IsValidValueType(type) || !InRange(idx)) {
        out.Empty();
        return false;
    }
    FormatArg arg;
    arg.type = type;
    if (IsIntegerType(type)) {
        arg.word = LoadWord(idx);
    } else if (type == kTypeDouble) {
        arg.number = LoadDouble(idx);
    } else if (type == kTypeOctet) {
        arg.bytes = Strings()[idx].GetBuffer();
        arg.length = Strings()[idx].GetLength();
    } else {
        void* pointer = nullptr;
        getAt(idx, pointer);
        arg.word = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer) & 0xffffffffu);
        format = ValueTypeFormat(kTypePvoid);
    }
    return FormatValueText(out, format, arg);
}

int TVarient::IntegerTextAt(int32_t idx, char* out) const {
    if (!hasValue) {
        out[0] = '-';
        return 1;
    }
    if (!IsIntegerType(type) || !InRange(idx)) return -1;
    uint32_t word = LoadWord(idx);
    return DecimalDigits(IsSignedType(type) ? static_cast<int64_t>(static_cast<int32_t>(word))
                                            : static_cast<int64_t>(word),
                         out);
}

bool TVarient::getByteString(OTSTR& out) const {
    out.Empty();
    if ((type != kTypeInt1 && type != kTypeUInt1) || !InRange(0)) return false;
    return out.Assign(reinterpret_cast<const char*>(Bytes()), std::min(count, storageCount)) !=
           nullptr;
}

// ---- copies and references ----

bool TVarient::clone(const TVarient& source) {
    if (&source == this) return true;
    int32_t n = source.InRange(0) ? std::min(source.count, source.storageCount) : 0;
    bool ok = false;
    void* block = AllocateElements(source.type, n, ok);
    if (ok && n > 0) {
        if (source.type == kTypeOctet) {
            OTSTR* to = static_cast<OTSTR*>(block);
            for (int32_t i = 0; i < n && ok; ++i) {
                const OTSTR& from = source.Strings()[i];
                to[i] = from;
                ok = to[i].GetLength() == from.GetLength();
            }
            if (!ok) FreeElements(kTypeOctet, block);
        } else {
            memcpy(block, source.data,
                   static_cast<size_t>(n) * static_cast<size_t>(ValueTypeWidth(source.type)));
        }
    }
    if (!ok) {
        TraceLine("%s", varmsg::kTCloneMallocFail);
        return false;
    }
    free(false);
    copyBase(source);
    data = block;
    storageType = n > 0 ? source.type : kTypeNone;
    storageCount = n;
    hasValue = source.hasValue;
    writable = source.writable;
    return true;
}

bool TVarient::PassAddressClone(TVarient& source, int32_t idx, bool texts) {
    // Freeing this object's storage must not take the source's with it.
    if (&source == this || (source.isReference && source.ownerHasValue == &hasValue)) {
        return false;
    }
    if (idx >= 0) {
        if (!IsValidValueType(source.type)) {
            TraceLine(varmsg::kPassAddressType, source.name.GetBuffer());
            return false;
        }
        if (!source.InRange(idx)) {
            TraceLine("%s", varmsg::kPassAddressRange);
            return false;
        }
    }
    free(false);
    if (texts) {
        copyBase(source);
    } else {
        type = source.type;
        count = source.count;
    }
    writable = source.writable;
    storageType = source.storageType;
    if (idx < 0) {
        data = source.data;
        storageCount = source.storageCount;
    } else {
        count = 1;
        storageCount = 1;
        if (source.type == kTypeOctet) {
            data = source.Strings() + idx;
        } else {
            data = source.Bytes() +
                   static_cast<size_t>(idx) * static_cast<size_t>(ValueTypeWidth(source.type));
        }
    }
    hasValue = source.hasValue;
    isReference = true;
    ownerHasValue = source.isReference ? source.ownerHasValue : &source.hasValue;
    return true;
}
