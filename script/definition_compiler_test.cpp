// Tests of the definitions compiler: structs with their members and
// attribute blocks, attribute keyword lines, DeclareMap tables and the
// struct check.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "pattern/script_lexer.h"
#include "script/attribute_definition.h"
#include "script/compiler.h"
#include "script/declare_map.h"
#include "script/program.h"
#include "script/struct_item.h"
#include "script/test_compile.h"
#include "script/type_specifier.h"
#include "types/enum_item_list.h"
#include "types/variable_definition.h"

namespace {

using testcompile::Compile;

struct Case {
    const char* script;
    std::string result;
};

// Compiles head followed by each case's script.
template <size_t N>
void ExpectResults(const char* head, const Case (&cases)[N]) {
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, Compile((std::string(head) + c.script).c_str())) << c.script;
    }
}

StructItem* Struct(Program& program, const char* name) {
    return dynamic_cast<StructItem*>(program.FindStruct(name));
}

TEST(StructCompiler, HeadersForwardDeclarationsAndMembers) {
    const std::string a = " : Ln 0  struct 'A' ", used = "' already be used";
    const std::string simple = "' is not a simple type for struct value";
    const Case cases[] = {
        {"struct A { INT1 x; UINT2 y[3]; };", "OK"},
        {"struct A; struct B { A a; }; struct A { INT1 x; };", "OK"},
        {"struct A;\nstruct B { A a; };", a + "definition not complete"},
        {"struct A; struct B;\nstruct A { B b; };\nstruct B { A a; };",
         a + "loop definition found"},
        {"struct A;\nstruct A { A self; };", a + "loop definition found"},
        {"struct A = INT2;\nstruct A = INT4 { INT1 x; };", "Ln 1  struct integrated type conflict"},
        {"struct A = INT2;\nstruct A = INT4;", "Ln 1  struct integrated type conflict"},
        {"struct A;\nstruct A = INT2 { INT1 x; };", "Ln 1  struct integrated type conflict"},
        // A failed definition leaves the pending struct to its Program.
        {"struct A; struct B { A a; };\nstruct A { INT1 y; INT1 x[0]; };",
         "Ln 1  get array size fail"},
        {"struct A = INT2; struct A; struct A = int { INT1 x; };", "OK"},
        {"struct A { INT1 x; };\nstruct A { INT1 y; };", "Ln 1  identifier_name 'A" + used},
        {"#define A 1\nstruct A;", "Ln 1  identifier_name 'A" + used},
        {"struct A { INT1 x; }; typedef A T;\nstruct T;", "Ln 1  identifier_name 'T" + used},
        {"struct A = PVOID { INT1 x; };", "Ln 0  'PVOID" + simple},
        {"struct A = Choice;", "Ln 0  'Choice" + simple},
        {"struct A = dynamic { INT1 x; };", "Ln 0  'dynamic" + simple},
        {"struct A INT1 x; };", "Ln 0  '{' expected after struct name"},
        {"struct A { INT1 x; }", "Ln 0  ';' expected"},
        {"struct A { INT1 x };", "Ln 0  ';' expected"},
        {"struct A { INT1 x;", "Ln 0  Type_specifier expected"},
        {"struct A { Nowhere x; };", "Ln 0  'Nowhere' unexpected"},
        // Members.
        {"#define N 2\nstruct A { INT1 x[N * 2]; };", "OK"},
        {"struct A { INT1 x[0]; };", "Ln 0  get array size fail"},
        {"struct A { INT1 x[\"two\"]; };", "Ln 0  get array size fail"},
        {"struct A { INT1 x : 0; };", "Ln 0  get bitlen fail"},
        {"struct A { UINT1 x : 0x3; UINT1 y : 5; };", "Ln 0  get bitlen fail"},
        {"struct A { OCTET s : 3; };", "Ln 0  Bits mode is not supported by this type"},
        {"struct A { INT1 This; };",
         "Ln 0  identifier_name illegal, 'this' is a system reserved keyword"},
        {"struct A { INT1 x;\n INT2 X; };", "Ln 1  identifier_name already be defined"},
        {"struct A { dynamic d; };", "Ln 0  'dynamic' not allowed in struct definition"},
        {"struct A { Choice c[2] { }; };", "Ln 0  'Choice' type do't support array definition"},
        {"struct A { Choice; };", "Ln 0  missing { attr... } for 'Choice' type"},
        {"struct A { Choice c; };", "Ln 0  missing { attr... } for 'Choice' type"},
        {"struct B { INT1 x; };\nstruct A { B b { }; };",
         "Ln 1  var with struct type does't support AttributeDefinition"},
        // The bit layout is checked with the struct.
        {"struct A { UINT2 a : 4; UINT2 b : 12; UINT1 c : 8; };", "OK"},
        {"struct A { UINT1 a : 6; UINT1 b : 4; };", a + "Bits definition overflow"},
        {"struct A { UINT1 a : 4; UINT2 b : 4; };", a + "Bits definition not complete"},
        {"struct A { UINT2 a : 4; UINT2 b : 8; };", a + "Bits definition error"},
        {"struct A { UINT1 a : 40; };", a + "Bits definition overflow"},
    };
    ExpectResults("", cases);
}

