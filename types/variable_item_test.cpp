// Tests of the variable instances (types/variable_item.cpp, types/cstruct.cpp):
// creation, initialiser texts, access paths, implicit choices, address
// clones, deep copies and bit fields.
#include "types/variable_item.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "types/cstruct.h"
#include "types/item_resolver.h"
#include "types/item_support.h"
#include "types/struct_definition.h"
#include "types/type_codes.h"
#include "types/variable_definition.h"
#include "values/expr_evaluator.h"

namespace {

// The trace lines that fn writes. Failures inside fn would be captured as
// well, so they are shown again on stderr.
template <typename Fn>
std::string Traced(Fn fn) {
    bool failedBefore = testing::Test::HasFailure();
    testing::internal::CaptureStdout();
    fn();
    std::string out = testing::internal::GetCapturedStdout();
    if (!failedBefore && testing::Test::HasFailure()) fputs(out.c_str(), stderr);
    return out;
}

std::string Str(const OTSTR& s) {
    return std::string(s.GetBuffer(), s.GetLength());
}

// The text of an element of a string item.
std::string TextOf(CVariableItem* item, int32_t at) {
    OTSTR out;
    return item != nullptr && item->getAt(at, out) ? Str(out) : "<fail>";
}

// A member or variable definition of a basic declared code, a struct type or
// (kDeclChoice) a choice.
VariableDefinition* Def(const char* name, int32_t declared, int32_t count = 1,
                        StructDefinition* type = nullptr) {
    auto* d = new VariableDefinition;
    if (type != nullptr) {
        d->set(name, kDeclStruct, count);
        d->setTypeName(type->GetName().GetBuffer(), kDeclStruct);
        d->structDef = type;
    } else {
        d->set(name, BaseCodeOf(declared), count);
        d->setTypeName(TypeCodeText(declared), declared);
    }
    return d;
}

VariableDefinition* BitDef(const char* name, int32_t declared, int32_t high, int32_t bits) {
    VariableDefinition* d = Def(name, declared);
    d->setBitCount(bits);
    d->setBitHigh(high);
    return d;
}

// The variables of a test, kept as the members of one struct; expressions
// read and write them through the evaluator's callback.
class MapResolver : public ItemResolver {
  public:
    explicit MapResolver(bool caseSensitive = false) : caseSensitive(caseSensitive) {
        vars.SetName("vars");
    }
    // A new variable of a declared code or a struct type.
    template <typename Type>
    CVariableItem* New(Type type, const char* name, int32_t count = 1) {
        auto* item = new CVariableItem;
        EXPECT_TRUE(item->create(type, name, count)) << name;
        vars.add(item);
        return item;
    }
    CVariableItem* FindVariable(const char* path, int32_t* idx) override {
        return vars.GetItem(path, idx, this);
    }
    bool IsCaseSensitive() const override { return caseSensitive; }
    void BindEvaluator(ExprEvaluator& evaluator) override {
        evaluator.SetCallback(this, &Callback);
    }

    CStruct vars;
    bool caseSensitive;
    // Reading the name "swap" runs this (as a called procedure would) and
    // gives 1.
    std::function<void()> onSwap;

