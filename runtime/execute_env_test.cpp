// Tests of the execution environment: the frame stack, errors, preparing a
// program and calling procedures with their parameters and results.
#include "runtime/execute_env.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/path.h"
#include "runtime/test_program.h"
#include "types/variable_item.h"

namespace {

using namespace testprog;

TEST(ExecuteEnv, StackErrorsAndCancel) {
    ExecuteEnv env;
    EXPECT_EQ(nullptr, env.GetTopStk(0));
    RunTimeStk a, b, c;
    for (RunTimeStk* frame : {&a, &b, &c, static_cast<RunTimeStk*>(nullptr)}) env.push(frame);
    // From depth 1 (above the top, none) down to -3 (below the bottom, none).
    const RunTimeStk* tops[] = {nullptr, &c, &b, &a, nullptr};
    for (int depth = 1; depth >= -3; --depth) EXPECT_EQ(tops[1 - depth], env.GetTopStk(depth));

    testing::internal::CaptureStdout();
    EXPECT_FALSE(env.PopEnv(&b, false));
    env.SetLastError("second %d", 2);
    std::string traced = testing::internal::GetCapturedStdout();
    EXPECT_STREQ("ExecuteEnv::PopEnv() fail, found stack data error !",
                 env.GetLastError().GetBuffer(0));
    EXPECT_NE(std::string::npos, traced.find("second 2")) << "every error is traced";
    EXPECT_EQ(3, env.StackSize());
    for (RunTimeStk* frame : {&c, &b, &a}) EXPECT_TRUE(env.PopEnv(frame, false));

    env.Cancel();
    env.SetLastError("later");
    EXPECT_STREQ("canceled !", env.GetLastError().GetBuffer(0));
    env.reset(true, true);
    EXPECT_TRUE(env.GetLastError().IsEmpty());
    EXPECT_STREQ(" ", env.text.GetBuffer(0));
}

TEST(ExecuteEnv, TimeLimitCancelsAndResetRestartsTheClock) {
    ExecuteEnv env;
    // Without a limit the check never reads the clock nor cancels.
    for (int i = 0; i < 100000; ++i) ASSERT_TRUE(env.KeepRunning());
    env.SetTimeLimit(30);
    env.reset(false, true);
    uint32_t begin = vpath::TickCount();
    long checks = 0;
    while (env.KeepRunning()) ++checks;
    uint32_t took = vpath::TickCount() - begin;
    EXPECT_GE(took, 30u);
    EXPECT_LT(took, 1000u);
    EXPECT_GT(checks, static_cast<long>(ExecuteEnv::kClockInterval));
    EXPECT_TRUE(env.canceled);
    EXPECT_STREQ("canceled !", env.GetLastError().GetBuffer(0));
    EXPECT_FALSE(env.KeepRunning()) << "a cancelled run stays cancelled";
    // A reset (every Prepare starts with one) clears the flag and restarts
    // the clock.
    env.reset(false, true);
    EXPECT_FALSE(env.canceled);
    for (uint32_t i = 0; i < 4 * ExecuteEnv::kClockInterval; ++i) ASSERT_TRUE(env.KeepRunning());
    // A cancel by hand ends the run at the next check, limit or not.
    env.SetTimeLimit(0);
    env.Cancel();
    EXPECT_FALSE(env.KeepRunning());
}

class CallTest : public ::testing::Test {
  protected:
    CallTest() {
        file.SetName("main.txt");
        AddVariable(file, "x", kDeclInt4, 1, "5");
        AddVariable(file, "arr", kDeclInt4, 3, "{1, 2, 3}");
        AddVariable(file, "r", kDeclInt4);
        AddVariable(file, "s", kDeclOctet);
    }
    bool Prepare() {
        if (!env.Prepare(&file)) return false;
        env.push(env.GetRoot());
        return true;
    }
    // A new run: the environment reset, its root frame on the stack.
    void Restart() {
        env.reset(false, true);
        env.push(env.GetRoot());
    }
    // Evaluates an expression in the root frame; trace receives what it traced.
    std::string Eval(const char* text, std::string* trace) {
        testing::internal::CaptureStdout();
        std::string result = Eval(text);
        *trace = testing::internal::GetCapturedStdout();
        return result;
    }
    std::string Eval(const char* text) {
        ExprEvaluator evaluator;
        env.GetRoot()->BindEvaluator(evaluator);
        CVarient value;
        if (!evaluator.CalcValue(text, value, true))
            return "ERROR " + std::string(env.GetLastError().GetBuffer(0));
        OTSTR out;
        value.getText(out);
        return out.GetBuffer(0);
    }
    Program file;
    ExecuteEnv env;
};

// The variables and blocks that frames make for a Program follow its items:
// every entry in order, also a repeated one, and the list made again after
// a removal.
TEST(ProgramLists, VariablesAndBlocksFollowTheItems) {
    Program file;
    VariableDeclaration* a = AddVariable(file, "a", kDeclInt4);
    auto* block = new Program(&file);
    file.AddItem(block, 2, true);
    using Vars = std::vector<VariableDeclaration*>;
    EXPECT_EQ(Vars{a}, file.VariableItems());
    EXPECT_EQ(std::vector<Program*>{block}, file.ProgramItems());
    VariableDeclaration* b = AddVariable(file, "b", kDeclInt4);
    file.AddItem(a, 4, false);
    EXPECT_EQ((Vars{a, b, a}), file.VariableItems());
    ASSERT_TRUE(file.RemoveItem(b, true));
    ASSERT_TRUE(file.RemoveItem(block, true));
    EXPECT_EQ((Vars{a, a}), file.VariableItems());
    EXPECT_TRUE(file.ProgramItems().empty());
}

TEST_F(CallTest, PrepareRunsInitialisersAndBlocks) {
    // Blocks are initialised before the program around them.
    auto* block = new Program(&file);
    AddVariable(*block, "inner", kDeclInt4, 1, "7");
    AddStatement(*block, "r = inner * 2");
    file.AddItem(block, 3, true);
    // Prepared again, from the middle of a run, the same program starts
    // afresh: the variables as their initialisers make them, the blocks run
    // again.
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(Prepare()) << env.GetLastError().GetBuffer(0);
        if (round == 1) {
            EXPECT_EQ("5", Eval("x"));
        }
        EXPECT_EQ("14", Eval("r")) << round;
        EXPECT_EQ("6", Eval("arr[0] + arr[2] + arr[1]")) << round;
        EXPECT_EQ(1, env.StackSize()) << round;
        for (const char* change : {"x = 9", "r = 0", "arr[1] = 40"}) Eval(change);
    }

