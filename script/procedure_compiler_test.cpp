// Tests of variable declarations, procedures, statements and identifier
// checks: annotated scripts compiled from memory, then run.
#include <gtest/gtest.h>

#include <string>

#include "base/path.h"
#include "pattern/script_lexer.h"
#include "runtime/execute_env.h"
#include "runtime/run_time_stk.h"
#include "script/compile_context.h"
#include "script/compiler.h"
#include "script/procedure.h"
#include "script/program.h"
#include "script/statements.h"
#include "script/test_compile.h"
#include "script/variable_declaration.h"
#include "values/cvarient.h"

namespace {

struct Case {
    const char* script;
    const char* result;  // "OK" or the error text
};

using testcompile::Compile;

// Compiles and prepares a script; the environment's root frame then holds
// the file's variables.
class Script {
  public:
    explicit Script(const char* text) {
        program.SetName("s.txt");
        compiled = Compile(text, program);
        prepared = compiled == "OK" && env.Prepare(&program);
    }
    long Get(const char* name) {
        long value = -99999;
        bool has = false;
        bool got = env.GetRoot() != nullptr && env.GetRoot()->get(name, value, &has) && has;
        return got ? value : -99999;
    }
    std::string Error() const { return env.GetLastError().GetBuffer(0); }

    Program program;
    ExecuteEnv env;
    std::string compiled;
    bool prepared = false;
};

// Declarations, procedures and statements: "OK" or the compile error.
TEST(ProcedureCompiler, CompileMessages) {
    const Case cases[] = {
        // Variables.
        {"INT4 a[3], b = 2; BYTE c[2] = {1, 2};", "OK"},
        {"#define N 4\nINT1 buf[N];", "OK"},
        {"INT1 x[0];", "Ln 0  get array size fail"},
        {"INT4 a;\nINT2 A;", "Ln 1  identifier_name 'A' already be used"},
        {"INT4 a, a;", "Ln 0  identifier_name 'a' already be used"},
        {"INT4 this;", "Ln 0  identifier_name illegal, 'this' is a system reserved keyword"},
        {"VOID v;", "Ln 0  typeSpecifier 'VOID' is not allowed"},
        {"dynamic d;", "Ln 0  typeSpecifier 'dynamic' is not allowed"},
        {"PVOID p;", "Ln 0  typeSpecifier 'PVOID' is not allowed"},
        {"INT4 a b;", "Ln 0  ';' expected"},
        {"INT4 a = nope;", "Ln 0  'nope' invalid"},
        // A block's variable may not reuse a name seen from the block.
        {"INT4 a;\n{ INT4 a; }", "Ln 1  identifier_name 'a' already be used"},
        // Procedures.
        {"INT4 f(INT4 a);\nINT4 f(INT2 a) { return a; }", "Ln 1  procedure header define conflict"},
        {"INT4 f(INT4 a);\nint4 F(int4 A);\nINT4 f(INT4 a) { return a; }", "OK"},
        {"INT4 f(INT4 a);", "t.txt : Ln 0  procedure 'f' definition not complete"},
        {"extern VOID g(INT4 x) { }", "Ln 0  ';' expected, procedure is extern, no body allowed"},
        {"extern VOID g(INT4 x);\nextern VOID g(INT4 x);", "OK"},
        {"extern VOID g(INT4 x);\nextern VOID g(INT4 y);",
         "Ln 1  procedure header define conflict"},
        {"extern VOID g(INT4 x);\nVOID g(INT4 x) { }", "Ln 1  procedure header define conflict"},
        {"VOID g() { }\nVOID g() { }", "Ln 1  procedure already has a body"},
        {"INT4 a;\nVOID a() { }", "Ln 1  identifier_name 'a' already be used"},
        {"PVOID f();", "Ln 0  'PVOID' illegal, only simple type can be used for procedure return"},
        {"INT4 f(INT4 a, INT4 a);", "Ln 0  identifier_name already be defined"},
        {"INT4 f(INT4 this);",
         "Ln 0  identifier_name illegal, 'this' is a system reserved keyword"},
        {"INT4 f(PVOID p);", "Ln 0  'PVOID' not allowed here"},
        {"INT4 f(dynamic d);", "Ln 0  'dynamic' allowed only when param in PassAddress mode"},
        {"INT4 f(dynamic & d[2]);", "Ln 0  'dynamic' not support array mode"},
        {"INT4 f(dynamic & d);\nINT4 f(dynamic & d) { return 1; }", "OK"},
        {"INT4 f(INT4 a[0]);", "Ln 0  get array size fail"},
        {"INT4 f(INT4 a;", "Ln 0  ')' expected"},
        {"INT4 f(INT4 a) x", "Ln 0  ';' expected"},
        {"VOID f() { INT4 x = ; }", "Ln 0  GetExpression() error, Operator ; illegal"},
        {"VOID f() { return 1; }", "t.txt : Ln 0  'void' function returning a value"},
        {"INT4 f() { return; }", "OK"},
        {"INT4 f() {\n  while (1) { if (1) { return 2; } }\n}", "OK"},
        {"INT4 f(INT4 a) { return b; }", "Ln 0  'b' invalid"},
        {"INT4 x = g(1);", "Ln 0  'g(1)' invalid"},
        {"INT4 f(INT4 a) { return a; }\nINT4 x = f(nope);", "Ln 1  'f(nope)' invalid"},
        // Statements.
        {";", "OK"},
        {"INT4 x;\nbreak;", "t.txt : Ln 1  illegal 'break', no parent while or for found"},
        {"INT4 x;\n{ continue; }",
         "t.txt : Ln 1  illegal 'continue', no parent while or for found"},
        {"INT4 x;\nif (x)\n  break;",
         "t.txt : Ln 2  illegal 'break', no parent while or for found"},
        {"return 1;", "t.txt : Ln 0  illegal 'return', no parent procedure found"},
        {"INT4 x;\nwhile (x) { if (x) break; else continue; }", "OK"},
        {"INT4 i;\nfor (i = 0; i < 2; i = i + 1) break;", "OK"},
        {"INT4 i;\nwhile (i) { VOID f() { break; } }",
         "t.txt : Ln 1  illegal 'break', no parent while or for found"},
        // An undeclared name: the item loop reports the word it could not read.
        {"x = 1;", "Ln 0  'x' unexpected"},
        {"INT4 x;\nfor (x = 0; x < 2) ;", "Ln 1  ';'  expected"},
        {"enum Color { Red = 1 };\nINT4 x;\nx = Color::Blue;", "Ln 2  'Color::Blue' invalid"},
        {"INT4 a[3];\nINT4 i;\na[i + 1] = 2;", "OK"},
        {"INT4 a[3];\na[nope] = 2;", "Ln 1  'a' unexpected"},
        {"INT4 a[3];\nINT4 x = a[nope];", "Ln 1  'a[nope]' invalid"},
        {"INT4 x;\nINT4 y = x.a;", "Ln 1  'x.a' invalid"},
    };
    for (const Case& c : cases) {
        Program program;
        program.SetName("t.txt");
        EXPECT_EQ(c.result, Compile(c.script, program)) << c.script;
    }
}

TEST(ProcedureCompilerVariables, InitialisersCommentsAndSerials) {
    Program program;
    ASSERT_EQ("OK", Compile("INT4 a = 1, b; // pair\n"
                            "INT2 c, // first\n"
                            "  d;\n",
                            program));
    ASSERT_EQ(4, program.ItemCount());
    auto var = [&](int i) { return static_cast<VariableDeclaration*>(program.ItemAt(i)); };
    auto *a = var(0), *b = var(1);
    EXPECT_STREQ("1", a->initializer.GetBuffer(0));
    EXPECT_TRUE(b->initializer.IsEmpty());
    const char* comments[] = {"pair", "pair", "first"};
    for (int i = 0; i < 3; ++i) EXPECT_STREQ(comments[i], var(i)->GetDescription().GetBuffer(0));
    EXPECT_EQ(2, program.ItemLine(2) - program.ItemLine(0) + 1);
    EXPECT_LT(a->id, b->id);
    EXPECT_EQ(kDeclInt4, a->declaredType);
}

// What a procedure records, and the parents its statements find.
TEST(ProcedureCompilerProcedures, WhatAProcedureAndItsStatementsRecord) {
    Program program;
    ASSERT_EQ("OK", Compile("INT4 f(INT4 a, INT2 & b[3], . . ., INT4 c);\n"
                            "extern VOID g();\n"
                            "INT4 f(INT4 a, INT2 & b[3], . . ., INT4 c) {\n"
                            "  while (a) {\n    if (a) break;\n  }\n  return a;\n}\n",
                            program));
    Procedure* f = program.FindProcedure("F");
    ASSERT_NE(nullptr, f);
    EXPECT_STREQ("INT4 f(INT4 a,INT2 b, ...)", f->header.GetBuffer(0));
    EXPECT_TRUE(f->varArgs);
    ASSERT_EQ(2, f->parameters.GetMemberCount());
    EXPECT_TRUE(f->parameters.GetMember(1)->byAddress);
    EXPECT_EQ(3, f->parameters.GetMember(1)->count);
    EXPECT_EQ(&program, f->owner);
    EXPECT_EQ(2, f->declLine);
    EXPECT_EQ(0, program.pendingProcedures.GetSize());
    Procedure* g = program.FindProcedure("g");
    ASSERT_NE(nullptr, g);
    EXPECT_TRUE(g->isExtern);
    EXPECT_EQ(nullptr, g->body);
    EXPECT_STREQ("extern VOID g()", g->header.GetBuffer(0));

    ASSERT_NE(nullptr, f->body);
    ASSERT_EQ(2, f->body->ItemCount());
    auto* loop = dynamic_cast<WhileStatement*>(f->body->ItemAt(0));
    ASSERT_NE(nullptr, loop);
    auto* block = dynamic_cast<Program*>(loop->body.get());
    ASSERT_NE(nullptr, block);
    auto* test = dynamic_cast<IfStatement*>(block->ItemAt(0));
    ASSERT_NE(nullptr, test);
    EXPECT_EQ(loop, HolderOf(block));
    EXPECT_EQ(f, HolderOf(f->body));
    EXPECT_EQ(loop, EnclosingLoop(test->thenStatement.get()));
    EXPECT_EQ(f, EnclosingProcedure(test->thenStatement.get()));
    EXPECT_EQ(f, EnclosingProcedure(f->body->ItemAt(1)));
    EXPECT_EQ(4, test->line);
}

// The identifier check cuts a path as the run does: it used to skip quoted
// text and so passed m["]"], which the run cannot resolve.
TEST(ProcedureCompilerStatements, CheckAndRunSplitPathsAlike) {
    Script script("struct Pair { INT1 x; };\nINT4 m[2];\nPair s;");
    ASSERT_TRUE(script.prepared) << script.compiled << script.Error();
    CompileContext context(script.program);
    for (const char* path : {"m[1]", "s.x", "m[\"]\"]"}) {
        OTSTR message;
        bool checked = CheckIdentifier(context, path, message);
        int32_t idx = -1;
        bool resolved = script.env.GetRoot()->GetItem(path, &idx) != nullptr;
        EXPECT_EQ(resolved, checked) << path << ": " << message.GetBuffer(0);
    }
}

// Scripts run from memory: the value of x after the run, or the failing
// statement's own message, the last of the chain of errors.
TEST(StatementRun, LoopsCallsReturnsAndFailures) {
    const Case cases[] = {
        {"INT4 x = 0; INT4 i;\n"
         "for (i = 0; i < 3; i = i + 1) { if (i == 1) continue; x = x + i; }",
         "x=2"},
        {"INT4 x = 5;\nwhile (0) x = 1;", "x=5"},
        {"INT4 x = 0;\nwhile (1) { x = x + 1; if (x == 4) break; }", "x=4"},
        {"INT4 x = 0; INT4 i = 0;\nwhile (i < 5) { i = i + 1; if (i == 2) continue; x = x + 10; }",
         "x=40"},
        {"INT4 x = 0; INT4 i; INT4 j;\n"
         "for (i = 0; i < 3; i = i + 1) for (j = 0; j < 3; j = j + 1) { if (j == 1) break; "
         "x = x + 1; }",
         "x=3"},
        {"INT4 x = 0;\nif (x) x = 1; else x = 2;", "x=2"},
        {"INT4 x = 1;\nif (x) { x = 7; }", "x=7"},
        // Calls and returns.
        {"INT4 twice(INT4 a) { return a * 2; }\nINT4 x;\nx = twice(4);", "x=8"},
        {"INT4 first(INT4 n) {\n  INT4 i;\n  for (i = 0; i < 10; i = i + 1) {\n"
         "    if (i == n) { return i * 3; }\n  }\n  return 0 - 1;\n}\n"
         "INT4 x;\nx = first(4);",
         "x=12"},
        {"INT4 one(INT4 n) { if (n <= 1) return 1; return 5; }\nINT4 x;\nx = one(1);", "x=1"},
        {"INT4 one(INT4 n) { if (n <= 1) return 1; return 5; }\nINT4 x;\nx = one(3);", "x=5"},
        {"INT4 one(INT4 n) { if (n <= 1) return 1; return one(1) + 1; }\nINT4 x;\nx = one(3);",
         "x=2"},
        {"INT4 d(INT4 n) { if (n <= 1) return 1; return d(n - 1); }\nINT4 x;\nx = d(2);", "x=1"},
        {"INT4 d(INT4 n) { if (n <= 1) return 1; return d(n - 1); }\nINT4 x;\nx = d(3);", "x=1"},
        {"INT4 e(INT4 n) { if (n <= 1) return 1; return e(1) + e(1); }\nINT4 x;\nx = e(3);", "x=2"},
        {"INT4 fact(INT4 n) { if (n <= 1) return 1; return n * fact(n - 1); }\n"
         "INT4 x;\nx = fact(5);",
         "x=120"},
        {"INT4 x = 1;\nVOID bump() { x = x + 1; return; }\nbump(); bump();", "x=3"},
        {"INT4 late(INT4 a);\nINT4 x;\nINT4 late(INT4 a) { return a + 1; }\nx = late(1);", "x=2"},
        {"dynamic pick(INT4 a) { return a + 100; }\nINT4 x;\nx = pick(1);", "x=101"},
        {"enum Color { Red = 1, Green = 2 };\nINT4 x;\nx = Color::Green;", "x=2"},
        {"INT4 set(INT4 & r) { r = 9; return 0; }\nINT4 x;\nset(x);", "x=9"},
        // A by-address parameter's item is reused from call to call.
        {"INT4 inc(INT4 & r) { r = r + 1; return 0; }\nINT4 x = 1; INT4 y = 10;\n"
         "inc(x); inc(y); inc(x); x = x + y;",
         "x=14"},
        // Initialisers of locals, run at every call.
        {"INT4 g(INT4 a) { INT4 b = a * 2; INT4 c[2] = {a, 1}; return b + c[0]; }\n"
         "INT4 x;\nx = g(1) + g(5);",
         "x=18"},
        // Failures.
        {"INT4 f(INT4 a) { INT4 b = a; }\nINT4 x;\nx = f(1);", "f() fail, return data not seted !"},
        {"dynamic f() { return; }\nINT4 x;\nx = f();", "f() fail, no return data seted !"},
        {"INT4 x;\nINT4 a[2];\nx = a[5];", "s.txt : Ln 2  statement_expr execute fail !"},
        {"INT4 a[2];\nINT4 x;\nif (a[7]) x = 1;", "s.txt : Ln 2  if (exp) execute fail !"},
        {"INT4 a[2];\nwhile (a[7]) ;", "s.txt : Ln 1  while(exp) execute fail !"},
        {"INT4 a[2];\nINT4 i;\nfor (i = a[9]; i < 1; i = i + 1) ;",
         "s.txt : Ln 2  initial_expr execute fail !"},
        {"INT4 a[2];\nINT4 i;\nfor (i = 0; a[9]; i = i + 1) ;",
         "s.txt : Ln 2  for(conditionExpr) execute fail !"},
        {"INT4 a[2];\nINT4 i;\nfor (i = 0; i < 3; a[9] = 1) ;",
         "s.txt : Ln 2  expr execute fail !"},
        {"INT4 a[2];\nINT4 f() {\n  return a[9];\n}\nINT4 x;\nx = f();",
         "s.txt : Ln 2  return execute fail !"},
        {"INT4 a[2];\nINT4 f() {\n  INT4 b = a[9];\n  return b;\n}\nINT4 x;\nx = f();",
         "s.txt : Ln 2  initialize fail !"},
    };
    for (const Case& c : cases) {
        Script script(c.script);
        ASSERT_EQ("OK", script.compiled) << c.script;
        if (!script.prepared) {
            EXPECT_NE(std::string::npos, script.Error().find(c.result)) << c.script << "\n"
                                                                        << script.Error();
            continue;
        }
        EXPECT_EQ(c.result, "x=" + std::to_string(script.Get("x"))) << c.script;
        EXPECT_FALSE(script.env.breaking || script.env.continuing || script.env.returning)
            << c.script;
    }
}

// A monitor that counts its calls and cancels at the 50th.
class CountingMonitor : public StepMonitor {
  public:
    int step(int, int) override { return ++calls >= 50 ? -1 : 1; }
    int calls = 0;
};

TEST(StatementRunLoops, MonitorStepsAndCancelsEndlessLoop) {
    Program program;
    ASSERT_EQ("OK", Compile("INT4 x = 0;\nwhile (1) { x = x + 1; }", program));
    ExecuteEnv env;
    CountingMonitor monitor;
    env.monitor = &monitor;
    EXPECT_FALSE(env.Prepare(&program));
    EXPECT_EQ(50, monitor.calls);
}

// Runaway scripts end when the time limit runs out: the run fails with
// "canceled !" whatever the loop or recursion, and the next Prepare of the
// same environment runs normally.
TEST(StatementRunLoops, TimeLimitEndsRunawayScripts) {
    const char* scripts[] = {
        "while (1) ;",
        "INT4 i;\nfor (i = 0; 1; i = i + 1) ;",
        "INT4 x = 0;\nwhile (1) { while (x < 5) x = x + 1; x = 0; }",
        "INT4 x = 0;\nwhile (1) { if (x) x = 0; else { x = 1; } }",
        "INT4 x = 0;\nVOID spin() { while (1) x = x + 1; }\nspin();",
        "INT4 x = 0;\nINT4 spin() { while (1) { x = x + 1; } return 0; }\nINT4 y = spin();",
        // Recursion is bounded in depth, but two calls at each of 40 levels
        // never end either.
        "INT4 x = 0;\nVOID fan(INT4 n) { if (n < 40) { fan(n + 1); fan(n + 1); } x = x + 1; }\n"
        "fan(0);",
    };
    ExecuteEnv env;
    env.SetTimeLimit(50);
    for (const char* text : scripts) {
        Program program;
        ASSERT_EQ("OK", Compile(text, program)) << text;
        uint32_t begin = vpath::TickCount();
        EXPECT_FALSE(env.Prepare(&program)) << text;
        EXPECT_LT(vpath::TickCount() - begin, 5000u) << text;
        EXPECT_STREQ("canceled !", env.GetLastError().GetBuffer(0)) << text;
        EXPECT_EQ(0, env.StackSize()) << text;

        Program normal;
        ASSERT_EQ("OK", Compile("INT4 x = 0; INT4 i;\nfor (i = 0; i < 100; i = i + 1) x = x + 2;",
                                normal));
        ASSERT_TRUE(env.Prepare(&normal)) << env.GetLastError().GetBuffer(0);
        long x = 0;
        EXPECT_TRUE(env.GetRoot()->get("x", x, nullptr));
        EXPECT_EQ(200, x);
        env.reset(true, true);
    }
}

}  // namespace