TEST(StructCompiler, AttributeBlocksKeywordsAndProcedures) {
    const char* head =
        "struct T = UINT2 { };\n"                   // line 0: integrated type
        "struct S = OCTET { };\n"                   // line 1
        "struct P { INT1 x; };\n"                   // line 2: no integrated type
        "enum E { A = 1, B = 2 };\n"                // line 3
        "DeclareMap ( Item , M ) { a [1] P; };\n";  // line 4
    const std::string fail = "Ln 5  AttributeDefinition CompleteIt fail, ";
    const Case cases[] = {
        {"struct X { UINT1 v { TypeOF T }; INT4 w { TypeOF t }; };", "OK"},
        {"struct X { OCTET v { TypeOF S }; };", "OK"},
        {"struct X { UINT1 v { DumpOF E ( Or ) }; INT2 w { DumpOF E ( Equal ) }; };", "OK"},
        {"struct X { DOUBLE v { DumpOF E ( Equal ) TypeOF T }; };", "OK"},
        {"struct X { MEMO text { ContentOF P }; };", "OK"},
        {"struct X { UINT1 v { }; };", "OK"},
        {"struct X { UINT1 v { TypeOF Q }; };", "Ln 5  struct 'Q' not found"},
        {"struct X { Choice { TypeOF T }; };", "Ln 5  Only simple type is supported by 'TypeOf'"},
        {"struct X { OCTET v { DumpOF E ( Or ) }; };",
         "Ln 5  Only Number type is supported by 'DumpOf'"},
        {"struct X { UINT1 v { DumpOF F ( Or ) }; };", "Ln 5  enum 'F' not found"},
        {"struct X { UINT1 v { DumpOF E ( Xor ) }; };", "Ln 5  'Or' or 'Equal'  expected"},
        {"struct X { UINT1 v { ChoiceMap M }; };",
         "Ln 5  'ChoiceMap' can only be used in Varient with choice type"},
        {"struct X { Choice { ChoiceMap N }; };", "Ln 5  DeclareMap 'N' not found"},
        {"struct X { STRING v { ContentOF P }; };",
         "Ln 5  'ContentOF' can only be used in Varient with Memo type"},
        {"struct X { MEMO v { ContentOF Q }; };", "Ln 5  struct 'Q' not found"},
        {"attribute name = \"T\" {\n TypeOF T }",
         "Ln 6  'TypeOF' not allowd in struct attrib definition"},
        // Completion of a member's block.
        {"struct X { OCTET v { }; };", fail + "missing procedure Translate() here"},
        {"struct X { DOUBLE v { DumpOF E ( Or ) }; };",
         fail + "missing procedure Translate() here"},
        {"struct X { Choice { ChoiceMap M }; };", fail + "missing procedure Translate() here"},
        {"struct X { UINT1 v { TypeOF P }; };", fail + "struct has no Integrated type"},
        {"struct X { OCTET v { TypeOF T }; };",
         fail + "'TypeOF' uncompatible with var definition's type"},
        {"struct X { UINT2 v { TypeOF S }; };",
         fail + "'TypeOF' uncompatible with var definition's type"},
        {"struct X { UINT1 v { DumpOF E ( Or ) DumpOF E ( Equal ) }; };",
         fail + "only one of 'DumpOF' and 'Dump'() is allowed in var definition"},
        // Procedures in the blocks.
        {"struct X { Choice { ChoiceMap M INT4 Translate() { return 1; } }; };", "OK"},
        {"struct X { OCTET s { INT1 Translate() { return 1; } OCTET Dump() { return \"x\"; } }; };",
         "OK"},
        {"struct X { UINT1 v { OCTET dump() { return \"x\"; } }; };", "OK"},
        {"struct X { Choice { INT4 Translate() { return 1; } }; };",
         fail + "missing 'ChoiceMap' here"},
        {"struct X { UINT1 a : 4 { INT1 Translate() { return 1; } }; UINT1 b : 4; };",
         fail + "Translate() procedure is not allowed for var with bits definition"},
        {"struct X { UINT2 v { TypeOF T INT1 Translate() { return 1; } }; };",
         fail + "to be a T Integrated-value, Translate() is not allowed"},
        {"struct X { UINT1 v { INT1 Dump() { return 1; } }; };",
         fail + "Dump()'s return type must be String"},
        {"struct X { UINT1 v { DumpOF E ( Or ) OCTET Dump() { return \"x\"; } }; };",
         fail + "only one of 'DumpOF' and 'Dump'() is allowed in var definition"},
        // A struct's own block, filled by the attribute construct.
        {"attribute name = \"T\" { UINT2 Integrate() { return 1; } OCTET Dump() { return \"t\"; } "
         "}",
         "OK"},
        {"attribute name = \"T\" {\n INT4 Integrate() { return 1; } }",
         "Ln 6  AttributeDefinition CompleteIt fail, Integrate type in struct header is not same "
         "with procedure Integrate()'s return type"},
        {"attribute name = \"T\" {\n INT2 Dump() { return 1; } }",
         "Ln 6  AttributeDefinition CompleteIt fail, Dump()'s return type must be String"},
    };
    ExpectResults(head, cases);
}