  private:
    static int Callback(void* context, int argc, void** argv) {
        auto* self = static_cast<MapResolver*>(context);
        if (argc < 3) return 0;
        auto code = static_cast<int>(reinterpret_cast<intptr_t>(argv[0]));
        if (code == kVarRead && self->onSwap &&
            strcmp(static_cast<const char*>(argv[1]), "swap") == 0) {
            self->onSwap();
            return static_cast<CVarient*>(argv[2])->setInteger(1, kTypeInt4);
        }
        int32_t idx = -1;
        CVariableItem* item = self->FindVariable(static_cast<const char*>(argv[1]), &idx);
        if (item == nullptr) return 0;
        if (code == kVarAssignText) return item->sets(idx, static_cast<const char*>(argv[2]), self);
        int32_t at = idx < 0 ? 0 : idx;
        if (code == kVarRead) return item->getAt(at, *static_cast<CVarient*>(argv[2]));
        if (code == kVarAssign) return item->setAt(at, *static_cast<CVarient*>(argv[2]));
        return 0;
    }
};

// Struct types shared by the tests:
//   Inner { INT2 b; OCTET s; }
//   Outer { Inner a[3]; Inner one; UINT1 arr[4]; Choice ch; }
//   Alt   { INT2 c1; INT2 c2; }
//   Flat  { INT2 a; Choice $ch; INT2 b; }
class TypeSet : public testing::Test {
  protected:
    TypeSet() {
        inner.SetName("Inner");
        inner.AddMember(Def("b", kDeclInt2));
        inner.AddMember(Def("s", kDeclOctet));
        outer.SetName("Outer");
        outer.AddMember(Def("a", kDeclStruct, 3, &inner));
        outer.AddMember(Def("one", kDeclStruct, 1, &inner));
        outer.AddMember(Def("arr", kDeclUInt1, 4));
        outer.AddMember(Def("ch", kDeclChoice));
        alt.SetName("Alt");
        alt.AddMember(Def("c1", kDeclInt2));
        alt.AddMember(Def("c2", kDeclInt2));
        flat.SetName("Flat");
        flat.AddMember(Def("a", kDeclInt2));
        flat.AddMember(Def("$ch", kDeclChoice));
        flat.AddMember(Def("b", kDeclInt2));
    }
    StructDefinition inner, outer, alt, flat;
};
class VariableItemTyped : public TypeSet {};
class CStructTyped : public TypeSet {};

// ---------------------------------------------------------------- creation

TEST_F(VariableItemTyped, CreateFormsAndRefusals) {
    CVariableItem s;
    ASSERT_TRUE(s.create(&inner, "x", 3));
    EXPECT_EQ(Str(s.Header().typeName), "Inner");
    EXPECT_EQ(Str(s.GetDisplayName()), "x[3]");
    ASSERT_NE(s.StructAt(0), nullptr);
    EXPECT_NE(s.StructAt(0), s.StructAt(2));
    EXPECT_EQ(s.StructAt(3), nullptr);
    EXPECT_EQ(s.StructAt(1)->GetCount(false), 2);

    CVariableItem c;
    ASSERT_TRUE(c.create(kDeclChoice, "$c", 1));
    EXPECT_TRUE(c.IsImplicitChoice());
    EXPECT_EQ(Str(c.GetDisplayName()), "$c[]");
    EXPECT_EQ(Str(c.StructAt(0)->GetName()), "Choice");
    for (int32_t code : {kDeclPvoid, kDeclStruct}) EXPECT_FALSE(c.create(code, "p", 1));
    EXPECT_FALSE(c.create(kDeclChoice, "c", 2));

    CStruct holder;
    holder.SetName("Holder");
    std::unique_ptr<VariableDefinition> field(BitDef("f", kDeclWord, 15, 3));
    CVariableItem f;
    ASSERT_TRUE(f.create(&holder, field.get()));
    EXPECT_EQ(f.Header().baseType, kDeclUInt2);
    EXPECT_EQ(Str(f.GetDisplayName()), "f:15_3");
    EXPECT_EQ(Str(f.GetQualifiedName()), "Holder.f");
    f.SetName("g");  // the value's own name (used in messages) follows
    EXPECT_EQ(Str(f.GetName()), "g");

    std::unique_ptr<VariableDefinition> broken(Def("z", kDeclStruct, 1, &inner));
    broken->structDef = nullptr;
    EXPECT_FALSE(f.create(nullptr, broken.get()));
    EXPECT_EQ(f.Header().baseType, -1);

    StructDefinition loop;
    loop.SetName("Loop");
    loop.AddMember(Def("self", kDeclStruct, 1, &loop));
    CStruct l;
    std::string trace = Traced([&] { EXPECT_FALSE(l.init(&loop, nullptr)); });
    EXPECT_NE(trace.find("CStruct::init('Loop') fail, struct nested too deep !"),
              std::string::npos);
    // The shared read-only item ignores changes.
    CVariableItem* ro = CVariableItem::ReadOnlyItem();
    EXPECT_FALSE(ro->create(kDeclInt2, "x", 1));
    ro->clear();
    EXPECT_FALSE(ro->IsWritable());
}

// Renew resets the value of an item that create made and that nothing but
// its value changed since; any other change makes it refuse, changing nothing.
TEST(VariableItemRenew, OnlyAnUnchangedItemIsRenewed) {
    const struct {
        const char* change;
        bool renewed;
        std::function<void(CVariableItem&)> apply;
    } kCases[] = {
        {"value", true, [](CVariableItem& v) { v.setAt(0, 7); }},
        {"name", false, [](CVariableItem& v) { v.SetName("m"); }},
        {"description", false, [](CVariableItem& v) { v.SetDescription("d"); }},
        {"bit count", false, [](CVariableItem& v) { v.EditHeader().setBitCount(3); }},
        {"byte order", false, [](CVariableItem& v) { v.EditHeader().lowByteFirst = false; }},
        {"read-only", false, [](CVariableItem& v) { v.SetWritable(false); }},
        {"recreated", false, [](CVariableItem& v) { v.create(kDeclInt2, "n", 3); }},
        // The value's own texts, which its header does not see.
        {"value's name", false, [](CVariableItem& v) { v.NamedObject::SetName("m"); }},
        {"value's description", false,
         [](CVariableItem& v) { v.NamedObject::SetDescription("d"); }},
    };
    // A renewal that found the item as made does not compare its header
    // again: every change must still be seen after one. Arrays and single
    // numbers are reset apart.
    for (int32_t count : {3, 1}) {
        std::unique_ptr<VariableDefinition> def(Def("n", kDeclInt2, count));
        std::unique_ptr<VariableDefinition> other(Def("n", kDeclInt2, count));
        for (int renewals = 0; renewals < 3; ++renewals) {
            for (const auto& c : kCases) {
                CVariableItem item;
                ASSERT_TRUE(item.create(nullptr, def.get()));
                for (int i = 0; i < renewals; ++i) ASSERT_TRUE(item.Renew(nullptr, def.get()));
                c.apply(item);
                EXPECT_FALSE(item.Renew(nullptr, other.get()))
                    << c.change << ": another definition";
                EXPECT_EQ(c.renewed, item.Renew(nullptr, def.get())) << c.change << renewals;
                if (c.renewed) {
                    EXPECT_FALSE(item.HasValue()) << c.change;
                    EXPECT_EQ(0, item.getAt_as_long(count - 1)) << c.change;
                }
            }
            // Nor is an item that a running look-up holds.
            CVariableItem pinned;
            ASSERT_TRUE(pinned.create(nullptr, def.get()));
            for (int i = 0; i < renewals; ++i) ASSERT_TRUE(pinned.Renew(nullptr, def.get()));
            ItemPin pin(&pinned);
            EXPECT_FALSE(pinned.Renew(nullptr, def.get())) << "pinned " << renewals;
        }
    }
    CVariableItem result;
    ASSERT_TRUE(result.create(kDeclUInt1, "Return", 1));
    result.setAt(0, 9);
    EXPECT_FALSE(result.Renew(kDeclUInt2, "Return", 1));
    EXPECT_FALSE(result.Renew(kDeclUInt1, "Result", 1));
    EXPECT_TRUE(result.HasValue()) << "a refused renewal changes nothing";
    EXPECT_TRUE(result.Renew(kDeclUInt1, "Return", 1));
    EXPECT_FALSE(result.HasValue());
}

// A struct item is renewed as a shell: its element structs stay for the
// caller to renew; an element of another type, or another count, refuses.
TEST_F(VariableItemTyped, RenewOfAStructItemKeepsItsElements) {
    CVariableItem root;
    ASSERT_TRUE(root.create(&outer, "msg", 1));
    CStruct* element = root.StructAt(0);
    EXPECT_FALSE(root.Renew(&outer, "msg", 2));
    EXPECT_FALSE(root.Renew(&inner, "msg", 1));
    EXPECT_FALSE(root.Renew(&outer, "other", 1));
    EXPECT_TRUE(root.Renew(&outer, "msg", 1));
    EXPECT_EQ(element, root.StructAt(0));

    CVariableItem* a = element->members.GetAt(0);
    CStruct* first = a->StructAt(0);
    EXPECT_TRUE(a->Renew(element, outer.GetMember(0)));
    EXPECT_EQ(first, a->StructAt(0));
    EXPECT_EQ(element, a->parent);
    a->StructAt(2)->def = &alt;
    EXPECT_FALSE(a->Renew(element, outer.GetMember(0))) << "an element of another type";

    // A choice keeps the holder of its alternatives, once they are out.
    CVariableItem* choice = element->members.GetAt(3);
    CStruct* holder = choice->StructAt(0);
    CVariableItem* alternative = holder->NewItem();
    ASSERT_TRUE(alternative->create(holder, outer.GetMember(1)));
    ASSERT_TRUE(choice->SetChosen(alternative, 2, 0));
    EXPECT_FALSE(choice->Renew(element, outer.GetMember(3))) << "an alternative in the holder";
    holder->members.RemoveAll();
    delete alternative;
    choice->SetMarker('~');
    EXPECT_TRUE(choice->Renew(element, outer.GetMember(3)));
    EXPECT_EQ(holder, choice->StructAt(0));
    EXPECT_TRUE(choice->HasValue());
    EXPECT_EQ(' ', choice->marker);
    holder->SetName("Other");
    EXPECT_FALSE(choice->Renew(element, outer.GetMember(3))) << "a holder renamed";
}

// ---------------------------------------------------------------- initialisers

TEST(VariableItemSets, ArrayInitialisers) {
    struct Row {
        int32_t idx;
        const char* text;
        bool ok;
        int32_t v0, v1;
        const char* trace;
    } rows[] = {
        {-1, "  { -3 , 0x10 }  ", true, -3, 16, ""},
        {-1, "{1,2,}", true, 1, 2, ""},
        {-1, "{1}", false, 1, 9, "CVariableItem::sets() fail, '1' no enough params !\n"},
        {-1, "{1,2,3}", false, 1, 9,
         "CVariableItem::sets() fail, '1,2,3' extra chars found at=4 !\n"},
        {1, "7", true, 9, 7, ""},
        {1, "7, 8", false, 9, 9, "CVariableItem::sets() fail, '7, 8' extra chars found at=3 !\n"},
        {0, "", false, 9, 9, "CVariableItem::sets() fail, '' no enough params !\n"},
        {-1, "{4, y}", false, 4, 9,
         "CVariableItem::sets() calculate 'y' fail, get 'y' value failed !\n"},
        {-1, "{5, 'ab'}", false, 5, 9,
         "TVarient 'v' setAt fail, type illegal or idx out of range !\n"
         "VariableItem::sets() fail, v <- 'ab' !\n"},
        {-1, "5", false, 9, 9, ""},  // no braces, and no resolver to name a variable
        {2, "1", false, 9, 9, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        CVariableItem v;
        ASSERT_TRUE(v.create(kDeclInt2, "v", 2));
        v.setAt(0, 9);
        v.setAt(1, 9);
        EXPECT_EQ(Traced([&] { EXPECT_EQ(v.sets(r.idx, r.text, nullptr), r.ok); }), r.trace);
        EXPECT_EQ(v.getAt_as_long(0), r.v0);
        EXPECT_EQ(v.getAt_as_long(1), r.v1);
    }
}

// A text literal of a kept tree is stored from the leaf's value: the same
// value, result and trace as evaluating a tree parsed afresh, into items of
// every kind.
TEST(VariableItemSets, KeptTextLiteralsAsEvaluated) {
    for (int32_t declared : {kDeclOctet, kDeclInt4, kDeclUInt1, kDeclDouble}) {
        for (const char* text : {"'ab'", "\"x y\"", "''", "\"12\"", "'3.5'"}) {
            SCOPED_TRACE(std::string(text) + " " + std::to_string(declared));
            std::string got[2];
            for (int kept = 0; kept < 2; ++kept) {
                ExprEvaluator parser;
                std::unique_ptr<ExprNode> tree(kept ? ExprEvaluator::KeptTree(text)
                                                    : parser.GetExpression(text, 0));
                ASSERT_TRUE(tree != nullptr);
                CVariableItem v;
                ASSERT_TRUE(v.create(declared, "v", 1));
                bool ok = false;
                std::string trace = Traced([&] { ok = v.SetsFromTree(tree.get(), text, nullptr); });
                OTSTR shown;
                v.getAt(0, shown);
                got[kept] = (ok ? "ok " : "failed ") + Str(shown) + " / " + trace;
            }
            EXPECT_EQ(got[0], got[1]);
        }
    }
}

TEST(VariableItemSets, PiecesKeepCommasInsideBracketsAndQuotes) {
    CVariableItem s;
    ASSERT_TRUE(s.create(kDeclOctet, "s", 3));
    ASSERT_TRUE(s.sets(-1, "{\"a,b\", 'c,{', \"(x,\"}", nullptr));
    EXPECT_EQ(TextOf(&s, 0) + " " + TextOf(&s, 1) + " " + TextOf(&s, 2), "a,b c,{ (x,");
}

TEST(VariableItemSets, WholeArrayFromVariable) {
    MapResolver vars;
    CVariableItem* src = vars.New(kDeclInt2, "src", 2);
    src->setAt(1, 22);
    src->SetWritable(false);
    vars.New(kDeclInt4, "wide", 2);
    vars.New(kDeclInt2, "three", 3);

    CStruct owner;
    auto* dst = new CVariableItem;
    dst->create(kDeclInt2, "dst", 2);
    owner.add(dst);
    ASSERT_TRUE(dst->sets(-1, " src ", &vars));
    EXPECT_EQ(dst->getAt_as_long(1), 22);
    EXPECT_EQ(Str(dst->GetName()), "dst");
    EXPECT_EQ(dst->parent, &owner);
    EXPECT_TRUE(dst->IsWritable());  // the values are copied, not the protection

    for (const char* other : {"wide", "three"}) {
        EXPECT_EQ(Traced([&] { EXPECT_FALSE(dst->sets(-1, other, &vars)); }),
                  "CVariableItem::sets() fail, array type should be same !\n");
    }
    EXPECT_FALSE(dst->sets(-1, "src[1]", &vars));  // an element is no whole array

    // Through a by-address view the values reach the owner.
    CVariableItem view;
    ASSERT_TRUE(view.PassAddressClone(*dst, -1, nullptr));
    src->SetWritable(true);
    src->setAt(0, 5);
    ASSERT_TRUE(view.sets(-1, "src", &vars));
    EXPECT_TRUE(view.IsReference());
    EXPECT_EQ(dst->getAt_as_long(0), 5);
}

TEST_F(CStructTyped, SetsThreePartInitialiser) {
    StructDefinition pair, three, nested;
    pair.SetName("Pair");
    pair.AddMember(Def("p", kDeclOctet));
    pair.AddMember(Def("q", kDeclOctet));
    for (StructDefinition* type : {&three, &nested}) {
        type->AddMember(Def("n", kDeclUInt1));
        type->AddMember(type == &three ? Def("s", kDeclOctet, 2) : Def("s", 0, 1, &pair));
        type->AddMember(Def("v", kDeclInt2, 2));
    }
    for (StructDefinition* type : {&three, &nested}) {
        CStruct s;
        ASSERT_TRUE(s.init(type, nullptr));
        ASSERT_TRUE(s.sets("{12, {\"\", \"abc\"}, {-2, 2}}", nullptr));
        EXPECT_EQ(s.GetItem("n", nullptr)->getAt_as_long(0), 12);
        int32_t idx = 0;
        CVariableItem* text = s.GetItem(type == &three ? "s[1]" : "s.q", &idx);
        EXPECT_EQ(TextOf(text, idx), "abc");
        EXPECT_EQ(s.GetItem("v[0]", &idx)->getAt_as_long(idx), -2);
    }

    CStruct s, empty;
    s.init(&three, "Three");
    EXPECT_TRUE(empty.sets("{ }", nullptr));
    const struct {
        CStruct* target;
        const char* text;
        const char* trace;
    } failures[] = {
        {&s, "{12}", "CStruct::sets() fail, '12' no enough params !\n"},
        {&s, "{1, {\"\",\"\"}, {1,2}, 9}",
         "CStruct::sets() fail, '1, {\"\",\"\"}, {1,2}, 9' extra chars found at=19 !\n"},
        {&s, "{1, {\"a\"}, {1,2}}", "CVariableItem::sets() fail, '\"a\"' no enough params !\n"},
        {&empty, "{1}", "CStruct::sets() fail, '1' extra chars found at=0 !\n"},
    };
    for (const auto& f : failures) {
        EXPECT_EQ(Traced([&] { EXPECT_FALSE(f.target->sets(f.text, nullptr)); }), f.trace);
    }
}

TEST_F(CStructTyped, SetsFromVariable) {
    MapResolver vars;
    CVariableItem* src = vars.New(&inner, "src");
    src->GetItem(0, "b", nullptr)->setAt(0, 42);
    vars.New(&alt, "other");

    CStruct s;
    s.init(&inner, nullptr);
    ASSERT_TRUE(s.sets("src", &vars));
    EXPECT_EQ(s.GetItem("b", nullptr)->getAt_as_long(0), 42);
    EXPECT_NE(s.GetItem("b", nullptr), src->GetItem(0, "b", nullptr));
    EXPECT_EQ(Traced([&] { EXPECT_FALSE(s.sets("other", &vars)); }),
              "CStruct::sets() fail, struct type should be same !\n");
}

// ---------------------------------------------------------------- access paths

TEST_F(CStructTyped, GetItemPaths) {
    CStruct s;
    ASSERT_TRUE(s.init(&outer, nullptr));
    MapResolver insensitive(false), sensitive(true);
    insensitive.New(kDeclInt4, "i")->setAt(0, 2);
    struct Row {
        const char* path;
        const char* found;  // member name, or null
        int32_t idx;
        const char* trace;
        MapResolver* resolver = nullptr;
    } rows[] = {
        {"a.b", nullptr, 0, "CStruct::GetItem('a.b') fail, 'a[-1]' invalid !\n"},
        {"a[1].b", "b", 0, ""},
        {"a[3].b", nullptr, 0, "CStruct::GetItem('a[3].b') idx out of range !\n"},
        {"one.b", "b", 0, ""},
        {"arr", "arr", -1, ""},
        {"arr[ 1 + 2 ]", "arr", 3, ""},
        {"arr[]", "arr", -1, ""},
        {"arr['x']", nullptr, 0, "CStruct::GetItem('arr['x']') idx out of range !\n"},
        {"arr[q]", nullptr, 0,
         "CStruct::GetItem('arr[q]') calculate 'q' fail, get 'q' value failed !\n"},
        {"arr[1].x", nullptr, 0,
         "CVariableItem::GetItem('arr[1].x') fail, illegal 'x' after 'arr[1]' !\n"},
        {"zz", nullptr, 0, "CStruct::GetItem('zz') fail, 'zz' not found in struct 'Outer' !\n"},
        {"a[1].zz", nullptr, 0,
         "CStruct::GetItem('zz') fail, 'zz' not found in struct 'Inner' !\n"},
        {"ch.x", nullptr, 0, "CStruct::GetItem('x') fail, 'x' not found in struct 'Choice' !\n"},
        {"arr[1", nullptr, 0, "CStruct::GetItem('arr[1') fail, varstring split fail !\n"},
        {"arr(1)", nullptr, 0,
         "CStruct::GetChoiceItem('arr(1)') fail, '(' and ')' can only be used to T_PCHOICE member "
         "!\n"},
        {"ch()", nullptr, 0, "CStruct::GetItem('ch()') fail, Choice idx invalid !\n"},
        {"ch(1)", nullptr, 0, "CStruct::GetChoiceItem('ch(1)') fail, '()' is not support now !\n"},
        // Letter case counts only where the resolver says so.
        {"A[1].B", "b", 0, ""},
        {"ARR[i]", "arr", 2, "", &insensitive},
        {"ARR", nullptr, 0, "CStruct::GetItem('ARR') fail, 'ARR' not found in struct 'Outer' !\n",
         &sensitive},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.path);
        int32_t idx = 99;
        CVariableItem* item = nullptr;
        EXPECT_EQ(Traced([&] { item = s.GetItem(r.path, &idx, r.resolver); }), r.trace);
        if (r.found == nullptr) {
            EXPECT_EQ(item, nullptr);
        } else {
            ASSERT_NE(item, nullptr);
            EXPECT_EQ(Str(item->GetItemName()), r.found);
            EXPECT_EQ(idx, r.idx);
        }
    }
    // The element's own member, not a copy.
    CVariableItem* a = s.GetItemByName("a", false, false);
    EXPECT_EQ(s.GetItem("a[2].b", nullptr), a->StructAt(2)->GetItemAt(0, false));
    // Without an out index a subscript cannot end the path.
    EXPECT_EQ(Traced([&] { EXPECT_EQ(s.GetItem("arr[1]", nullptr), nullptr); }),
              "CStruct::GetItem('arr[1]') fail, '(param)' or '[idx]' can not be used in last "
              "Ident when lastIdx=NULL\n");
}

TEST_F(VariableItemTyped, GetItemBelowAnItem) {
    CVariableItem a;
    a.create(&inner, "a", 3);
    int32_t idx = -9;
    EXPECT_EQ(a.GetItem(1, "b", &idx), a.StructAt(1)->GetItemAt(0, false));
    EXPECT_EQ(a.GetItem(2, "  ", &idx), &a);
    EXPECT_EQ(idx, 2);
    EXPECT_EQ(Traced([&] { EXPECT_EQ(a.GetItem(5, "b", &idx), nullptr); }),
              "CVariableItem::GetItem('a.b') fail, 'a[5]' invalid !\n");
    CVariableItem n;
    n.create(kDeclInt2, "n", 1);
    EXPECT_EQ(Traced([&] { EXPECT_EQ(n.GetItem(0, "b", &idx), nullptr); }),
              "CVariableItem::GetItem('n.b') fail, illegal 'b' after 'n[0]' !\n");
}

// Subscripts and initialisers re-enter the item code through the evaluator's
// callback; absurd nesting must end with a message, not exhaust the stack.
TEST(VariableItemNesting, DeepTextEndsWithMessage) {
    MapResolver vars;
    CVariableItem* x = vars.New(kDeclInt2, "x", 2);
    std::string path = "0";
    std::string text = "{1, 2}";
    for (int i = 0; i < 400; ++i) {
        path = "x[" + path + "]";
        text = "{x = " + text + ", 2}";
    }
    int32_t idx = 0;
    std::string trace =
        Traced([&] { EXPECT_EQ(vars.vars.GetItem(path.c_str(), &idx, &vars), nullptr); });
    EXPECT_NE(trace.find("nested too deep"), std::string::npos);
    trace = Traced([&] { EXPECT_FALSE(x->sets(-1, text.c_str(), &vars)); });
    EXPECT_NE(trace.find("nested too deep"), std::string::npos);

    // A modest nesting works: each "x = {...}" initialises x and reads it back.
    EXPECT_TRUE(x->sets(-1, "{x = {x = {7, 8}, 2}, 3}", &vars));
    EXPECT_EQ(x->getAt_as_long(0), 7);
    EXPECT_EQ(x->getAt_as_long(1), 3);
}

// A procedure called from an initialiser or a subscript may assign a whole
// struct; the struct whose initialiser or path is running must survive it.
TEST_F(CStructTyped, RunningStructIsNotReplaced) {
    MapResolver vars;
    CVariableItem* s = vars.New(&inner, "s");
    vars.New(&inner, "t")->GetItem(0, "b", nullptr)->setAt(0, 5);
    vars.onSwap = [&] { s->sets(-1, "t", &vars); };
    const std::string refused = "CStruct::clone() fail, 'Inner' is in use !";

    std::string trace = Traced([&] { EXPECT_TRUE(s->sets(-1, "{swap, 'x'}", &vars)); });
    EXPECT_NE(trace.find(refused), std::string::npos);
    EXPECT_EQ(s->GetItem(0, "b", nullptr)->getAt_as_long(0), 1);

    int32_t idx = -1;
    trace = Traced([&] { EXPECT_NE(vars.vars.GetItem("s.b[swap - 1]", &idx, &vars), nullptr); });
    EXPECT_NE(trace.find(refused), std::string::npos);

    // Outside of them the same assignment replaces the values.
    vars.onSwap = nullptr;
    EXPECT_TRUE(s->sets(-1, "t", &vars));
    EXPECT_EQ(s->GetItem(0, "b", nullptr)->getAt_as_long(0), 5);
}

// ---------------------------------------------------------------- choices

TEST_F(CStructTyped, FlattensImplicitChoice) {
    CStruct s;
    ASSERT_TRUE(s.init(&flat, nullptr));
    CVariableItem* choice = s.GetItemByName("$ch", true, false);
    ASSERT_NE(choice, nullptr);
    // No alternative chosen yet: the choice stands for nothing.
    EXPECT_EQ(s.GetCount(true), 2);
    EXPECT_EQ(s.GetItemAt(2, true), nullptr);

    auto* chosen = new CVariableItem;
    ASSERT_TRUE(chosen->create(&alt, "alt", 1));
    ASSERT_TRUE(choice->SetChosen(chosen, 7, 0));
    EXPECT_EQ(chosen->marker, '~');
    EXPECT_EQ(chosen->parent, choice->StructAt(0));
    EXPECT_FALSE(choice->SetChosen(chosen, 7, 0));  // already there

    EXPECT_EQ(s.GetCount(false), 3);
    ASSERT_EQ(s.GetCount(true), 4);
    std::string order;
    for (int i = 0; i < 5; ++i) {
        CVariableItem* item = s.GetItemAt(i, true);
        order += item != nullptr ? Str(item->GetItemName()) + " " : "-";
    }
    EXPECT_EQ(order, "a c1 c2 b -");

    CVariableItem* c2 = chosen->GetStructItemAt(1, false);
    EXPECT_EQ(s.GetItemByName("C2", false, true), c2);
    EXPECT_EQ(s.GetItemByName("C2", true, true), nullptr);
    EXPECT_EQ(s.GetItemByName("c2", false, false), nullptr);
    EXPECT_EQ(s.GetItemByMapTag(7, true), chosen);
    int32_t idx = -9;
    EXPECT_EQ(s.GetItem("c2", &idx), c2);

    // A marker given by the caller wins.
    CVariableItem plain;
    plain.create(kDeclChoice, "plain", 1);
    auto* other = new CVariableItem;
    other->create(kDeclInt2, "o", 1);
    ASSERT_TRUE(plain.SetChosen(other, 3, '*'));
    EXPECT_EQ(other->marker, '*');
    // An alternative that holds the choice would make the tree a cycle.
    auto top = std::make_unique<CVariableItem>();
    top->create(&flat, "top", 1);
    CVariableItem* inside = top->GetItem(0, "$ch", &idx);
    EXPECT_FALSE(inside->SetChosen(top.get(), 1, 0));
    EXPECT_FALSE(inside->SetChosen(inside, 1, 0));
    // Also in a tree wider than the search keeps in place.
    auto wide = std::make_unique<CVariableItem>();
    ASSERT_TRUE(wide->create(&flat, "wide", 40));
    for (int32_t at : {0, 20, 39}) {
        EXPECT_FALSE(wide->GetItem(at, "$ch", &idx)->SetChosen(wide.get(), 1, 0)) << at;
    }
}

// ---------------------------------------------------------------- address clones

TEST(VariableItemPassAddress, ParameterDefinitions) {
    const std::string refused = "CVariableItem::PassAddressClone() fail, p <- 'src' definition ";
    struct Row {
        int32_t declared, count, idx;
        bool ok;
        std::string trace;
    } rows[] = {
        {kDeclInt2, 1, 2, true, ""},
        {kDeclWord, 1, 2, true, ""},
        {kDeclInt4, 1, 2, false, refused + "type should be compatiable !\n"},
        {kDeclUInt2, 4, -1, true, ""},
        {kDeclUInt2, 3, -1, false, refused + "size and type should be same !\n"},
        {kDeclUInt2, 1, 4, false, "PassAddressClone fail, nIndex out of range !\n"},
        {kDeclDynamic, 1, -1, true, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.declared << " " << r.count << " " << r.idx);
        CVariableItem src;
        src.create(kDeclUInt2, "src", 4);
        src.SetDescription("the source");
        std::unique_ptr<VariableDefinition> param(Def("p", r.declared, r.count));
        CVariableItem ref;
        EXPECT_EQ(Traced([&] { EXPECT_EQ(ref.PassAddressClone(src, r.idx, param.get()), r.ok); }),
                  r.trace);
        if (!r.ok) continue;
        // The texts are the definition's, not the source's.
        EXPECT_EQ(Str(ref.GetName()), "p");
        EXPECT_EQ(Str(ref.GetDescription()), "");
        EXPECT_EQ(ref.addressSource, &src);
        ref.setAt(0, 77);
        EXPECT_EQ(src.getAt_as_long(r.idx < 0 ? 0 : r.idx), 77);
        EXPECT_TRUE(src.HasValue());
    }
}

TEST_F(VariableItemTyped, PassAddressChainsAndStructs) {
    CVariableItem src, ref, ref2;
    src.create(kDeclUInt2, "src", 4);
    ASSERT_TRUE(ref.PassAddressClone(src, 2, nullptr));
    ASSERT_TRUE(ref2.PassAddressClone(ref, 0, nullptr));
    EXPECT_EQ(ref2.addressSource, &src);
    EXPECT_EQ(Str(ref2.GetName()), "src") << "without a definition, the source's name";
    ref2.setAt(0, 5);
    EXPECT_EQ(src.getAt_as_long(2), 5);
    ref2.SetMarker('#');
    EXPECT_EQ(src.marker, '#');
    // Renamed as it refers: what the clone and a SetName make, the source's
    // description and type name kept.
    src.SetDescription("four words");
    CVariableItem renamed, cloned;
    ASSERT_TRUE(renamed.PassAddressAs(src, 2, "this"));
    ASSERT_TRUE(cloned.PassAddressClone(src, 2, nullptr));
    cloned.SetName("this");
    for (const CVariableItem* item : {&renamed, &cloned}) {
        EXPECT_EQ(Str(item->GetName()), "this");
        EXPECT_EQ(Str(item->GetItemName()), "this");
        EXPECT_EQ(Str(item->GetDescription()), "four words");
        EXPECT_EQ(Str(item->Header().GetDescription()), "four words");
        EXPECT_EQ(Str(item->Header().typeName), Str(src.Header().typeName));
        EXPECT_EQ(item->Header().count, 1);
        EXPECT_EQ(item->addressSource, &src);
    }

    std::unique_ptr<VariableDefinition> bits(BitDef("f", kDeclUInt2, 15, 4));
    CVariableItem viaBits;
    EXPECT_EQ(Traced([&] { EXPECT_TRUE(viaBits.PassAddressClone(src, 1, bits.get())); }),
              "CVariableItem::PassAddressClone() warning, f <- 'src' bits definition for "
              "PassAddress is not commended !\n");

    // A view of one struct element reaches its members and owns nothing.
    auto a = std::make_unique<CVariableItem>();
    a->create(&inner, "a", 3);
    CStruct* second = a->StructAt(1);
    {
        CVariableItem view;
        ASSERT_TRUE(view.PassAddressClone(*a, 1, nullptr));
        int32_t idx = -1;
        EXPECT_EQ(view.GetItem(0, "b", &idx), second->GetItemAt(0, false));
    }
    EXPECT_EQ(a->StructAt(1), second);
    // A source inside the target's own structs would be freed with them.
    CVariableItem* member = a->GetItem(0, "b", nullptr);
    EXPECT_EQ(Traced([&] { EXPECT_FALSE(a->PassAddressClone(*member, 0, nullptr)); }),
              "CVariableItem::PassAddressClone() fail, 'a' can not refer to itself !\n");
    // Another struct type cannot stand for the parameter's.
    std::unique_ptr<VariableDefinition> wrong(Def("w", kDeclStruct, 1, &alt));
    CVariableItem w;
    Traced([&] { EXPECT_FALSE(w.PassAddressClone(*a, 1, wrong.get())); });
}

// ---------------------------------------------------------------- copies

TEST_F(VariableItemTyped, CloneIsDeep) {
    StructDefinition mid;
    mid.SetName("Mid");
    mid.AddMember(Def("in", kDeclStruct, 2, &inner));
    mid.AddMember(Def("k", kDeclUInt1));
    auto m = std::make_unique<CVariableItem>();
    ASSERT_TRUE(m->create(&mid, "m", 2));
    ASSERT_TRUE(m->sets(-1, "{{{{1, 'x'}, {2, 'y'}}, 3}, {{{4, 'z'}, {5, ''}}, 6}}", nullptr));

    CVariableItem copy;
    copy.SetName("copy");
    ASSERT_TRUE(copy.clone(*m, nullptr, false));
    EXPECT_EQ(Str(copy.GetName()), "copy");
    int32_t idx = 0;
    CVariableItem* b = copy.GetItem(1, "in[0].b", &idx);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(b, m->GetItem(1, "in[0].b", &idx));
    b->setAt(0, 40);
    EXPECT_EQ(m->GetItem(1, "in[0].b", &idx)->getAt_as_long(0), 4);
    m.reset();  // the copy shares nothing with the original
    EXPECT_EQ(TextOf(copy.GetItem(0, "in[1].s", &idx), 0), "y");

    // Cloning a member of its own tree frees the old tree only afterwards.
    CVariableItem* k = copy.GetItem(0, "k", &idx);
    ASSERT_TRUE(copy.clone(*k, nullptr, true));
    EXPECT_EQ(Str(copy.GetName()), "k");
    EXPECT_EQ(copy.getAt_as_long(0), 3);
}

// ---------------------------------------------------------------- bits

TEST(BitsExtract, FieldsOfAUnit) {
    struct Row {
        uint32_t unit;
        int32_t width, high, count;
        bool fromTop;
        uint32_t want;
    } rows[] = {
        {0xA0, 8, 7, 3, false, 5},          {0x1A0, 8, 7, 3, false, 5},
        {0xABCD, 16, 11, 12, false, 0xBCD}, {0xFFFFFFFF, 32, 31, 32, false, 0xFFFFFFFF},
        {0xA0, 8, 0, 3, true, 5},           {0xABCD, 16, 4, 8, true, 0xBC},
        {0xFF, 8, 8, 1, false, 0},          {0xFF, 8, 2, 4, false, 0},
        {0xFF, 8, 6, 4, true, 0},           {0xFF, 8, 7, 9, false, 0},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(ExtractBits(r.unit, r.width, r.high, r.count, r.fromTop), r.want)
            << r.unit << " " << r.width << " " << r.high << " " << r.count;
    }
    OTSTR text;
    BitsToText(5, 3, text);
    EXPECT_EQ(Str(text), "101");
    BitsToText(0x80000001u, 40, text);
    EXPECT_EQ(Str(text), "10000000000000000000000000000001");
}

TEST(BitsSetBitData, StoresTheFieldOrRefuses) {
    std::unique_ptr<VariableDefinition> d(BitDef("f", kDeclUInt1, 7, 3));
    CVariableItem f;
    f.create(nullptr, d.get());
    CVarient unit;
    unit.setInteger(0xA0, kTypeUInt4);
    ASSERT_TRUE(f.setBitData(0, unit));
    EXPECT_EQ(f.getAt_as_ulong(0), 5u);
    f.setAt(0, 0);
    ASSERT_TRUE(f.sets(-1, "0xA0", nullptr));  // an initialiser is a whole unit too
    EXPECT_EQ(f.getAt_as_ulong(0), 5u);

    unit.setBytes("x");
    EXPECT_EQ(Traced([&] { EXPECT_FALSE(f.setBitData(0, unit)); }),
              "CVariableItem::setBitData() fail, get bits data error !\n");
    CVariableItem plain;
    plain.create(kDeclUInt1, "plain", 1);
    EXPECT_EQ(
        Traced([&] { EXPECT_FALSE(plain.setBitData(0, unit)); }),
        "CVariableItem::setBitData() fail, plain is not a VariableItem with bits definition !\n");
}

}  // namespace
