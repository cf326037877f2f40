// Tests of native call sites: a call served without a frame gives what the
// usual call through the external handler gives, value, error and trace,
// and the cases that only a frame serves take the usual route.
#include "runtime/native_call.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "runtime/test_program.h"

namespace {

using namespace testprog;

int nativeCalls = 0;
int usualCalls = 0;

// twice(INT4 n, STRING tag): 2 * n, failing for a negative n.
bool Twice(ExecuteEnv& env, Procedure& procedure, int32_t n, CVariableItem* result) {
    if (n < 0) {
        env.SetLastError("twice() refuses %d", static_cast<int>(n));
        return false;
    }
    CVarient value;
    value.setInteger(static_cast<uint32_t>(2 * n), kTypeInt4);
    return result != nullptr ? procedure.StoreReturn(result, value)
                             : procedure.setReturn(env, value);
}

// bump(INT4 &v, INT4 by): adds by to the caller's variable; its new value.
bool Bump(ExecuteEnv& env, Procedure& procedure, CVariableItem* v, int32_t by,
          CVariableItem* result) {
    int32_t n = 0;
    if (v == nullptr || !RunTimeStk::GetElement(*v, 0, n) ||
        !v->setAt(0, static_cast<uint32_t>(n + by))) {
        return false;
    }
    CVarient value;
    value.setInteger(static_cast<uint32_t>(n + by), kTypeInt4);
    return result != nullptr ? procedure.StoreReturn(result, value)
                             : procedure.setReturn(env, value);
}

// tick() and tock(): tickValue, failing while it is negative.
int tickValue = 0;
int tickReads = 0;

bool Tick(ExecuteEnv& env, Procedure& procedure, CVariableItem* result) {
    if (tickValue < 0) {
        env.SetLastError("tick() fails");
        return false;
    }
    CVarient value;
    value.setInteger(static_cast<uint32_t>(tickValue), kTypeInt4);
    return result != nullptr ? procedure.StoreReturn(result, value)
                             : procedure.setReturn(env, value);
}

// tick read without a call, where the call would not fail.
bool ReadTick(void*, ExecuteEnv&, const Procedure&, uint32_t& word, int32_t& type) {
    if (tickValue < 0) return false;
    ++tickReads;
    word = static_cast<uint32_t>(tickValue);
    type = kTypeInt4;
    return true;
}

// The usual route: the parameters read by name from the call's frame.
int Usual(void*, int, void** argv) {
    ++usualCalls;
    auto* env = static_cast<ExecuteEnv*>(argv[0]);
    auto* procedure = static_cast<Procedure*>(argv[1]);
    if (procedure->parameters.GetMemberCount() == 0) return Tick(*env, *procedure, nullptr);
    RunTimeStk* frame = env->GetTopStk(0);
    int32_t n = 0;
    OTSTR tag;
    if (procedure->name.Compare("bump", false)) {
        return frame->get("by", n) &&
               Bump(*env, *procedure, frame->FindItem("v", true, false), n, nullptr);
    }
    if (!frame->get("n", n) || !frame->get("tag", tag)) return 0;
    return Twice(*env, *procedure, n, nullptr) ? 1 : 0;
}

// The same function for a hook whose calls are served natively.
int Served(void* owner, int argc, void** argv) {
    return Usual(owner, argc, argv);
}

bool ServeTwice(void*, ExecuteEnv& env, Procedure& procedure, const NativeArguments& args) {
    ++nativeCalls;
    int32_t n = 0;
    OTSTR tag;
    if (args.paramCount != 2 || !RunTimeStk::GetElement(*args.params[0], 0, n) ||
        !RunTimeStk::GetElement(*args.params[1], 0, tag)) {
        return false;
    }
    return Twice(env, procedure, n, args.result);
}

bool ServeBump(void*, ExecuteEnv& env, Procedure& procedure, const NativeArguments& args) {
    ++nativeCalls;
    int32_t by = 0;
    return args.paramCount == 2 && RunTimeStk::GetElement(*args.params[1], 0, by) &&
           Bump(env, procedure, args.params[0], by, args.result);
}

bool ServeTick(void*, ExecuteEnv& env, Procedure& procedure, const NativeArguments& args) {
    ++nativeCalls;
    return Tick(env, procedure, args.result);
}

NativeHandler Resolve(const Procedure& procedure) {
    if (procedure.parameters.GetMemberCount() == 0) return ServeTick;
    if (procedure.name.Compare("bump", false)) return ServeBump;
    return procedure.name.Compare("twice", false) ? ServeTwice : nullptr;
}

class NativeCallTest : public ::testing::Test {
  protected:
    NativeCallTest() {
        RegisterNatives(Served, Resolve);
        file.SetName("main.txt");
        AddVariable(file, "x", kDeclInt4, 1, "5");
        AddVariable(file, "unset", kDeclInt4);
        AddVariable(file, "arr", kDeclInt4, 3, "{1, 2, 3}");
        AddProcedure(file, "twice", kDeclInt4,
                     {{"n", kDeclInt4, false}, {"tag", kDeclOctet, false}}, true);
        AddProcedure(file, "bump", kDeclInt4, {{"v", kDeclInt4, true}, {"by", kDeclInt4, false}},
                     true);
        AddProcedure(file, "tick", kDeclInt4, {}, true);
        AddProcedure(file, "tock", kDeclUInt2, {}, true);  // read as UINT2: not readable
        // Its argument calls the same call site again, before the first
        // call has its parameters.
        Procedure* f = AddProcedure(file, "f", kDeclInt4, {{"k", kDeclInt4, false}});
        AddReturn(f, "twice(k > 0 ? f(k - 1) + 1 : 0, 'a')");
    }