TEST(StructCompiler, MembersSlotsAndSerialNumbers) {
    Program program;
    ASSERT_EQ("OK", Compile("struct T = UINT2; // forward\n"
                            "enum E { A = 1 };\n"
                            "struct Inner { INT1 i; };\n"
                            "typedef Inner Alias;\n"
                            "struct Outer { // the outer one\n"
                            "  UINT1 hi : 3;  // high bits\n"
                            "  UINT1 lo : 5;\n"
                            "  WORD w[4] { DumpOF E ( Equal ) };\n"
                            "  Alias inner;\n"
                            "  UINT2 t { TypeOF T };\n"
                            "  unsigned char c;\n"
                            "};\n"
                            "struct T = UINT2 { UINT1 a; UINT1 b; };\n",
                            program));
    StructItem* outer = Struct(program, "outer");
    StructItem* inner = Struct(program, "Inner");
    StructItem* t = Struct(program, "T");
    ASSERT_TRUE(outer != nullptr && inner != nullptr && t != nullptr);
    EXPECT_STREQ("the outer one", outer->GetDescription().GetBuffer(0));
    EXPECT_FALSE(t->pending);
    EXPECT_EQ(nullptr, outer->attributes);

    // Name, base and declared type, count, bits, high bit, group end, type name.
    using Member =
        std::tuple<std::string, int32_t, int32_t, int32_t, int32_t, int32_t, bool, std::string>;
    const Member expected[] = {
        {"hi", kDeclUInt1, kDeclUInt1, 1, 3, 7, false, "UINT1"},
        {"lo", kDeclUInt1, kDeclUInt1, 1, 5, 4, true, "UINT1"},
        {"w", kDeclUInt2, kDeclWord, 4, -1, 0, false, "WORD"},
        {"inner", kDeclStruct, kDeclStruct, 1, -1, 0, false, "Inner"},
        {"t", kDeclUInt2, kDeclUInt2, 1, -1, 0, false, "UINT2"},
        {"c", kDeclUInt1, kDeclUInt1, 1, -1, 0, false, "unsigned char"},
    };
    ASSERT_EQ(6, outer->GetMemberCount());
    for (int i = 0; i < 6; ++i) {
        const VariableDefinition* m = outer->GetMember(i);
        EXPECT_EQ(expected[i],
                  Member(m->GetName().GetBuffer(0), m->baseType, m->declaredType, m->count,
                         m->bitCount, m->bitHigh, m->bitGroupEnd, m->typeName.GetBuffer(0)));
        if (i > 0) {
            EXPECT_GT(m->id, outer->GetMember(i - 1)->id);
        }
    }
    EXPECT_GT(outer->GetMember(0)->id, outer->id);
    EXPECT_GT(outer->id, inner->GetMember(0)->id);
    EXPECT_GT(inner->id, t->id) << "a forward declaration numbers the struct";
    EXPECT_STREQ("high bits", outer->GetMember(0)->GetDescription().GetBuffer(0));
    EXPECT_EQ(inner, outer->GetMember(3)->structDef);

    AttributeDefinition* dump = outer->GetMember(2)->attributes;
    ASSERT_NE(nullptr, dump);
    EXPECT_EQ(outer->GetMember(2), dump->ownerMember);
    EXPECT_EQ(program.FindEnum("E"), dump->slots.dumpEqual);
    EXPECT_EQ(nullptr, dump->slots.dumpOr);
    AttributeDefinition* typeOf = outer->GetMember(4)->attributes;
    ASSERT_NE(nullptr, typeOf);
    EXPECT_EQ(static_cast<StructDefinition*>(t), typeOf->slots.typeOf);

    ASSERT_NE(nullptr, t->attributes);
    EXPECT_EQ(t, t->attributes->ownerStruct);
    const TypeSpecifier* integrated = t->attributes->slots.integrated.get();
    ASSERT_NE(nullptr, integrated);
    EXPECT_EQ(kDeclUInt2, integrated->type);
    EXPECT_EQ(2, t->GetMemberCount());
    EXPECT_EQ(0, program.pendingStructs.GetSize());

    // T stands in the ordered list at its forward line and at its definition.
    std::vector<int> lines;
    for (int i = 0; i < program.ItemCount(); ++i) {
        if (program.ItemAt(i) == t) lines.push_back(program.ItemLine(i));
    }
    EXPECT_EQ((std::vector<int>{0, 12}), lines);
}

