// Type codes of compiled definitions: the declared code remembers how a
// type was written, the base code decides its storage; and the lookup of the
// basic type names. Tested by types/type_definitions_test.cpp.
#pragma once

#include <cstdint>

enum DeclaredType : int32_t {
    kDeclDynamic = -2,
    kDeclVoid = -1,
    kDeclInt1 = 0,
    kDeclInt2 = 1,
    kDeclInt4 = 2,
    kDeclUInt1 = 3,
    kDeclUInt2 = 4,
    kDeclUInt4 = 5,
    kDeclOctet = 7,
    kDeclDouble = 8,
    kDeclPvoid = 10,
    kDeclByte = 20,
    kDeclWord = 21,
    kDeclDword = 22,
    kDeclString = 23,
    kDeclTchar = 24,
    kDeclMemo = 25,
    kDeclStruct = 128,
    kDeclChoice = 129,
};

// What a definition is, for the compiler's symbol table.
enum DefinitionKind : int32_t {
    kKindNamedValue = 1,
    kKindEnum = 2,
    kKindStruct = 3,
    kKindVariable = 4,
};

// Finds a basic type name (letter case ignored; "VOID" only with
// allowVoid). On failure both codes are -1.
bool LookupBasicType(const char* name, bool allowVoid, int32_t& baseCode, int32_t& declaredCode);
// "INT1", "BYTE", "Choice", "dynamic" ...; "?" for codes without a text
// (and for structs, which are written by their own names).
const char* TypeCodeText(int32_t declaredCode);
// The storage code of a declared code; -1 for unknown codes.
int32_t BaseCodeOf(int32_t declaredCode);
// The codes a definition may be created with: -2, -1, 0-5, 7, 8, 10, 128, 129.
bool IsCreatableCode(int32_t code);
