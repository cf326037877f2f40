// Tests of frames: creating variables, look-ups through parents, get / set /
// sets, and the evaluator's value callback.
#include "runtime/run_time_stk.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "runtime/test_program.h"
#include "script/call_arguments.h"
#include "types/variable_item.h"

namespace {

using namespace testprog;

std::string Value(RunTimeStk& frame, const char* expression) {
    ExprEvaluator evaluator;
    frame.BindEvaluator(evaluator);
    CVarient value;
    if (!evaluator.CalcValue(expression, value, false))
        return "ERROR " + std::string(evaluator.GetLastError().GetBuffer(0));
    OTSTR text;
    value.getText(text);
    return text.GetBuffer(0);
}

// Adds a member name of type to s; a struct member when structDef is given.
void AddMember(StructDefinition& s, const char* name, int32_t type,
               StructDefinition* structDef = nullptr) {
    auto* member = new VariableDefinition;
    member->set(name, type, 1);
    member->structDef = structDef;
    s.AddMember(member);
}

// A frame of a program with an execution environment, for the tests whose
// errors go to the environment or whose names may be the program's.
class RunTimeStkOfProgram : public ::testing::Test {
  protected:
    ExecuteEnv env;
    Program file;
    RunTimeStk frame{&file, nullptr, &env};
};

TEST(RunTimeStk, CreatesVariablesFromNameSpecs) {
    RunTimeStk frame;
    CVariableItem* buf = frame.CreateVarInstance(kDeclUInt1, "buf[16]");
    ASSERT_NE(nullptr, buf);
    EXPECT_EQ(16, buf->GetCount());
    EXPECT_STREQ("buf", buf->GetItemName().GetBuffer(0));
    for (const char* bad : {"buf[0]", "buf[x]", "9abc", "", "a b", "c[-2]"})
        EXPECT_EQ(nullptr, frame.CreateVarInstance(kDeclUInt1, bad)) << bad;
    testing::internal::CaptureStdout();
    EXPECT_EQ(nullptr, frame.CreateVarInstance(kDeclInt4, " BUF "));
    EXPECT_NE(std::string::npos,
              testing::internal::GetCapturedStdout().find(
                  "RunTimeStk::CreateVarInstance('BUF') fail, Instance with same name already "
                  "created !"));
    EXPECT_EQ(1, frame.VariableCount());

    // A child frame may hide the outer variable.
    RunTimeStk child(nullptr, &frame);
    CVariableItem* inner = child.CreateVarInstance(kDeclInt4, "buf");
    ASSERT_NE(nullptr, inner);
    EXPECT_EQ(inner, child.FindItem("buf", false, false));
    EXPECT_EQ(buf, frame.FindItem("buf", false, false));
    EXPECT_EQ(nullptr, child.FindItem("Buf", false, true));
    EXPECT_EQ(inner, child.DetachItem("buf", true, false));
    EXPECT_EQ(buf, child.FindItem("buf", false, false)) << "found in the parent again";
    delete inner;
}

TEST(RunTimeStk, GetSetAndSets) {
    RunTimeStk frame;
    frame.CreateVarInstance(kDeclInt2, "s");
    frame.CreateVarInstance(kDeclInt2, "arr[3]");
    frame.CreateVarInstance(kDeclOctet, "text");
    frame.CreateVarInstance(kDeclUInt1, "bytes[3]");
    ASSERT_TRUE(frame.set("s", static_cast<uint32_t>(-3)));
    long value = 0;
    bool hasValue = false;
    ASSERT_TRUE(frame.get("s", value, &hasValue));
    EXPECT_EQ(-3, value);
    EXPECT_TRUE(hasValue);
    EXPECT_FALSE(frame.get("arr", value)) << "a whole array has no single value";
    EXPECT_FALSE(frame.get("arr[3]", value)) << "index out of range";
    ASSERT_TRUE(frame.get("arr[1]", value, &hasValue));
    EXPECT_FALSE(hasValue);
    ASSERT_TRUE(frame.sets("arr[]", "{1, 2, 3}"));
    ASSERT_TRUE(frame.get("arr[2]", value));
    EXPECT_EQ(3, value);
    const uint32_t three[] = {65, 66, 67};
    ASSERT_TRUE(frame.set("bytes", three, 3));
    OTSTR text;
    ASSERT_TRUE(frame.get("bytes", text));
    EXPECT_STREQ("ABC", text.GetBuffer(0));
    ASSERT_TRUE(frame.sets("text", "'hello'"));
    ASSERT_TRUE(frame.get("text", text));
    EXPECT_STREQ("hello", text.GetBuffer(0));
    EXPECT_FALSE(frame.get("nothing", value));
    EXPECT_FALSE(frame.set("nothing", 1u));
    // By place: only where the search by name finds the same variable.
    EXPECT_EQ(frame.FindLocal("arr"), frame.LocalAt(1, "ARR"));
    EXPECT_EQ(nullptr, frame.LocalAt(1, "s"));
    EXPECT_EQ(nullptr, frame.LocalAt(4, "s"));
}

TEST_F(RunTimeStkOfProgram, ValueCallbackOfTheEvaluator) {
    file.SetName("f.txt");
    frame.CreateVarInstance(kDeclInt4, "x");
    frame.CreateVarInstance(kDeclInt4, "y");
    frame.CreateVarInstance(kDeclInt4, "arr[2]");
    EXPECT_EQ("ERROR get 'x' value failed", Value(frame, "x + 1"));
    EXPECT_STREQ("GetRunTimeValue('x') fail, data not initialized !",
                 env.GetLastError().GetBuffer(0));

    EXPECT_EQ("5", Value(frame, "x = 5"));
    EXPECT_EQ("11", Value(frame, "y = x * 2 + 1"));
    EXPECT_EQ("ERROR assign value for 'arr' failed", Value(frame, "arr = 3"));
    EXPECT_EQ("4", Value(frame, "arr[x - 4] = 4"));
    EXPECT_EQ("4", Value(frame, "arr[1]"));

    // A named constant of the program is found before a variable.
    CVariableItem* limit = file.NamedValues().CreateVarInstance(kDeclInt4, "x");
    ASSERT_NE(nullptr, limit);
    limit->setAt(0, 100u);
    EXPECT_EQ("100", Value(frame, "x"));

    env.reset(false, true);
    int32_t idx = 0;
    EXPECT_EQ(nullptr, frame.GetItem("missing.a", &idx));
    EXPECT_STREQ(
        "RunTimeStk::GetItem('missing.a') fail, 'missing' is not a valid VariableItem in "
        "RunTimeStk !",
        env.GetLastError().GetBuffer(0));
    for (const char* path : {"x.a", "arr[5]", "arr(1)"}) {
        EXPECT_EQ(nullptr, frame.GetItem(path, &idx)) << path;
    }
    EXPECT_EQ(nullptr, frame.GetItem("arr[1]", nullptr));
}

TEST(RunTimeStk, StructPathsThroughTheFrame) {
    StructDefinition point;
    point.SetName("Point");
    AddMember(point, "x", kDeclInt2);
    AddMember(point, "y", kDeclInt2);
    RunTimeStk frame;
    ASSERT_NE(nullptr, frame.CreateVarInstance(&point, "pts[2]"));
    ASSERT_NE(nullptr, frame.CreateVarInstance(&point, "p"));
    ASSERT_TRUE(frame.sets("pts[1]", "{3, 4}"));
    long value = 0;
    ASSERT_TRUE(frame.get("pts[1].y", value));
    EXPECT_EQ(4, value);
    EXPECT_FALSE(frame.get("pts.y", value)) << "a struct array needs an index";
    ASSERT_TRUE(frame.sets("p", "pts[1]")) << "a struct takes a copy of a struct of its type";
    EXPECT_EQ("7", Value(frame, "p.x + p.y"));
    EXPECT_EQ(nullptr, frame.GetRootVariableItem("q.x", false));
    EXPECT_NE(nullptr, frame.GetRootVariableItem("p.x", false));

    // Paths of plain names take a quick route; every other form, and every
    // failure, must come out as the general route gives it, trace included.
    StructDefinition line;
    line.SetName("Line");
    AddMember(line, "from", kDeclStruct, &point);
    ASSERT_NE(nullptr, frame.CreateVarInstance(&line, "l"));
    ASSERT_TRUE(frame.sets("l.from", "{5, 6}"));
    struct Case {
        const char* path;
        const char* found;  // the item's name, null for none
        int32_t idx;
        const char* trace;  // a part of the trace, null for none
    } cases[] = {
        {"p.x", "x", 0, nullptr},
        {"P.Y", "y", 0, nullptr},
        {"l.from.y", "y", 0, nullptr},
        {"l.from", "from", 0, nullptr},
        {"p.", "p", 0, nullptr},
        {"pts[1].x", "x", 0, nullptr},
        {"p.z", nullptr, 0, "'z' not found"},
        {"p..x", nullptr, 0, "not found"},
        {"pts.y", nullptr, 0, "'pts[-1]' invalid"},
        {"p.x.q", nullptr, 0, "illegal 'q' after 'x'"},
        {"q.x", nullptr, 0, nullptr},
        {"pts[0].y", "y", 0, nullptr},
        {"pts[01].y", "y", 0, nullptr},
        {"pts[2].y", nullptr, 0, "idx out of range"},
        {"pts[1]", "pts", 1, nullptr},
        {"l.from[0].y", "y", 0, nullptr},
        {"l.from[1].y", nullptr, 0, "out of range"},
        {"p.x[0]", "x", 0, nullptr},
        {"p.x[1]", nullptr, 0, "out of range"},
        {"p[0].x", "x", 0, nullptr},
        {"p.x[0].q", nullptr, 0, "illegal"},
    };
    for (const Case& c : cases) {
        int32_t idx = -7;
        testing::internal::CaptureStdout();
        CVariableItem* item = frame.GetItem(c.path, &idx);
        std::string trace = testing::internal::GetCapturedStdout();
        if (c.found == nullptr) {
            EXPECT_EQ(nullptr, item) << c.path;
        } else {
            ASSERT_NE(nullptr, item) << c.path;
            EXPECT_STREQ(c.found, item->GetItemName().GetBuffer(0)) << c.path;
            EXPECT_EQ(c.idx, idx) << c.path;
        }
        if (c.trace == nullptr) {
            EXPECT_EQ("", trace) << c.path;
        } else {
            EXPECT_NE(std::string::npos, trace.find(c.trace)) << c.path << ": " << trace;
        }
    }
    EXPECT_EQ("11", Value(frame, "l.from.x + L.From.Y"));
    frame.caseSensitive = true;
    EXPECT_EQ(nullptr, frame.GetItem("p.X", nullptr));
}

// Integer expressions take the evaluator's integer route once their leaves
// are bound; with and without that route every expression gives the same
// value, type, error and trace, also where a leaf is no integer, has no
// value or does not exist, or an operator fails.
TEST_F(RunTimeStkOfProgram, IntegerRouteGivesWhatValuesGive) {
    StructDefinition point;
    point.SetName("Point");
    AddMember(point, "x", kDeclInt2);
    ASSERT_NE(nullptr, frame.CreateVarInstance(&point, "p"));
    ASSERT_TRUE(frame.sets("p", "{-3}"));
    const struct {
        int32_t type;
        const char* spec;
        const char* value;  // null: none
    } variables[] = {
        {kDeclInt1, "n8", "-5"},           {kDeclUInt1, "u8", "200"},
        {kDeclUInt2, "u16", "65535"},      {kDeclInt4, "i", "-7"},
        {kDeclUInt4, "big", "0xffffffff"}, {kDeclOctet, "s", "'ab'"},
        {kDeclInt4, "unset", nullptr},     {kDeclInt4, "arr[2]", "{1, 2}"},
        {kDeclDouble, "d", "2.5"},
    };
    for (const auto& v : variables) {
        CVariableItem* item = frame.CreateVarInstance(v.type, v.spec);
        ASSERT_NE(nullptr, item) << v.spec;
        if (v.value != nullptr) {
            ASSERT_TRUE(frame.sets(item->GetItemName().GetBuffer(0), v.value)) << v.spec;
        }
    }
    CVariableItem* limit = file.NamedValues().CreateVarInstance(kDeclUInt2, "LIMIT");
    ASSERT_TRUE(limit != nullptr && limit->setAt(0, 300u));
    const char* const expressions[] = {
        "n8 + u8",        "u8 * u16 - i", "big >> 4",    "n8 >> 1", "i / 2 % 3",
        "-n8 + ~u8",      "!i == 0",      "u16 & LIMIT", "n8 < u8", "i <= n8 && big",
        "i / (u8 - 200)", "s + 1",        "unset + 1",   "arr + 1", "arr[1] * 2",
        "missing - 1",    "p.x * 2",      "p.y + 1",     "d * 2",   "(i + 1) * (n8 - u8)",
        "P.X - 1",        "p[0].x + 1",   "p[1].x",      "p.x[0]",  "p.x.q + 1",
        "p. + 1",         "arr[01] + 1",
    };
    // Bound, a dotted path is cut apart once and followed at every read;
    // unbound, it is read from its text every time.
    auto run = [&](const char* text, bool route, bool bound = true) {
        CallArguments::SetBinding(bound);
        std::unique_ptr<ExprNode> tree(ExprEvaluator::KeptTree(text));
        std::string out;
        for (int pass = 0; pass < 2; ++pass) {
            env.reset(false, true);
            ExprEvaluator evaluator;
            frame.BindEvaluator(evaluator);
            if (!route) evaluator.integers = nullptr;
            CVarient value;
            testing::internal::CaptureStdout();
            bool ok = evaluator.CalcTree(tree.get(), text, value, false);
            // The same expression as a condition.
            int32_t truth = 0;
            bool decided = evaluator.EvaluateBool(tree.get(), truth);
            std::string trace = testing::internal::GetCapturedStdout();
            OTSTR shown;
            value.getText(shown);
            out +=
                (ok ? std::string(shown.GetBuffer(0)) + " type " + std::to_string(value.GetType())
                    : "ERROR " + std::string(evaluator.GetLastError().GetBuffer(0)) + " / " +
                          env.GetLastError().GetBuffer(0)) +
                (decided ? " bool " + std::to_string(truth) : " no bool") + " trace " + trace +
                "\n";
        }
        CallArguments::SetBinding(true);
        return out;
    };
    for (const char* text : expressions) {
        std::string values = run(text, false, false);
        EXPECT_EQ(values, run(text, false)) << text;
        EXPECT_EQ(values, run(text, true)) << text;
    }
    const std::string int4 = "-10 type " + std::to_string(kTypeInt4) + " bool -10 trace \n";
    EXPECT_EQ(int4 + int4, run("-10 + (n8 - n8)", true));
}

// A bound dotted path keeps where its members stood; a struct of another
// definition, whose members stand elsewhere, is searched again.
TEST_F(RunTimeStkOfProgram, DottedPathsFindMembersWhereTheyStand) {
    StructDefinition a, b;
    a.SetName("A");
    AddMember(a, "x", kDeclInt2);
    AddMember(a, "y", kDeclInt2);
    b.SetName("B");
    AddMember(b, "y", kDeclInt2);
    AddMember(b, "x", kDeclInt2);
    const char kText[] = "q.x * 10 + q.y";
    std::unique_ptr<ExprNode> tree(ExprEvaluator::KeptTree(kText));
    std::string got;
    for (StructDefinition* def : {&a, &a, &b, &b, &a}) {
        delete frame.DetachItem("q", true, false);
        ASSERT_NE(nullptr, frame.CreateVarInstance(def, "q"));
        ASSERT_TRUE(frame.sets("q", "{1, 2}"));
        ExprEvaluator evaluator;
        frame.BindEvaluator(evaluator);
        CVarient value;
        ASSERT_TRUE(evaluator.CalcTree(tree.get(), kText, value, false));
        got += std::to_string(value.getLong()) + " ";
    }
    EXPECT_EQ("12 12 21 21 12 ", got);
}

// Recycle keeps a frame's small plain variables for TakeSpare, which gives
// them back without their values; variables holding many texts' bytes are
// freed, not kept.
TEST(RunTimeStk, RecycleKeepsOnlySmallPlainVariables) {
    std::unique_ptr<VariableDefinition> small(new VariableDefinition);
    small->set("n", kDeclInt4, 2);
    std::unique_ptr<VariableDefinition> text(new VariableDefinition);
    text->set("t", kDeclOctet, 2);
    RunTimeStk frame;
    CVariableItem* n = frame.CreateVarInstance(small.get());
    CVariableItem* t = frame.CreateVarInstance(text.get());
    ASSERT_TRUE(n != nullptr && t != nullptr);
    ASSERT_TRUE(frame.sets("n", "{1, 2}"));
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(t->setAt(i, std::string(3000, 'x').c_str()));
    frame.Recycle();
    EXPECT_EQ(0, frame.VariableCount());
    EXPECT_EQ(nullptr, frame.TakeSpare(text.get())) << "6,000 bytes of texts are not kept";
    CVariableItem* renewed = frame.TakeSpare(small.get());
    ASSERT_EQ(n, renewed);
    EXPECT_FALSE(renewed->HasValue());
    EXPECT_EQ(0, renewed->getAt_as_long(1));
    EXPECT_EQ(nullptr, frame.TakeSpare(small.get())) << "taken once";
    delete renewed;
}

// A by-address parameter is kept blank, without the storage it shared,
// and an address passed to it again makes what a new item would; the extra
// values of a variable-argument call are kept empty.
TEST(RunTimeStk, RecycleKeepsReferencesBlankAndValuesEmpty) {
    std::unique_ptr<VariableDefinition> param(new VariableDefinition);
    param->set("r", kDeclInt4, 1);
    param->byAddress = true;
    RunTimeStk caller;
    CVariableItem* source = caller.CreateVarInstance(kDeclInt4, "s[3]");
    ASSERT_NE(nullptr, source);
    ASSERT_TRUE(caller.sets("s", "{7, 8, 9}"));

    RunTimeStk frame;
    auto* ref = new CVariableItem;
    ASSERT_TRUE(ref->PassAddressClone(*source, 1, param.get()));
    ASSERT_TRUE(frame.AddItem(ref));
    auto* extra = new CVarient;
    ASSERT_TRUE(extra->setBytes("abc"));
    ObArray values;
    values.Add(extra);
    ASSERT_TRUE(frame.Prepare(nullptr, &values, true));
    frame.Recycle();
    EXPECT_EQ(nullptr, frame.TakeSpare(param.get()));
    CVariableItem* blank = frame.TakeBlank();
    ASSERT_EQ(ref, blank);
    EXPECT_FALSE(blank->IsReference());
    EXPECT_EQ(nullptr, frame.TakeBlank()) << "taken once";
    EXPECT_EQ(9, source->getAt_as_long(2)) << "the caller's storage is left alone";

    CVariableItem fresh;
    for (CVariableItem* item : {blank, &fresh}) {
        ASSERT_TRUE(item->PassAddressClone(*source, 2, param.get()));
        EXPECT_EQ(9, item->getAt_as_long(0));
        EXPECT_STREQ("r", item->GetItemName().GetBuffer(0));
        EXPECT_STREQ("r", item->GetName().GetBuffer(0));
        EXPECT_EQ(source, item->addressSource);
        EXPECT_EQ(1, item->GetCount());
    }
    delete blank;

    CVarient* kept = frame.TakeSpareValue();
    ASSERT_EQ(extra, kept);
    EXPECT_EQ(kTypeNone, kept->GetType());
    EXPECT_FALSE(kept->HasValue());
    EXPECT_EQ(nullptr, kept->data);
    EXPECT_EQ(nullptr, frame.TakeSpareValue());
    delete kept;

    // A locked item is never blank, whatever it was.
    EXPECT_FALSE(CVariableItem::ReadOnlyItem()->IsBlank());
}

// A kept tree's leaf remembers where its bare name was found. A frame on
// the way that changed since, a read from a frame at another depth, or a
// variable renamed meanwhile, sends the search through the frames again.
TEST(RunTimeStk, BareNamesAreFoundAgainWhereFramesChanged) {
    ExecuteEnv env;
    Program file;
    RunTimeStk outer(&file, nullptr, &env);
    RunTimeStk inner(&file, &outer, &env);
    ASSERT_TRUE(outer.CreateVarInstance(kDeclInt4, "x")->setAt(0, 1u));
    // Any pointer serves as the key of a layout.
    int outerKey = 0, innerKey = 0;
    outer.SetLayout(&outerKey);
    inner.SetLayout(&innerKey);
    std::unique_ptr<ExprNode> tree(ExprEvaluator::KeptTree("x"));
    auto read = [&tree](RunTimeStk& frame) {
        ExprEvaluator evaluator;
        frame.BindEvaluator(evaluator);
        CVarient value;
        return evaluator.CalcTree(tree.get(), "x", value, false) ? value.getLong() : -1;
    };
    EXPECT_EQ(1, read(outer));
    EXPECT_EQ(1, read(inner)) << "one frame more on the way";
    EXPECT_EQ(1, read(inner)) << "from the place kept";

    CVariableItem* shadow = inner.CreateVarInstance(kDeclInt4, "x");
    ASSERT_TRUE(shadow != nullptr && shadow->setAt(0, 2u));
    EXPECT_EQ(2, read(inner)) << "the frame's layout is forgotten when it changes";
    inner.SetLayout(&innerKey);
    EXPECT_EQ(2, read(inner));
    EXPECT_EQ(2, read(inner));

    shadow->SetName("y");
    EXPECT_EQ(1, read(inner)) << "renamed in place";
    EXPECT_NE(nullptr, inner.DetachItem(shadow, true));
    delete shadow;
    EXPECT_EQ(1, read(inner));
}

// A slot finds a name of other letter case again, without folding, while
// the variable keeps the bytes its name had; renamed, even to a name of the
// same length, it is compared afresh.
TEST_F(RunTimeStkOfProgram, SlotsMatchNamesOfOtherCaseUntilRenamed) {
    CVariableItem* item = frame.CreateVarInstance(kDeclInt4, "this");
    ASSERT_NE(nullptr, item);
    int key = 0;
    frame.SetLayout(&key);
    RunTimeStk::NameSlot slot;
    const char name[] = "This";
    auto find = [&] { return frame.FindBare(name, 4, &slot); };
    for (int round = 0; round < 3; ++round) EXPECT_EQ(item, find()) << round;
    for (const char* renamed : {"thus", "THIS", "these", "tHiS", "This"}) {
        item->SetName(renamed);
        CVariableItem* expected = OTSTR(renamed).Compare(name, false) ? item : nullptr;
        for (int round = 0; round < 3; ++round) EXPECT_EQ(expected, find()) << renamed << round;
    }
}

// A recycled frame keeps the frames of its blocks (an included file's
// globals), emptied, and prepares them again instead of making new ones.
TEST(RunTimeStk, RecycleKeepsTheFramesOfBlocks) {
    Program file;
    auto* included = new Program;
    AddVariable(*included, "g", kDeclInt4);
    ASSERT_TRUE(file.AddItem(included, 0, true));
    RunTimeStk frame(&file);
    ASSERT_TRUE(frame.Prepare(nullptr, nullptr, true));
    ASSERT_EQ(1, frame.ChildCount());
    RunTimeStk* child = frame.ChildAt(0);
    ASSERT_TRUE(child->sets("g", "9"));
    for (int round = 0; round < 2; ++round) {
        frame.Recycle();
        EXPECT_EQ(0, frame.ChildCount());
        ASSERT_TRUE(frame.Prepare(nullptr, nullptr, true));
        ASSERT_EQ(1, frame.ChildCount());
        EXPECT_EQ(child, frame.ChildAt(0));
        CVariableItem* g = child->FindItem("g", true, false);
        ASSERT_NE(nullptr, g);
        EXPECT_FALSE(g->HasValue()) << "prepared as a new frame is";
    }
}

}  // namespace