    struct Outcome {
        std::string value;
        std::string trace;
        bool operator==(const Outcome& o) const { return value == o.value && trace == o.trace; }
    };

    Outcome Eval(const char* text, ExternalHandler hook) {
        if (!env.Prepare(&file)) return {"ERROR prepare", ""};
        env.push(env.GetRoot());
        env.InstallHooks(nullptr, true, hook, 0);
        testing::internal::CaptureStdout();
        ExprEvaluator evaluator;
        env.GetRoot()->BindEvaluator(evaluator);
        CVarient value;
        Outcome out;
        if (evaluator.CalcValue(text, value, true)) {
            OTSTR shown;
            value.getText(shown);
            out.value = shown.GetBuffer(0);
        } else {
            out.value = "ERROR " + std::string(env.GetLastError().GetBuffer(0));
        }
        out.trace = testing::internal::GetCapturedStdout();
        return out;
    }

    Program file;
    ExecuteEnv env;
};

TEST_F(NativeCallTest, ServedCallsGiveWhatUsualCallsGive) {
    struct Case {
        const char* text;
        int native;  // the calls that the served hook serves natively
        int usual;   // those that it serves through the frame
    };
    const Case cases[] = {
        {"twice(3, 'ab')", 1, 0},
        {"twice(x * 1000000000, 'ab')", 1, 0},  // a product past 32 bits
        {"twice(x > 4, 'ab')", 1, 0},
        {"twice(x, 'ab') + twice(x + 1, 'cd')", 2, 0},
        {"twice(twice(2, 'in'), 'out')", 2, 0},
        {"twice(unset, 'ab')", 0, 0},   // an argument that cannot be read
        {"twice('many', 'ab')", 0, 0},  // a text for a number
        {"twice(-4, 'ab')", 1, 0},      // the function fails
        {"twice(3)", 0, 0},             // too few arguments
        {"twice(3, 'ab', 4)", 0, 1},    // too many
        {"f(2)", 1, 2},                 // a call site entered again meanwhile
        // A by-address parameter refers to the caller's variable.
        {"bump(x, 2) * 10 + x", 1, 0},
        {"bump(arr[1], 5) * 10 + arr[1]", 1, 0},
        {"bump(arr[7], 5)", 0, 0},   // no such element
        {"bump(nothing, 1)", 0, 0},  // no such variable
        {"bump(x + 1, 1)", 0, 0},    // not a variable
        {"bump(arr, 1)", 0, 0},      // the whole array for a single number
        {"bump(x, twice(1, 'a')) + x", 2, 0},
    };
    for (const Case& c : cases) {
        usualCalls = nativeCalls = 0;
        Outcome usual = Eval(c.text, Usual);
        EXPECT_EQ(0, nativeCalls) << c.text;
        usualCalls = nativeCalls = 0;
        Outcome served = Eval(c.text, Served);
        EXPECT_EQ(usual.value, served.value) << c.text;
        EXPECT_EQ(usual.trace, served.trace) << c.text;
        EXPECT_EQ(c.native, nativeCalls) << c.text;
        EXPECT_EQ(c.usual, usualCalls) << c.text;
        EXPECT_EQ(1, env.StackSize()) << c.text;
    }
    EXPECT_EQ("6", Eval("f(2)", Served).value);
}

// The items kept at a call site take each call's values afresh.
TEST_F(NativeCallTest, KeptItemsServeCallAfterCall) {
    ASSERT_TRUE(env.Prepare(&file));
    env.push(env.GetRoot());
    env.InstallHooks(nullptr, true, Served, 0);
    ExprEvaluator evaluator;
    env.GetRoot()->BindEvaluator(evaluator);
    std::string got;
    for (const char* text :
         {"x = 7", "twice(x, 'a')", "x = 9", "twice(x, 'a')", "twice(-1, 'a')", "twice(x, 'a')"}) {
        CVarient value;
        got += evaluator.CalcValue(text, value, false) ? std::to_string(value.getLong()) : "-";
        got += " ";
    }
    EXPECT_EQ("7 14 9 18 - 18 ", got);
}

// A pure function's call site keeps its latest results: a call with the
// values of a kept call, also where they reach it through a pure call in its
// arguments, takes the result without running; a failed call is not kept.
TEST_F(NativeCallTest, PureCallSitesKeepTheirResults) {
    RegisterPureNatives(
        Served, [](const Procedure& procedure) { return procedure.name.Compare("twice", false); });
    ASSERT_TRUE(env.Prepare(&file));
    env.push(env.GetRoot());
    env.InstallHooks(nullptr, true, Served, 0);
    const char kText[] = "twice(twice(x, 'in'), 'out')";
    std::unique_ptr<ExprNode> tree(ExprEvaluator::KeptTree(kText));
    std::string got;
    // The inner call's site is bound in the first call: from the second on
    // the outer call finds its values.
    for (int x : {1, 2, 1, 2, 1, -1, -1, 3}) {
        ExprEvaluator evaluator;
        env.GetRoot()->BindEvaluator(evaluator);
        CVarient value;
        ASSERT_TRUE(evaluator.CalcValue(("x = " + std::to_string(x)).c_str(), value, false));
        nativeCalls = 0;
        bool ok = evaluator.CalcTree(tree.get(), kText, value, false);
        got +=
            (ok ? std::to_string(value.getLong()) + "/" + std::to_string(env.returnValue.getLong())
                : std::string("-")) +
            " ran " + std::to_string(nativeCalls) + ", ";
    }
    RegisterPureNatives(Served, nullptr);
    EXPECT_EQ(
        "4/4 ran 2, 8/8 ran 2, 4/4 ran 2, 8/8 ran 0, 4/4 ran 0, - ran 1, - ran 1, 12/12 ran 2, ",
        got);
}

// A call without arguments whose native function can be read is read where
// an expression is computed in machine words, once the site is bound:
// value, return value and trace are the call's. Where the reader refuses,
// or the result is no INT4, the call runs.
TEST_F(NativeCallTest, ReadableCallsAreReadInIntegerExpressions) {
    RegisterIntegerReaders(Served, [](const Procedure&) -> NativeReader { return ReadTick; });
    struct Case {
        const char* text;
        int tick;
        int reads;   // on the second run, with the call site bound
        int native;  // calls served natively then
    };
    const Case cases[] = {
        {"tick() + 1", 5, 1, 0}, {"tick ( ) < x", 6, 1, 0}, {"twice(tick() * 2, 'a')", 3, 1, 1},
        {"tock() + 1", 5, 0, 1}, {"tick() + 1", -1, 0, 1},  // the call fails
    };
    for (const Case& c : cases) {
        tickValue = c.tick;
        std::string runs[2];
        for (ExternalHandler hook : {Usual, Served}) {
            ASSERT_TRUE(env.Prepare(&file));
            env.push(env.GetRoot());
            env.InstallHooks(nullptr, true, hook, 0);
            std::unique_ptr<ExprNode> tree(ExprEvaluator::KeptTree(c.text));
            std::string& got = runs[hook == Served];
            for (int run = 0; run < 2; ++run) {
                tickReads = nativeCalls = 0;
                env.returnValue.clear(false);
                testing::internal::CaptureStdout();
                ExprEvaluator evaluator;
                env.GetRoot()->BindEvaluator(evaluator);
                CVarient value;
                bool ok = evaluator.CalcTree(tree.get(), c.text, value, false);
                OTSTR shown;
                value.getText(shown);
                got += (ok ? shown.GetBuffer(0) : "ERROR ") + std::string("/") +
                       std::to_string(env.returnValue.getLong()) + " " +
                       testing::internal::GetCapturedStdout() + "; ";
            }
            if (hook == Served) {
                EXPECT_EQ(c.reads, tickReads) << c.text;
                EXPECT_EQ(c.native, nativeCalls) << c.text;
            }
        }
        EXPECT_EQ(runs[0], runs[1]) << c.text;
    }
    RegisterIntegerReaders(Served, nullptr);
}

// A traced run sees every call's frame: no call is served natively.
TEST_F(NativeCallTest, TracedRunsTakeTheUsualRoute) {
    struct Monitor : StepMonitor {
        int step(int, int) override { return 0; }
    } monitor;
    env.monitor = &monitor;
    nativeCalls = usualCalls = 0;
    EXPECT_EQ("6", Eval("twice(3, 'ab')", Served).value);
    EXPECT_EQ(0, nativeCalls);
    EXPECT_EQ(1, usualCalls);
    env.monitor = nullptr;
}

}  // namespace