    Program broken;
    broken.SetName("bad.txt");
    AddVariable(broken, "v", kDeclInt4, 1, "nope + 1");
    EXPECT_FALSE(env.Prepare(&broken));
    // The first error names the cause; the line of the initialiser follows
    // in the trace.
    EXPECT_STREQ(
        "RunTimeStk::GetItem('nope') fail, 'nope' is not a valid VariableItem in "
        "RunTimeStk !",
        env.GetLastError().GetBuffer(0));
    EXPECT_EQ(nullptr, env.GetRoot());
}

// Parameters by value and by address, and results. An integer argument is
// stored as the parameter's type stores it (the echoes i1, u2, dbl and txt),
// whether its value is read the usual way (the first call) or as a machine
// word (the calls after it, once its names are bound): each call is made
// three times.
TEST_F(CallTest, ParametersByValueAndByAddressAndReturnValues) {
    const struct {
        const char* name;
        int32_t type;
    } kEchoes[] = {
        {"i1", kDeclInt1}, {"u2", kDeclUInt2}, {"dbl", kDeclDouble}, {"txt", kDeclOctet}};
    for (const auto& p : kEchoes) {
        Procedure* echo = AddProcedure(file, p.name, kDeclDynamic, {{"a", p.type, false}});
        AddReturn(echo, "a");
    }
    Procedure* add =
        AddProcedure(file, "add", kDeclInt4, {{"a", kDeclInt4, false}, {"b", kDeclInt4, false}});
    AddReturn(add, "a + b");
    Procedure* poke = AddProcedure(file, "poke", kDeclVoid, {{"p", kDeclInt4, true}});
    AddStatement(*poke->body, "p = 70");
    Procedure* len = AddProcedure(file, "len", kDeclInt4, {{"t", kDeclOctet, false}});
    AddReturn(len, "t == 'a,b'");
    Procedure* none = AddProcedure(file, "none", kDeclInt4, {});
    AddStatement(*none->body, "x = 1");
    Procedure* dyn = AddProcedure(file, "dyn", kDeclDynamic, {});
    AddReturn(dyn, "'text'");
    Procedure* quiet = AddProcedure(file, "quiet", kDeclDynamic, {});
    AddStatement(*quiet->body, "x = 2");
    Procedure* early = AddProcedure(file, "early", kDeclInt4, {{"n", kDeclInt4, false}});
    AddReturn(early, "n");
    AddStatement(*early->body, "x = 99");
    ASSERT_TRUE(Prepare());
    std::string trace;
    EXPECT_EQ("3", Eval("add(1, 2, 3)", &trace)) << "extra arguments are ignored";
    EXPECT_NE(std::string::npos,
              trace.find("Warning, GenerateProcedureParamsList() fail, too many param !"));
    const struct {
        const char *expression, *result;
    } cases[] = {
        {"r = add(2, 3)", "5"},
        {"add(x, 3)", "8"},
        {"i1(200)", "-56"},
        {"i1(x * 51)", "-1"},
        {"u2(arr[1] - 3)", "65535"},
        {"u2(x)", "5"},
        {"dbl(x - 7)", "-2.00"},
        {"txt(x + 1)", "ERROR Execute txt() fail, generateParamsList error"},
        {"add(1)", "ERROR Execute add() fail, generateParamsList error"},
        {"len('a,b')", "1"},    // a quoted comma does not split arguments
        {"poke(arr[2])", "-"},  // no value
        {"arr[2]", "70"},       // the procedure wrote through the address
        {"nowhere(1)", "ERROR GetRunTimeValue('nowhere(1)') fail, procedure not found !"},
        {"none()", "ERROR none() fail, return data not seted !"},
        {"dyn()", "\"text\""},
        {"quiet()", "ERROR quiet() fail, no return data seted !"},
        {"early(4)", "4"},
        {"x", "2"},  // the return ended the body
    };
    for (const auto& c : cases) {
        for (int run = 0; run < 3; ++run) {
            EXPECT_EQ(c.result, Eval(c.expression)) << c.expression << " run " << run;
            EXPECT_EQ(1, env.StackSize()) << "the stack is as before the call";
            EXPECT_FALSE(env.returning) << "the return flag is consumed by the call";
        }
        Restart();
    }
}

