// Type codes and basic type names. Tested by types/type_definitions_test.cpp.
#include "types/type_codes.h"

#include <strings.h>

namespace {

struct CodeInfo {
    int32_t declared;
    const char* text;
    int32_t base;
};

const CodeInfo kCodes[] = {
    {kDeclDynamic, "dynamic", kDeclDynamic},
    {kDeclVoid, "void", kDeclVoid},
    {kDeclInt1, "INT1", 0},
    {kDeclInt2, "INT2", 1},
    {kDeclInt4, "INT4", 2},
    {kDeclUInt1, "UINT1", 3},
    {kDeclUInt2, "UINT2", 4},
    {kDeclUInt4, "UINT4", 5},
    {kDeclOctet, "OCTET", 7},
    {kDeclDouble, "DOUBLE", 8},
    {kDeclPvoid, "PVOID", -1},
    {kDeclByte, "BYTE", 3},
    {kDeclWord, "WORD", 4},
    {kDeclDword, "DWORD", 5},
    {kDeclString, "STRING", 7},
    {kDeclTchar, "TCHAR", 7},
    {kDeclMemo, "MEMO", 7},
    {kDeclStruct, "?", kDeclStruct},
    {kDeclChoice, "Choice", kDeclChoice},
};

struct NameInfo {
    const char* name;
    int32_t base;
    int32_t declared;
};

const NameInfo kNames[] = {
    {"INT1", 0, 0},    {"char", 0, 0},          {"tchar", 0, 24},         {"INT2", 1, 1},
    {"int", 1, 1},     {"short", 1, 1},         {"INT4", 2, 2},           {"long", 2, 2},
    {"UINT1", 3, 3},   {"unsigned char", 3, 3}, {"BOOL", 3, 3},           {"BYTE", 3, 20},
    {"UINT2", 4, 4},   {"unsigned int", 4, 4},  {"unsigned short", 4, 4}, {"WORD", 4, 21},
    {"UINT4", 5, 5},   {"unsigned long", 5, 5}, {"DWORD", 5, 22},         {"OCTET", 7, 7},
    {"STRING", 7, 23}, {"MEMO", 7, 25},         {"DOUBLE", 8, 8},         {"FLOAT", 8, 8},
    {"PVOID", 10, 10},
};

const CodeInfo* Find(int32_t declared) {
    for (const CodeInfo& info : kCodes) {
        if (info.declared == declared) return &info;
    }
    return nullptr;
}

}  // namespace

bool LookupBasicType(const char* name, bool allowVoid, int32_t& baseCode, int32_t& declaredCode) {
    baseCode = declaredCode = -1;
    if (name == nullptr) return false;
    for (const NameInfo& info : kNames) {
        if (strcasecmp(info.name, name) == 0) {
            baseCode = info.base;
            declaredCode = info.declared;
            return true;
        }
    }
    return allowVoid && strcasecmp(name, "VOID") == 0;
}

const char* TypeCodeText(int32_t declaredCode) {
    const CodeInfo* info = Find(declaredCode);
    return info != nullptr && info->text[0] != 0 ? info->text : "?";
}

int32_t BaseCodeOf(int32_t declaredCode) {
    const CodeInfo* info = Find(declaredCode);
    return info != nullptr ? info->base : -1;
}

bool IsCreatableCode(int32_t code) {
    switch (code) {
        case -2:
        case -1:
        case 0:
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
        case 7:
        case 8:
        case 10:
        case 128:
        case 129:
            return true;
        default:
            return false;
    }
}