TEST(StructCompiler, ChoiceMembersFilledSlotsAndFindById) {
    Program program;
    ASSERT_EQ("OK", Compile("struct P { INT1 x; };\n"
                            "DeclareMap ( Item , M ) { a [1] P; };\n"
                            "struct T = INT2 { INT1 lo; INT1 hi; };\n"
                            "attribute name = \"T\" { INT2 Integrate() { return 1; } }\n"
                            "struct A {\n"
                            "  Choice { ChoiceMap M  INT4 Translate() { return 1; } };\n"
                            "  INT1 b;\n"
                            "  Choice { ChoiceMap M  INT4 Translate() { return 2; } };\n"
                            "  Choice named { ChoiceMap M  INT4 Translate() { return 3; } };\n"
                            "};\n"
                            "struct S { UINT1 a; UINT1 v { INT4 scratch; }; };\n",
                            program));
    StructItem* a = Struct(program, "A");
    ASSERT_NE(nullptr, a);
    ASSERT_EQ(4, a->GetMemberCount());
    const char* names[] = {"$0", "b", "$2", "named"};
    for (int i = 0; i < 4; ++i) EXPECT_STREQ(names[i], a->GetMember(i)->GetName().GetBuffer(0));
    const VariableDefinition* choice = a->GetMember(2);
    EXPECT_EQ(kDeclChoice, choice->baseType);
    EXPECT_STREQ("Choice", choice->typeName.GetBuffer(0));
    ASSERT_NE(nullptr, choice->attributes);
    EXPECT_EQ(program.FindDeclareMap("M"), choice->attributes->slots.choiceMap);
    ASSERT_NE(nullptr, choice->attributes->slots.translate);
    EXPECT_EQ(choice->attributes->FindProcedure("Translate"), choice->attributes->slots.translate);
    EXPECT_NE(a->GetMember(0)->attributes->slots.translate, choice->attributes->slots.translate);

    StructItem* t = Struct(program, "T");
    ASSERT_TRUE(t != nullptr && t->attributes != nullptr);
    EXPECT_EQ(t->attributes->FindProcedure("Integrate"), t->attributes->slots.integrate);
    EXPECT_NE(nullptr, t->attributes->slots.integrate);

    // FindById searches the members' attribute blocks too.
    StructItem* s = Struct(program, "S");
    ASSERT_TRUE(s != nullptr && s->GetMember(1)->attributes != nullptr);
    VariableDefinition* scratch = s->GetMember(1)->attributes->FindVariable("scratch");
    ASSERT_NE(nullptr, scratch);
    EXPECT_EQ(s->GetMember(0), s->FindById(s->GetMember(0)->id));
    EXPECT_EQ(scratch, s->FindById(scratch->id));
    EXPECT_EQ(nullptr, s->FindById(0));
}

TEST(StructCompiler, ByteOrderFollowsEarlierDefine) {
    struct {
        const char* define;
        bool highFirst;
    } cases[] = {
        {"", false},
        {"#define NETWORK_TRANMODE H_TO_L\n", true},
        {"#define NETWORK_TRANMODE h_to_l\n", false},
        {"#define NETWORK_TRANMODE L_TO_H\n", false},
        {"#define NETWORK_TRANMODE 1\n", false},
    };
    for (const auto& c : cases) {
        Program program;
        std::string script = std::string("struct Before { UINT2 x; };\n") + c.define +
                             "struct After { UINT2 y; };\n"
                             "DeclareMap ( Item , M ) { a [1] UINT2; };\n";
        ASSERT_EQ("OK", Compile(script.c_str(), program)) << c.define;
        StructItem* before = Struct(program, "Before");
        StructItem* after = Struct(program, "After");
        ASSERT_TRUE(before != nullptr && after != nullptr);
        EXPECT_TRUE(before->lowByteFirst);
        EXPECT_TRUE(before->GetMember(0)->lowByteFirst);
        EXPECT_EQ(!c.highFirst, after->lowByteFirst) << c.define;
        EXPECT_EQ(!c.highFirst, after->GetMember(0)->lowByteFirst) << c.define;
        EXPECT_EQ(!c.highFirst, program.FindDeclareMap("M")->ItemAt(0)->lowByteFirst);
    }
}