// A native handler, counting its calls in owner: it reads its parameter n
// from the top frame, as the decoder and the plug-ins do, and sets n * 60
// as the result, none for n 0 or less; like a plug-in may, it renames its
// parameter item for n 2. A parameter it cannot read is its own error.
int Native(void* owner, int argc, void** argv) {
    ++*static_cast<int*>(owner);
    if (argc != 3) return 0;
    auto* env = static_cast<ExecuteEnv*>(argv[0]);
    auto* procedure = static_cast<Procedure*>(argv[1]);
    long n = 0;
    if (!env->GetTopStk(0)->get("n", n)) {
        env->SetLastError("%s() get param fail", procedure->name.GetBuffer(0));
        return 0;
    }
    if (n == 2) env->GetTopStk(0)->FindItem("n", true, false)->SetName("renamed");
    CVarient result;
    result.setInteger(static_cast<uint32_t>(n * 60), kTypeInt4);
    return n <= 0 || procedure->setReturn(*env, result);
}

// A native handler that sums the extra arguments of a variable-argument
// call: they wait in the frame's value list.
int SumExtras(void*, int, void** argv) {
    auto* env = static_cast<ExecuteEnv*>(argv[0]);
    RunTimeStk* frame = env->GetTopStk(0);
    uint32_t sum = 0;
    for (int i = 0; i < frame->ValueCount(); ++i) sum += frame->ValueAt(i)->getUInt32();
    CVarient result;
    result.setInteger(sum, kTypeInt4);
    return static_cast<Procedure*>(argv[1])->setReturn(*env, result);
}

