// Tests of type codes, basic type names, definitions, bit-field layout and
// enum texts.
#include <gtest/gtest.h>

#include <string>

#include "types/enum_item_list.h"
#include "types/struct_definition.h"
#include "types/type_codes.h"
#include "types/variable_definition.h"
#include "values/cvarient.h"

namespace {

TEST(TypeCodes, BasicTypeNames) {
    struct Case {
        const char* name;
        bool allowVoid;
        bool found;
        int32_t base, declared;
    } cases[] = {
        {"unsigned int", false, true, 4, 4}, {"WORD", false, true, 4, 21},
        {"BYTE", false, true, 3, 20},        {"int1", false, true, 0, 0},
        {"int", false, true, 1, 1},          {"Unsigned Long", false, true, 5, 5},
        {"tchar", false, true, 0, 24},       {"float", false, true, 8, 8},
        {"bool", false, true, 3, 3},         {"VOID", false, false, -1, -1},
        {"void", true, true, -1, -1},        {"Choice", true, false, -1, -1},
        {"", false, false, -1, -1},
    };
    for (const Case& c : cases) {
        int32_t base = 99, declared = 99;
        EXPECT_EQ(c.found, LookupBasicType(c.name, c.allowVoid, base, declared)) << c.name;
        EXPECT_EQ(c.base, base) << c.name;
        EXPECT_EQ(c.declared, declared) << c.name;
    }
    EXPECT_STREQ("DWORD", TypeCodeText(22));
    EXPECT_STREQ("Choice", TypeCodeText(129));
    EXPECT_STREQ("?", TypeCodeText(6));
    EXPECT_EQ(-1, BaseCodeOf(kDeclPvoid));
    EXPECT_EQ(7, BaseCodeOf(kDeclMemo));
    EXPECT_EQ(-1, BaseCodeOf(99));
    EXPECT_TRUE(IsCreatableCode(-2) && IsCreatableCode(129) && IsCreatableCode(10));
    EXPECT_FALSE(IsCreatableCode(6) || IsCreatableCode(20) || IsCreatableCode(9));
}

TEST(VariableDefinition, RecordAndDisplayName) {
    VariableDefinition def;
    EXPECT_FALSE(def.set("x", 6, 1));
    EXPECT_FALSE(def.set("x", 3, -1));
    ASSERT_TRUE(def.set("flags", kDeclUInt1, 1));
    EXPECT_TRUE(def.typeName.IsEmpty());
    ASSERT_TRUE(def.setBitCount(3));
    ASSERT_TRUE(def.setBitHigh(7));
    EXPECT_STREQ("flags:07_3", def.GetDisplayName().GetBuffer(0));
    EXPECT_STREQ("flags:3", def.GetDisplayName(false).GetBuffer(0));
    def.byAddress = true;
    def.count = 4;
    EXPECT_STREQ("&flags[4]:07_3", def.GetDisplayName().GetBuffer(0));

    VariableDefinition choice;
    ASSERT_TRUE(choice.set("body", kDeclChoice, 1));
    EXPECT_STREQ("body[]", choice.GetDisplayName().GetBuffer(0));
    EXPECT_FALSE(choice.setBitCount(2)) << "bit fields only on integers";
    VariableDefinition real;
    ASSERT_TRUE(real.set("r", kDeclDouble, 1));
    EXPECT_FALSE(real.setBitHigh(0));

    VariableDefinition copy;
    copy.copyFrom(def);
    EXPECT_EQ(3, copy.bitCount);
    EXPECT_EQ(4, copy.count);
    EXPECT_FALSE(copy.byAddress) << "only the fields down to the bit group are copied";
    copy.reset();
    EXPECT_EQ(-1, copy.baseType);
    EXPECT_EQ(-1, copy.bitCount);
}

// A struct of (type, bits) members; bits 0 means no bit field.
StructDefinition* MakeStruct(std::initializer_list<std::pair<int32_t, int32_t>> members) {
    auto* def = new StructDefinition;
    int n = 0;
    for (const auto& m : members) {
        auto* member = new VariableDefinition;
        member->set(("m" + std::to_string(n++)).c_str(), m.first, 1);
        if (m.second > 0) member->setBitCount(m.second);
        def->AddMember(member);
    }
    return def;
}

TEST(StructDefinition, BitFieldsFillUnitsFromTheTop) {
    struct Case {
        std::initializer_list<std::pair<int32_t, int32_t>> members;
        const char* message;  // null: passes
    } cases[] = {
        {{{kDeclUInt2, 4}, {kDeclUInt2, 12}}, nullptr},
        {{{kDeclUInt2, 4}, {kDeclUInt2, 8}}, "Bits definition error"},
        {{{kDeclUInt1, 4}, {kDeclUInt2, 4}}, "Bits definition not complete"},
        {{{kDeclUInt1, 4}, {kDeclUInt1, 0}}, "Bits definition not complete"},
        {{{kDeclUInt1, 6}, {kDeclUInt1, 4}}, "Bits definition overflow"},
        {{{kDeclUInt1, 8}, {kDeclInt4, 0}}, nullptr},
        {{}, nullptr},
    };
    for (const Case& c : cases) {
        StructDefinition* def = MakeStruct(c.members);
        const char* message = nullptr;
        EXPECT_EQ(c.message == nullptr, def->CheckBits(&message));
        if (c.message != nullptr) {
            EXPECT_STREQ(c.message, message);
        }
        delete def;
    }
    StructDefinition* def = MakeStruct({{kDeclUInt1, 3}, {kDeclUInt1, 5}, {kDeclUInt2, 0}});
    ASSERT_TRUE(def->CheckBits(nullptr));
    EXPECT_EQ(7, def->GetMember(0)->bitHigh);
    EXPECT_FALSE(def->GetMember(0)->bitGroupEnd);
    EXPECT_EQ(4, def->GetMember(1)->bitHigh);
    EXPECT_TRUE(def->GetMember(1)->bitGroupEnd);
    EXPECT_EQ(def->GetMember(1), def->FindMember("M1"));
    def->GetMember(2)->id = 77;
    EXPECT_EQ(def->GetMember(2), def->FindById(77));
    EXPECT_EQ(nullptr, def->FindById(78));
    delete def;

    StructDefinition bigEndian;
    bigEndian.lowByteFirst = false;
    auto* member = new VariableDefinition;
    ASSERT_TRUE(bigEndian.AddMember(member));
    EXPECT_FALSE(member->lowByteFirst);
}

TEST(EnumItemList, ExactAndCombinedTexts) {
    EnumItemList list;
    auto add = [&list](const char* name, uint32_t value, const char* comment) {
        CVarient item;
        item.SetName(name);
        item.setInteger(value, 5);
        if (comment) item.SetDescription(comment);
        return list.Add(item, true);
    };
    ASSERT_TRUE(add("A", 1, nullptr));
    ASSERT_TRUE(add("B", 4, nullptr));
    ASSERT_TRUE(add("C", 2, "the C"));
    EXPECT_FALSE(add("b", 9, nullptr)) << "names compare without regard to case";
    CVarient unnamed;
    unnamed.setInteger(3, 5);
    EXPECT_FALSE(list.Add(unnamed, false));

    const struct {
        uint32_t value;
        bool exact;
        bool found;
        const char* text;
    } texts[] = {
        {5, false, true, "A | B"}, {7, false, true, "A | B | the C"}, {8, false, false, "none"},
        {2, true, true, "the C"},  {5, true, false, "none"},
    };
    OTSTR text;
    for (const auto& t : texts) {
        EXPECT_EQ(t.found, list.TextOfValue(t.value, t.exact, text, "none")) << t.value;
        EXPECT_STREQ(t.text, text.GetBuffer(0)) << t.value;
    }
    ASSERT_TRUE(add("Z", 0, nullptr));
    EXPECT_TRUE(list.TextOfValue(8, false, text));
    EXPECT_STREQ("Z", text.GetBuffer(0)) << "an item of value 0 is part of every combined text";

    OTSTR name;
    const char* comment = "unset";
    ASSERT_TRUE(list.NameOfValue(2, name, &comment));
    EXPECT_STREQ("C", name.GetBuffer(0));
    EXPECT_STREQ("the C", comment);
    ASSERT_TRUE(list.NameOfValue(4, name, &comment));
    EXPECT_EQ(nullptr, comment);
    EXPECT_FALSE(list.NameOfValue(99, name));
    EXPECT_EQ(2, list.Find("c"));
    EXPECT_EQ(-1, list.Find("q"));

    // A long list is looked up in a table: the first item of a value still
    // wins, and items added after a look-up are found too.
    for (uint32_t v = 100; v < 140; ++v)
        ASSERT_TRUE(add(("V" + std::to_string(v)).c_str(), v, nullptr));
    ASSERT_TRUE(add("Again", 4, nullptr));
    ASSERT_TRUE(list.TextOfValue(4, true, text));
    EXPECT_STREQ("B", text.GetBuffer(0));
    EXPECT_FALSE(list.TextOfValue(140, true, text, "none"));
    ASSERT_TRUE(add("Late", 140, "late"));
    ASSERT_TRUE(list.TextOfValue(140, true, text));
    EXPECT_STREQ("late", text.GetBuffer(0));
    ASSERT_TRUE(list.NameOfValue(139, name));
    EXPECT_STREQ("V139", name.GetBuffer(0));
}

}  // namespace