TEST(DeclareMapCompiler, Messages) {
    const char* head = "struct P { INT1 x; };\nstruct T = UINT4 { };\n";
    const std::string notAllowed = " not allowed in DeclareMap(struct)";
    const Case cases[] = {
        {"DeclareMap ( Item , M ) { a [1] P; b [2] UINT2; c [3] TypeOF T; };", "OK"},
        {"DeclareMap ( ImplicitItem , M ) { a [1] P b [2] P };", "OK"},
        {"DeclareMap ( Item , M ) { };", "OK"},
        {"DeclareMap ( Item , M ) {\n a [1] P;\n b [1] INT1; };",
         "Ln 4  struct nTag already be used"},
        {"DeclareMap ( Item , M ) { a [\"x\"] P; };", "Ln 2  get nTag fail"},
        {"DeclareMap ( Item , M ) { a [1] TypeOF UINT2; };", "Ln 2  TypeOf 'UINT2'" + notAllowed},
        {"DeclareMap ( Item , M ) { a [1] TypeOF P; };",
         "Ln 2  'P' is not a integrate value struct"},
        {"DeclareMap ( Item , M ) { a [1] Choice; };", "Ln 2  type 'Choice'" + notAllowed},
        {"DeclareMap ( Item , M ) { a [1] PVOID; };", "Ln 2  type 'PVOID'" + notAllowed},
        {"DeclareMap ( Item , M ) { a [1] dynamic; };", "Ln 2  type 'dynamic'" + notAllowed},
        {"DeclareMap ( Item , M ) a [1] P; };", "Ln 2  '{' expected after declareMap header"},
        {"DeclareMap ( Item , M ) { a [1] P; }", "Ln 2  ';' expected"},
        {"DeclareMap ( Item , M ) { a [1] P;", "Ln 2  $Ident  expected"},
        {"DeclareMap ( Items , M ) { };", "Ln 2  'Item' or 'ImplicitItem'  expected"},
    };
    ExpectResults(head, cases);
}

TEST(DeclareMapCompiler, ItemsTagsAndTypes) {
    Program program;
    ASSERT_EQ("OK", Compile("#define BASE 10\n"
                            "struct P { INT1 x; };\n"
                            "struct T = INT2 { };\n"
                            "DeclareMap ( ImplicitItem , Map ) { // the map\n"
                            "  first [BASE + 1] P;  // a struct\n"
                            "  second [2] TypeOF T;\n"
                            "  third [-1] DWORD;\n"
                            "};\n",
                            program));
    DeclareMap* map = program.FindDeclareMap("map");
    ASSERT_NE(nullptr, map);
    EXPECT_TRUE(map->implicit);
    EXPECT_STREQ("the map", map->GetDescription().GetBuffer(0));
    ASSERT_EQ(3, map->ItemCount());
    VariableDefinition* first = map->FindTag(11);
    VariableDefinition* second = map->FindTag(2);
    VariableDefinition* third = map->FindTag(-1);
    ASSERT_TRUE(first != nullptr && second != nullptr && third != nullptr);
    EXPECT_STREQ("first", first->GetName().GetBuffer(0));
    EXPECT_STREQ("a struct", first->GetDescription().GetBuffer(0));
    EXPECT_EQ(kDeclStruct, first->baseType);
    EXPECT_EQ(program.FindStruct("P"), first->structDef);
    EXPECT_EQ(kDeclInt2, second->baseType) << "the integrated type of T";
    EXPECT_EQ(program.FindStruct("T"), second->structDef);
    EXPECT_EQ(kDeclUInt4, third->baseType);
    EXPECT_EQ(kDeclDword, third->declaredType);
    EXPECT_LT(first->id, second->id);
    EXPECT_LT(second->id, third->id);
    EXPECT_EQ(kItemDeclareMap, program.ItemAt(program.ItemCount() - 1)->ItemKind());
    EXPECT_EQ(3, program.ItemLine(program.ItemCount() - 1));
}

}  // namespace