TEST_F(CallTest, ArgumentListsVariableArgumentsAndPushEnv) {
    Procedure* sum = AddProcedure(file, "sum", kDeclDynamic, {{"first", kDeclInt4, false}}, true);
    sum->varArgs = true;
    Procedure* cat =
        AddProcedure(file, "cat", kDeclOctet, {{"a", kDeclOctet, false}, {"b", kDeclOctet, false}});
    AddReturn(cat, "a + '|' + b");
    ASSERT_TRUE(Prepare());
    env.InstallHooks(nullptr, true, SumExtras, 0);
    // Arguments split at the top-level commas, with blanks and many pieces
    // (more than fit the fixed list); the same text twice.
    const char* const cases[][2] = {
        {"sum(100, 2, x + 2)", "9"},
        {"sum(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20)", "210"},
        {"sum( 0 ,\t5,  x + 2 )", "12"},
        {"cat('a, b', '(c,d)')", "\"a, b|(c,d)\""},
        {"cat( 'x' , 'y' )", "\"x|y\""},
        {"cat( 'x' , 'y' )", "\"x|y\""},
    };
    for (const auto& c : cases) EXPECT_EQ(c[1], Eval(c[0])) << c[0];
    std::string traced;
    std::string failed = Eval("sum(1, nope)", &traced);
    EXPECT_EQ(
        "ERROR RunTimeStk::GetItem('nope') fail, 'nope' is not a valid VariableItem in "
        "RunTimeStk !",
        failed);
    EXPECT_NE(std::string::npos, traced.find("Execute sum() fail, generateParamsList error"));
    EXPECT_NE(
        std::string::npos,
        traced.find("GenerateProcedureParamsList() create procedure arg  nope  error, (can only "
                    "support value_expr now) !"));

    // A frame pushed with prepare runs its program; a failing run pops it.
    Program block(&file);
    AddStatement(block, "r = 41 + 1");
    auto* frame = new RunTimeStk(&block, env.GetRoot());
    ASSERT_TRUE(env.PushEnv(frame, true));
    EXPECT_EQ(2, env.StackSize());
    EXPECT_TRUE(env.PopEnv(frame, true));
    EXPECT_EQ("42", Eval("r"));
    Program failing(&file);
    AddStatement(failing, "r = nope");
    RunTimeStk other(&failing, env.GetRoot());
    EXPECT_FALSE(env.PushEnv(&other, true));
    EXPECT_EQ(1, env.StackSize());
}

// The depth of the frame stack where the handler runs.
int StackDepth(void*, int, void** argv) {
    auto* env = static_cast<ExecuteEnv*>(argv[0]);
    CVarient result;
    result.setInteger(static_cast<uint32_t>(env->StackSize()), kTypeInt4);
    return static_cast<Procedure*>(argv[1])->setReturn(*env, result);
}

// A block that declares nothing runs in the frame of the code around it; a
// block that declares a variable, and every block of a traced run, gets a
// frame of its own. Names are found alike.
TEST_F(CallTest, BlocksWithoutDeclarationsRunInTheFrameAround) {
    AddVariable(file, "t", kDeclInt4);
    AddProcedure(file, "depth", kDeclInt4, {}, true);
    Procedure* p = AddProcedure(file, "p", kDeclInt4, {{"n", kDeclInt4, false}});
    auto* plain = new Program(p->body);
    AddStatement(*plain, "r = depth() * 100 + n");
    p->body->AddItem(plain, 1, true);
    auto* declaring = new Program(p->body);
    AddVariable(*declaring, "k", kDeclInt4, 1, "2");
    AddStatement(*declaring, "t = depth() * 100 + n * k");
    p->body->AddItem(declaring, 2, true);
    AddReturn(p, "r + t * 1000");
    ASSERT_TRUE(Prepare());
    env.InstallHooks(nullptr, true, StackDepth, 0);
    // The root, p's frame, the declaring block's frame and depth's frame.
    EXPECT_EQ("406303", Eval("p(3)"));
    struct Monitor : StepMonitor {
        int step(int, int) override { return 0; }
    } monitor;
    env.monitor = &monitor;
    std::string traced;
    EXPECT_EQ("406403", Eval("p(3)", &traced));
    env.monitor = nullptr;
}

