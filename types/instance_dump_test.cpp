// Tests of the instance dumps: golden file dumps, the tree dump's rows (value
// forms, row layout, name-column options) and the hooks of a derived item.
#include "types/instance_dump.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/scratch_dir.h"
#include "base/tracer.h"
#include "types/cstruct.h"
#include "types/struct_definition.h"
#include "types/text_table.h"
#include "types/type_codes.h"
#include "types/variable_definition.h"
#include "types/variable_item.h"

namespace {

// Appends a member definition to s; a struct member when type is given.
VariableDefinition* AddMember(StructDefinition& s, const char* name, int32_t declared,
                              int32_t count, uint16_t id = 0, StructDefinition* type = nullptr) {
    auto* def = new VariableDefinition;
    def->set(name, type != nullptr ? kDeclStruct : BaseCodeOf(declared), count);
    def->setTypeName(type != nullptr ? type->GetName().GetBuffer() : TypeCodeText(declared),
                     type != nullptr ? kDeclStruct : declared);
    def->structDef = type;
    def->id = id;
    EXPECT_TRUE(s.AddMember(def));
    return def;
}

CVariableItem* Member(CVariableItem& parent, const char* name) {
    CVariableItem* item = parent.GetItemByName(name, true, false);
    EXPECT_NE(item, nullptr) << name;
    return item;
}

// Creates item as a basic array of declared with one element per value.
template <typename T>
void Make(CVariableItem& item, int32_t declared, const char* name,
          std::initializer_list<T> values) {
    ASSERT_TRUE(item.create(declared, name, static_cast<int32_t>(values.size())));
    int32_t i = 0;
    for (const T& v : values) ASSERT_TRUE(item.setAt(i++, v));
}

// A table whose value column is valueWidth wide.
void SetUpTable(TextTable& table, int valueWidth) {
    const uint16_t kContent = TextTable::kWidthFromContent | TextTable::kLeftJustify;
    ASSERT_TRUE(table.SetColumns({"L", "M", "N", "D", ""}));
    ASSERT_TRUE(table.SetColumnFormats({{kContent, 1, 0, 1},
                                        {kContent, 1, 0, 1},
                                        {kContent, 1, 0, 1},
                                        {kContent, 1, 0, 1},
                                        {TextTable::kLeftJustify, valueWidth, 0, 1}}));
    ASSERT_EQ(table.GetColumnWidth(kDumpValueColumn), valueWidth);
}

// One line a row: the level and the five cells, "|" between.
std::string Rows(const TextTable& table) {
    std::string out;
    for (int row = 0; row < table.GetRowCount(); ++row) {
        out += std::to_string(table.GetLevel(row));
        for (int column = 0; column < 5; ++column) {
            const char* cell = table.GetCell(row, column);
            out += '|';
            out += cell != nullptr ? cell : "";
        }
        out += '\n';
    }
    return out;
}

// The rows of the tree dumps of items, one after the other in a table whose
// value column is 20 wide.
std::string TreeRows(std::initializer_list<CVariableItem*> items, uint32_t options,
                     int32_t hexBytesPerRow) {
    TextTable table;
    SetUpTable(table, 20);
    for (CVariableItem* item : items)
        EXPECT_TRUE(DumpTree(*item, table, options, 0, hexBytesPerRow));
    return Rows(table);
}

// What the trace log writes to the console while fn runs.
template <typename Fn>
std::string Traced(Fn fn) {
    const bool wasOn = Tracer::inst()->IsConsoleOn();
    Tracer::inst()->SetConsoleOn(true);
    testing::internal::CaptureStdout();
    fn();
    fflush(stdout);
    std::string text = testing::internal::GetCapturedStdout();
    Tracer::inst()->SetConsoleOn(wasOn);
    return text;
}

// ---- file dump ----

using InstanceDumpFileTest = ScratchDirTest;

// Each dump is appended to the file but the first, which starts it anew.
TEST_F(InstanceDumpFileTest, BytesNumbersOctetsAndAnEmptyStructArray) {
    CVariableItem bytes, signedArray, plain, real, octets, none;
    Make(bytes, kDeclByte, "b", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    Make(signedArray, kDeclInt2, "v", {-1, 0, 300});
    Make(plain, kDeclUInt1, "u", {200});  // UINT1 is not BYTE: decimal
    Make(real, kDeclDouble, "d", {2.5});
    Make(octets, kDeclOctet, "s", {"ab", "c", "d e"});
    StructDefinition header;
    header.SetName("Hdr");
    AddMember(header, "x", kDeclUInt1, 1);
    ASSERT_TRUE(none.create(&header, "h", 0));

    // Bytes wrap after ten, with blank columns under the value column.
    const std::string byteRows =
        "BYTE b[12] = 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, \n"
        "             0x0B, 0x0C  \n\n";
    for (int round = 0; round < 2; ++round) {
        for (CVariableItem* item : {&bytes, &signedArray, &plain, &real, &octets, &none}) {
            ASSERT_TRUE(DumpToFile(*item, "d.txt", item == &bytes));
        }
    }
    EXPECT_EQ(ReadWholeFile("d.txt"), byteRows +
                                          "INT2 v[3] = -1, 0, 300  \n\n"
                                          "UINT1 u = 200  \n\n"
                                          "DOUBLE d = 2.50  \n\n"
                                          "OCTET s[3] = \"ab\",\n"
                                          "             \"c\",\n"
                                          "             \"d e\" \n\n"
                                          "Hdr h = -\n\n");
    EXPECT_FALSE(DumpToFile(bytes, "no\\such\\dir.txt", true));
}

TEST_F(InstanceDumpFileTest, NestedStructsAlignUnderTheValueColumn) {
    StructDefinition inner;
    inner.SetName("Inner");
    AddMember(inner, "a", kDeclInt1, 1);
    AddMember(inner, "value", kDeclDouble, 1);
    StructDefinition outer;
    outer.SetName("Outer");
    AddMember(outer, "len", kDeclUInt2, 1);
    AddMember(outer, "in", kDeclStruct, 1, 0, &inner);
    AddMember(outer, "tag", kDeclByte, 2);
    CVariableItem msg;
    ASSERT_TRUE(msg.create(&outer, "msg", 1));
    ASSERT_TRUE(Member(msg, "len")->setAt(0, 5));
    CVariableItem* in = Member(msg, "in");
    ASSERT_TRUE(Member(*in, "a")->setAt(0, -1));
    ASSERT_TRUE(Member(*in, "value")->setAt(0, 2.5));
    ASSERT_TRUE(Member(msg, "tag")->setAt(0, 1));
    ASSERT_TRUE(Member(msg, "tag")->setAt(1, 2));

    StructDefinition pair;
    pair.SetName("Pair");
    AddMember(pair, "x", kDeclUInt1, 1);
    CVariableItem pairs;
    ASSERT_TRUE(pairs.create(&pair, "p", 2));
    ASSERT_TRUE(pairs.StructAt(0)->GetItemAt(0, false)->setAt(0, 1));
    ASSERT_TRUE(pairs.StructAt(1)->GetItemAt(0, false)->setAt(0, 2));

    ASSERT_TRUE(DumpToFile(msg, "n.txt", true));
    ASSERT_TRUE(DumpToFile(pairs, "n.txt", false));
    const std::string p(12, ' ');   // under the value column of the top line
    const std::string p2(28, ' ');  // and under that of the member line "in"
    EXPECT_EQ(ReadWholeFile("n.txt"),
              "Outer msg = {}\n" +                        //
                  p + "UINT2  len    = 5  \n" +           //
                  p + "Inner  in     = {}\n" +            //
                  p2 + "INT1    a     = -1  \n" +         //
                  p2 + "DOUBLE  value = 2.50  \n" +       //
                  p + "BYTE   tag[2] = 0x01, 0x02  \n" +  //
                  "\n"                                    //
                  "Pair p[2] = {}\n" +                    //
                  p +
                  "UINT1  x = 1  \n" +               //
                  std::string(10, ' ') + "  {}\n" +  //
                  p + "UINT1  x = 2  \n" +           //
                  "\n");
}

// ---- tree dump: value forms and row layout ----
// (One value of each type, in a report's rows: the examples of
// docs/language.md.)

TEST(InstanceDumpTreeTest, NumbersFillRowsOfKElements) {
    CVariableItem wide, few, empty;
    Make(wide, kDeclUInt2, "w", {1, 22, 333, 4444, 5, 6, 7});  // k = 20 / (4 + 1) = 4
    Make(few, kDeclUInt1, "a", {1, 2, 3});
    ASSERT_TRUE(empty.create(kDeclUInt1, "n", 2));  // never set: no value
    EXPECT_EQ(TreeRows({&wide, &few, &empty}, 0, 16),
              "0|||w[7]||1    22   333  4444 \n"
              "0|||||5    6    7    \n"
              "0|||a[3]||1 2 3 \n"
              "0|||n[2]||-\n");

    // A column narrower than one element still takes one a row.
    TextTable narrow;
    SetUpTable(narrow, 3);
    CVariableItem two;
    Make(two, kDeclUInt2, "t", {1000, 2});
    ASSERT_TRUE(DumpTree(two, narrow, 0, 3, 16));
    EXPECT_EQ(Rows(narrow), "3|||t[2]||1000 \n3|||||2    \n");
    EXPECT_EQ(narrow.GetTag(0), 0u);
}

TEST(InstanceDumpTreeTest, HexadecimalForms) {
    CVariableItem bytes, dwords, octets, blank;
    Make(bytes, kDeclByte, "b", {1, 0x0A, 0xFF});
    Make(dwords, kDeclDword, "dw", {1, 0xABCD});  // k = (20 - 3) / 9 = 1
    ASSERT_TRUE(octets.create(kDeclOctet, "o", 2));
    ASSERT_TRUE(octets.setAt(0, "\x01\x02\x03\x04\x05"));
    ASSERT_TRUE(octets.setAt(1, "\0\xAB", 2));
    Make(blank, kDeclOctet, "e", {""});
    EXPECT_EQ(TreeRows({&bytes, &dwords, &octets, &blank}, 0, 2),
              "0|||b[3]||H' 01 0A FF \n"
              "0|||dw[2]||H' 00000001 \n"
              "0|||||   0000ABCD \n"
              "0|||o[2]||H' 01 02 \n"
              "0|||||   03 04 \n"
              "0|||||   05 \n"
              "0|||||H' 00 AB \n"  // exactly two bytes: no empty continuation row
              "0|||e||H' \n");

    // Without a byte count a row takes them all.
    EXPECT_EQ(TreeRows({&octets}, 0, 0), "0|||o[2]||H' 01 02 03 04 05 \n0|||||H' 00 AB \n");
}

TEST(InstanceDumpTreeTest, StringCharacterMemoAndUnknownForms) {
    CVariableItem text, none, texts, memo;
    Make(text, kDeclString, "s", {"ab\r\ncd\n"});
    Make(none, kDeclString, "z", {""});
    Make(texts, kDeclString, "t", {"x", "y"});
    Make(memo, kDeclMemo, "m", {"abc", ""});

    // "tchar" stored as INT1; a line feed must not break the row.
    VariableDefinition charDef;
    ASSERT_TRUE(charDef.set("k", kDeclInt1, 2));
    charDef.setTypeName("tchar", kDeclTchar);
    CVariableItem chars;
    ASSERT_TRUE(chars.create(nullptr, &charDef));
    ASSERT_TRUE(chars.setAt(0, 72));
    ASSERT_TRUE(chars.setAt(1, 10));

    VariableDefinition oddDef;
    ASSERT_TRUE(oddDef.set("q", kDeclUInt1, 1));
    oddDef.setTypeName("odd", 99);
    CVariableItem odd;
    ASSERT_TRUE(odd.create(nullptr, &oddDef));

    EXPECT_EQ(TreeRows({&text, &none, &texts, &chars, &memo, &odd}, 0, 16),
              "0|||s||T' ab\n"
              "0|||||   cd\n"
              "0|||z||T  \n"
              "0|||t[2]||T' x\n"
              "0|||||T' y\n"
              "0|||k[2]||72   'H' 10   '.' \n"
              "0|||m[2]||M' Len[0]= 3\n"
              "0|||||      [1]= 0\n"
              "0|||q||unknow\n");
}

// ---- tree dump: structs, names and cells ----

struct Model {
    StructDefinition inner, outer;
    CVariableItem msg;

    // Outer { UINT1 a; Inner in; Choice c; Inner h[2]; }, Inner { INT1 x; }
    Model() {
        inner.SetName("Inner");
        inner.SetDescription("inner struct");
        AddMember(inner, "x", kDeclInt1, 1, 21);
        outer.SetName("Outer");
        AddMember(outer, "a", kDeclUInt1, 1, 11)->SetDescription("field a");
        AddMember(outer, "in", kDeclStruct, 1, 12, &inner);
        AddMember(outer, "c", kDeclChoice, 1, 13);
        AddMember(outer, "h", kDeclStruct, 2, 14, &inner);
    }

    bool Fill() {
        if (!msg.create(&outer, "msg", 1)) return false;
        Member(msg, "a")->setAt(0, 1);
        Member(msg, "a")->SetMarker('*');
        Member(*Member(msg, "in"), "x")->setAt(0, -4);
        auto* alt = new CVariableItem;
        alt->create(kDeclUInt1, "alt", 1);
        alt->setAt(0, 9);
        if (!Member(msg, "c")->SetChosen(alt, 5, '>')) return false;
        CVariableItem* h = Member(msg, "h");
        for (int i = 0; i < 2; ++i) h->StructAt(i)->GetItemAt(0, false)->setAt(0, 7 + i);
        return true;
    }
};

TEST(InstanceDumpStructTest, RowsTagsMarksDescriptionsAndNameOptions) {
    Model model;
    ASSERT_TRUE(model.Fill());
    TextTable table;
    SetUpTable(table, 20);
    ASSERT_TRUE(DumpTree(model.msg, table, 0, 0, 16));
    EXPECT_EQ(Rows(table),
              "0|||{}msg||\n"
              "1|||a|field a|1 \n"
              "1|||{}in|inner struct|\n"
              "2|||x||-4 \n"
              "1|||c[]||\n"
              "2|||alt||9 \n"
              "1|||{}h[2]|inner struct|\n"
              "2|||{}this = 'h[0]'|inner struct|\n"
              "3|||x||7 \n"
              "2|||{}this = 'h[1]'|inner struct|\n"
              "3|||x||8 \n");
    const uint32_t s = kRowStructTag;
    const std::vector<uint32_t> tags = {s, 0, s, 0, s, 0, s, s, 0, s, 0};
    const std::vector<uint16_t> marks = {0, 11, 12, 21, 13, 0, 14, 14, 21, 14, 21};
    for (int row = 0; row < table.GetRowCount(); ++row) {
        EXPECT_EQ(table.GetTag(row), tags[row]) << row;
        EXPECT_EQ(table.GetMark(row), marks[row]) << row;
    }

    // The name column's options: indentation and markers, index prefixes.
    CStruct* top = model.msg.StructAt(0);
    ASSERT_NE(top, nullptr);

    TextTable plain;  // indentation and markers
    SetUpTable(plain, 20);
    ASSERT_TRUE(DumpStructTree(*top, plain, kDumpMarker | kDumpIndent, 1, 16));
    EXPECT_EQ(Rows(plain),
              "1|||  *a|field a|1 \n"
              "1|||  {}in|inner struct|\n"
              "2|||    x||-4 \n"
              "1|||  c[]||\n"
              "2|||    >alt||9 \n"
              "1|||  {}h[2]|inner struct|\n"
              "2|||    {}this = 'h[0]'|inner struct|\n"
              "3|||      x||7 \n"
              "2|||    {}this = 'h[1]'|inner struct|\n"
              "3|||      x||8 \n");

    TextTable indexed;  // index prefixes; markers stay out
    SetUpTable(indexed, 20);
    ASSERT_TRUE(DumpStructTree(*top, indexed, kDumpIndexPrefix, 0, 16));
    EXPECT_STREQ(indexed.GetCell(0, kDumpNameColumn), "a");
    EXPECT_STREQ(indexed.GetCell(3, kDumpNameColumn), "[] c");
    EXPECT_STREQ(indexed.GetCell(6, kDumpNameColumn), "[0] {}this = 'h[0]'");

    // The instance's own description comes first.
    Member(model.msg, "a")->SetDescription("own");
    EXPECT_EQ(TreeRows({Member(model.msg, "a")}, 0, 16), "0|||a|own|1 \n");
}

TEST_F(InstanceDumpFileTest, NestingIsBounded) {
    CVariableItem root;
    ASSERT_TRUE(root.create(kDeclChoice, "c", 1));
    CVariableItem* last = &root;
    for (int i = 0; i < kDumpMaxDepth + 20; ++i) {
        auto* next = new CVariableItem;
        ASSERT_TRUE(next->create(kDeclChoice, "c", 1));
        ASSERT_TRUE(last->SetChosen(next, i, 0));
        last = next;
    }
    TextTable table;
    SetUpTable(table, 20);
    std::string text = Traced([&] {
        EXPECT_FALSE(DumpTree(root, table, 0, 0, 16));
        // The file dump fails only when it cannot open the file.
        EXPECT_TRUE(DumpToFile(root, "deep.txt", true));
    });
    EXPECT_EQ(table.GetRowCount(), kDumpMaxDepth);
    EXPECT_EQ(text, std::string(dumpmsg::kTooDeep) + "\n" + dumpmsg::kTooDeep + "\n");
}

// ---- tree dump: the hooks of a derived item ----

// An item class of a decoder's kind: its hooks give texts made from the
// item's name, and it keeps integrated and content structs.
class HookItem : public CVariableItem, public AttachedStructs {
  public:
    static bool refuseClone;
    static std::string calls;  // the hooks asked, in order

    CStruct* NewStruct() override;
    bool PassAddressClone(CVariableItem& source, int32_t idx,
                          const VariableDefinition* definition) override {
        if (refuseClone) return false;
        return CVariableItem::PassAddressClone(source, idx, definition);
    }
    // "bad" leaves the location and the marker as they come: none.
    void LocationText(OTSTR& out) override {
        if (Name() != "bad") out = ("L:" + Name() + (IsReference() ? "&" : "")).c_str();
    }
    bool IsFailed() override { return Name() == "bad"; }
    bool MarkerText(OTSTR& out) override {
        if (Name() != "bad") out = ("M:" + Name()).c_str();
        return true;
    }
    bool HasComment() override { return Name() == "v"; }
    // Element 0 "c0", element 1 none, element 2 the default; 99 fails.
    int CommentText(int32_t index, OTSTR& out, const char* defaultText) override {
        calls += Name() + ":c" + std::to_string(index) + " ";
        int32_t value = 0;
        if (getAt_as_long(index, value) && value == 99) return 0;
        if (index == 1) return 1;
        if (index == 2) {
            out = defaultText;
            return 2;
        }
        out = ("c" + std::to_string(index)).c_str();
        return 1;
    }
    bool HasIntegrated(bool any) override { return any && integrated != nullptr; }
    CVariableItem* IntegratedAt(int32_t index) override {
        calls += Name() + ":i" + std::to_string(index) + " ";
        return index == 0 ? integrated : nullptr;
    }
    CVariableItem* ContentAt(int32_t index) override {
        calls += Name() + ":t" + std::to_string(index) + " ";
        return index < static_cast<int32_t>(contents.size()) ? contents[index] : nullptr;
    }

    CVariableItem* integrated = nullptr;
    std::vector<CVariableItem*> contents;

  private:
    std::string Name() const { return GetItemName().GetBuffer(); }
};

bool HookItem::refuseClone = false;
std::string HookItem::calls;

class HookStruct : public CStruct {
  public:
    CVariableItem* NewItem() override { return new HookItem; }
};

CStruct* HookItem::NewStruct() {
    return new HookStruct;
}

TEST(InstanceDumpHooksTest, CellsTagBitCommentModesAndAFailingComment) {
    HookItem v, scalar, bad, text;
    Make(v, kDeclUInt1, "v", {5, 6, 7});
    Make(scalar, kDeclUInt1, "v", {12});
    Make(bad, kDeclInt1, "bad", {-3});
    Make(text, kDeclString, "v", {"hi"});
    // bad follows scalar in the same dump, so that nothing of scalar's row
    // may stay in its empty location and marker.
    scalar.contents.push_back(&bad);

    auto dump = [&](uint32_t options) {
        TextTable table;
        SetUpTable(table, 20);
        for (HookItem* item : {&v, &scalar, &text}) {
            EXPECT_TRUE(DumpTree(*item, table, options, 0, 16));
        }
        EXPECT_EQ(table.GetTag(0), 0u);
        EXPECT_EQ(table.GetTag(table.GetRowCount() - 2), kRowFailedTag);
        return Rows(table);
    };
    // Value & Comment
    EXPECT_EQ(dump(kDumpValues | kDumpComments),
              "0|L:v|M:v|v[3]||\n"
              "1|||v[0]||5 c0\n"
              "1|||v[1]||6 unknow\n"
              "1|||v[2]||7 unknow\n"
              "0|L:v|M:v|v||12 c0\n"
              "1|||bad||-3 \n"
              "0|L:v|M:v|v||T' hi {c0}\n");
    // Comment (if present)
    EXPECT_EQ(dump(kDumpComments),
              "0|L:v|M:v|v[3]||\n"
              "1|||v[0]||c0\n"
              "1|||v[1]||unknow\n"
              "1|||v[2]||unknow\n"
              "0|L:v|M:v|v||c0\n"
              "1|||bad||-3 \n"
              "0|L:v|M:v|v||c0\n");
    // Value Only
    EXPECT_EQ(dump(kDumpValues),
              "0|L:v|M:v|v[3]||5 6 7 \n"
              "0|L:v|M:v|v||12 \n"
              "1|||bad||-3 \n"
              "0|L:v|M:v|v||T' hi\n");

    // Zero-padded index prefixes, as many digits as the last index needs.
    HookItem eleven;
    Make(eleven, kDeclUInt1, "v", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    std::string rows = TreeRows({&eleven}, kDumpComments | kDumpIndexPrefix, 16);
    EXPECT_EQ(rows.find("1|||[00] v||c0\n"), rows.find('\n') + 1) << rows;
    EXPECT_NE(rows.find("1|||[10] v||"), std::string::npos) << rows;

    // A failing comment stops the dump; without comments nothing asks the hook.
    HookItem failing;
    Make(failing, kDeclUInt1, "v", {5, 99, 7});
    TextTable table;
    SetUpTable(table, 20);
    EXPECT_FALSE(DumpTree(failing, table, kDumpComments, 0, 16));
    EXPECT_EQ(Rows(table), "0|L:v|M:v|v[3]||\n1|||v[0]||c0\n");
    EXPECT_TRUE(DumpTree(failing, table, kDumpValues, 0, 16));
}

TEST(InstanceDumpHooksTest, StructElementsAreShownThroughAThisHolder) {
    Model model;
    HookItem msg;
    ASSERT_TRUE(msg.create(&model.outer, "msg", 1));
    CVariableItem* h = Member(msg, "h");
    // The holder's own hooks fill the element rows: it is a reference named "this".
    EXPECT_EQ(TreeRows({h}, 0, 16),
              "0|L:h|M:h|{}h[2]|inner struct|\n"
              "1|L:this&|M:this|{}this = 'h[0]'|inner struct|\n"
              "2|L:x|M:x|x||-\n"
              "1|L:this&|M:this|{}this = 'h[1]'|inner struct|\n"
              "2|L:x|M:x|x||-\n");

    HookItem::refuseClone = true;
    TextTable refused;
    SetUpTable(refused, 20);
    std::string text = Traced([&] { EXPECT_FALSE(DumpTree(*h, refused, 0, 0, 16)); });
    HookItem::refuseClone = false;
    EXPECT_EQ(text, std::string(dumpmsg::kThisFail) + "\n");
    EXPECT_EQ(refused.GetRowCount(), 1);
}

TEST(InstanceDumpHooksTest, IntegratedAndContentStructsAreChildren) {
    StructDefinition inner;
    inner.SetName("Inner");
    AddMember(inner, "x", kDeclInt1, 1);
    CVariableItem integrated, content;
    ASSERT_TRUE(integrated.create(&inner, "This", 1));
    ASSERT_TRUE(integrated.StructAt(0)->GetItemAt(0, false)->setAt(0, 7));
    ASSERT_TRUE(content.create(&inner, "Content", 1));

    HookItem t;
    Make(t, kDeclUInt2, "t", {1, 2});
    t.integrated = &integrated;
    t.contents.push_back(&content);

    std::string rows;
    std::string text = Traced([&] { rows = TreeRows({&t}, kDumpIntegrated | kDumpValues, 16); });
    EXPECT_EQ(rows,
              "0|L:t|M:t|t[2]||\n"
              "1|||t[0]||1\n"
              "2|||{}This||\n"
              "3|||x||7 \n"
              "1|||t[1]||2\n"
              "1|||{}Content||\n"
              "2|||x||-\n");
    // Element 1 is marked for TypeOF but has no struct.
    EXPECT_EQ(text, std::string(dumpmsg::kTypeOfNoStruct) + "\n");

    // Without the option the item is a plain number row; contents stay.
    EXPECT_EQ(TreeRows({&t}, kDumpValues, 16), "0|L:t|M:t|t[2]||1 2 \n1|||{}Content||\n2|||x||-\n");
}

// Without a table the same hooks are asked in the same order, with the same
// result and trace, for every kind of item and every option set.
TEST(InstanceDumpHooksTest, HooksWithoutRowsAskWhatTheRowsAsk) {
    Model model;
    CVariableItem integrated;
    ASSERT_TRUE(integrated.create(&model.inner, "This", 1));
    HookItem v, failing, text, t, one;
    Make(v, kDeclUInt1, "v", {5, 6, 7});
    Make(failing, kDeclUInt1, "v", {5, 99, 7});
    Make(text, kDeclString, "v", {"hi"});
    Make(t, kDeclUInt2, "v", {1, 2});
    Make(one, kDeclUInt2, "v", {3});
    t.integrated = one.integrated = &integrated;
    HookItem msg;
    ASSERT_TRUE(msg.create(&model.outer, "msg", 1));
    for (HookItem* item : {&v, &failing, &text, &t, &one, &msg}) {
        for (uint32_t options : {0u, kDumpValues, kDumpComments, kDumpValues | kDumpComments,
                                 kDumpIntegrated | kDumpComments, kDumpIntegrated}) {
            TextTable table;
            SetUpTable(table, 20);
            bool withRows = false, hooksOnly = false;
            HookItem::calls.clear();
            std::string rowsText =
                Traced([&] { withRows = DumpTree(*item, table, options, 0, 16); });
            std::string rowsCalls = HookItem::calls;
            HookItem::calls.clear();
            std::string hooksText = Traced([&] { hooksOnly = RunDumpHooks(*item, options); });
            SCOPED_TRACE(rowsCalls);
            EXPECT_EQ(hooksOnly, withRows);
            EXPECT_EQ(HookItem::calls, rowsCalls);
            EXPECT_EQ(hooksText, rowsText);
        }
    }
}

TEST(InstanceDumpTraceTest, RowsBetweenTheBeginAndEndLines) {
    CVariableItem n;
    Make(n, kDeclUInt1, "n", {5});
    std::string text = Traced([&] { ASSERT_TRUE(TraceDump(n, 0)); });
    // One row line between the begin and end lines, the name before the value.
    size_t rowStart = text.find('\n') + 1, rowEnd = text.find('\n', rowStart) + 1;
    EXPECT_EQ(text.substr(0, rowStart) + text.substr(rowEnd), "dump...\ndump end\n") << text;
    std::string row = text.substr(rowStart, rowEnd - rowStart);
    EXPECT_LT(row.find("|n "), row.find("|5 ")) << row;
    EXPECT_NE(row.find("|5 "), std::string::npos) << row;
}

}  // namespace
