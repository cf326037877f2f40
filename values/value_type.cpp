// The value type codes: names, element widths, default text formats, the
// type classes and the double-to-word conversion; also the trace helper of
// the value classes. Tested by values/cvarient_test.cpp.
#include "values/value_type.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "base/tracer.h"
#include "values/varient_messages.h"

namespace {

struct TypeInfo {
    int32_t code;
    const char* name;
    int32_t width;
    const char* format;
};

// By code; the codes between have no entry (a null name).
constexpr TypeInfo kTypes[] = {
    {kTypeInt1, "INT1", 1, "%ld"},
    {kTypeInt2, "INT2", 2, "%ld"},
    {kTypeInt4, "INT4", 4, "%ld"},
    {kTypeUInt1, "UINT1", 1, "%lu"},
    {kTypeUInt2, "UINT2", 2, "%lu"},
    {kTypeUInt4, "UINT4", 4, "%lu"},
    {kTypeNone, nullptr, 0, nullptr},
    {kTypeOctet, "OCTET", 0, "\"%s\""},
    {kTypeDouble, "DOUBLE", 8, "%.2f"},
    {kTypeNone, nullptr, 0, nullptr},
    {kTypePvoid, "PVOID", static_cast<int32_t>(sizeof(void*)), "&%08X"},
};
constexpr int32_t kTypeCount = static_cast<int32_t>(sizeof kTypes / sizeof kTypes[0]);

constexpr bool IndexedByCode() {
    for (int32_t i = 0; i < kTypeCount; ++i) {
        if (kTypes[i].name != nullptr && kTypes[i].code != i) return false;
    }
    return true;
}
static_assert(IndexedByCode(), "each type's entry stands at its code");

const TypeInfo* Find(int32_t type) {
    if (type < 0 || type >= kTypeCount || kTypes[type].name == nullptr) return nullptr;
    return &kTypes[type];
}

}  // namespace

const char* ValueTypeName(int32_t type) {
    const TypeInfo* info = Find(type);
    return info != nullptr ? info->name : "";
}

int32_t ValueTypeWidth(int32_t type) {
    const TypeInfo* info = Find(type);
    return info != nullptr ? info->width : 0;
}

const char* ValueTypeFormat(int32_t type) {
    const TypeInfo* info = Find(type);
    return info != nullptr ? info->format : nullptr;
}

bool IsValidValueType(int32_t type) {
    return Find(type) != nullptr;
}

bool IsSignedType(int32_t type) {
    return type >= kTypeInt1 && type <= kTypeInt4;
}

bool IsUnsignedType(int32_t type) {
    return type >= kTypeUInt1 && type <= kTypeUInt4;
}

bool IsIntegerType(int32_t type) {
    return type >= kTypeInt1 && type <= kTypeUInt4;
}

bool IsNumericType(int32_t type) {
    return IsIntegerType(type) || type == kTypeDouble;
}

uint32_t TruncateDoubleToWord(double value) {
    if (std::isnan(value)) return 0;
    double whole = std::trunc(value);
    if (whole >= 4294967295.0) return UINT32_MAX;
    if (whole <= -2147483648.0) return 0x80000000u;
    // Both bounds lie inside int64_t, so the conversion is defined.
    return static_cast<uint32_t>(static_cast<int64_t>(whole));
}