// Extern procedures go through the handler. Frames of calls are recycled
// and keep the items of their call for the next call of the same procedure:
// nothing of one call's parameters, locals or result, nor a change made to
// them, reaches the next, at any depth (beyond the number of spare frames
// kept too), and by-address parameters still reach the caller.
TEST_F(CallTest, ExternCallsRecycledFramesAndKeptItems) {
    AddProcedure(file, "positive", kDeclInt4, {{"n", kDeclInt4, false}}, true);
    AddProcedure(file, "times", kDeclDynamic, {{"n", kDeclInt4, false}}, true);
    AddProcedure(file, "narrow", kDeclUInt1, {{"n", kDeclInt4, false}}, true);
    AddProcedure(file, "broken", kDeclDynamic, {{"m", kDeclInt4, false}}, true);
    Procedure* add = AddProcedure(file, "add", kDeclInt4, {{"n", kDeclInt4, false}});
    AddVariable(*add->body, "total", kDeclInt4, 1, "0");
    AddStatement(*add->body, "total = total + n");
    AddStatement(*add->body, "n = 1000");
    AddReturn(add, "total + n");
    Procedure* echo = AddProcedure(file, "echo", kDeclOctet, {{"s", kDeclOctet, false}});
    AddReturn(echo, "s");
    Procedure* down = AddProcedure(file, "down", kDeclInt4, {{"n", kDeclInt4, false}});
    AddReturn(down, "n > 0 ? n * 10 + down(n - 1) : 0");
    Procedure* poke = AddProcedure(file, "poke", kDeclVoid, {{"p", kDeclInt4, true}});
    AddStatement(*poke->body, "p = p + 1");
    ASSERT_TRUE(Prepare());
    EXPECT_EQ("ERROR times() fail, no return data seted !", Eval("times(1)"))
        << "without a handler an extern call does nothing";
    Restart();
    int calls = 0;
    env.InstallHooks(&calls, true, Native, 0);
    const std::string big = "'" + std::string(5000, 'x') + "'";
    const struct {
        std::string expression, result;
    } kCalls[] = {
        {"positive(3)", "180"},
        {"positive(0)", "ERROR positive() fail, return data not seted !"},
        {"positive(2)", "120"},
        {"positive(4)", "240"},
        {"times(5)", "300"},
        {"narrow(5)", "44"},  // 300 cut to the UINT1 return type
        // A native function reports its own error for a parameter it cannot read.
        {"broken(1)", "ERROR broken() get param fail"},
        {"add(5)", "1005"},
        {"add(5)", "1005"},
        {"echo(" + big + ")", "\"" + std::string(5000, 'x') + "\""},
        {"echo('a')", "\"a\""},
        {"echo('')", "\"\""},
        {"down(50)", "12750"},
        {"down(3)", "60"},
        {"poke(x)", "-"},
        // No parameter outlives its call.
        {"n",
         "ERROR RunTimeStk::GetItem('n') fail, 'n' is not a valid VariableItem in RunTimeStk !"},
    };
    for (int round = 0; round < 2; ++round) {
        for (const auto& c : kCalls) {
            EXPECT_EQ(c.result, Eval(c.expression.c_str())) << c.expression.substr(0, 20);
            EXPECT_EQ(1, env.StackSize());
            Restart();
        }
    }
    EXPECT_EQ("7", Eval("x")) << "each by-address call wrote the caller's variable";
    EXPECT_EQ(14, calls);
}

TEST_F(CallTest, RunawayRecursionFailsCleanly) {
    Procedure* again = AddProcedure(file, "again", kDeclVoid, {{"n", kDeclInt4, false}});
    AddStatement(*again->body, "r = n");
    AddStatement(*again->body, "again(n + 1)");
    Procedure* deeper = AddProcedure(file, "deeper", kDeclInt4, {{"n", kDeclInt4, false}});
    AddReturn(deeper, "deeper(n + 1)");
    ASSERT_TRUE(Prepare());
    for (const std::string name : {"again", "deeper"}) {
        std::string trace;
        EXPECT_EQ("ERROR Execute " + name + "() fail, call nesting too deep",
                  Eval((name + "(0)").c_str(), &trace));
        EXPECT_EQ(1, env.StackSize()) << name;
        Restart();
    }
    EXPECT_EQ("99", Eval("r")) << "a hundred calls of again ran";
}

}  // namespace
