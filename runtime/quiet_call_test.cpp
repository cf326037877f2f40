// Tests of the kept results of quiet procedures: a call with the argument
// values of a recent call takes its result, any other call runs. The
// procedure here counts its runs, which a quiet procedure could not: the
// resolver vouches for it, so that the runs can be seen.
#include "runtime/quiet_call.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "runtime/test_program.h"

namespace {

using namespace testprog;

std::unique_ptr<CallResults> keptSq;
std::unique_ptr<CallResults> keptDown;

int Hook(void*, int, void**) {
    return 0;
}

CallResults* Resolve(void*, const Procedure& procedure) {
    if (procedure.name.Compare("down", false)) return keptDown.get();
    return procedure.name.Compare("sq", false) ? keptSq.get() : nullptr;
}

class QuietCallTest : public ::testing::Test {
  protected:
    QuietCallTest() {
        RegisterQuietCalls(Hook, Resolve);
        keptSq.reset(new CallResults);
        keptDown.reset(new CallResults);
        file.SetName("main.txt");
        AddVariable(file, "runs", kDeclInt4, 1, "0");
        AddVariable(file, "unset", kDeclInt4);
        Procedure* sq = AddProcedure(file, "sq", kDeclInt4, {{"n", kDeclInt4, false}});
        AddStatement(*sq->body, "runs = runs + 1");
        AddReturn(sq, "n * n");
        // Calls itself while its frame is in use.
        Procedure* down = AddProcedure(file, "down", kDeclInt4, {{"n", kDeclInt4, false}});
        AddReturn(down, "n > 0 ? down(n - 1) + n : 0");
        EXPECT_TRUE(env.Prepare(&file));
        env.push(env.GetRoot());
        env.InstallHooks(nullptr, true, Hook, 0);
        env.GetRoot()->BindEvaluator(evaluator);
    }

    // The value of text, or "-" when it fails; then the runs so far.
    std::string Eval(const char* text) {
        CVarient value;
        std::string got =
            evaluator.CalcValue(text, value, false) ? std::to_string(value.getLong()) : "-";
        CVarient runs;
        evaluator.CalcValue("runs", runs, false);
        return got + " runs " + std::to_string(runs.getLong());
    }

    Program file;
    ExecuteEnv env;
    ExprEvaluator evaluator;
};

TEST_F(QuietCallTest, RecentArgumentsTakeTheKeptResult) {
    // Each line goes on from the runs of the lines before it; the results of
    // the latest kKept calls are kept, the oldest giving way. The fill
    // calls sq with kKept - 1 values more after sq(3) and sq(-3).
    const int kept = CallResults::kKept;
    std::string fill = "0";
    long sum = 0;
    for (int v = 10; v < 10 + kept - 1; ++v) {
        fill += " + sq(" + std::to_string(v) + ")";
        sum += v * v;
    }
    const std::string last = "sq(" + std::to_string(10 + kept - 2) + ")";
    auto runs = [](int n) { return " runs " + std::to_string(n); };
    const std::string steps[][2] = {
        {"sq(3)", "9" + runs(1)},
        {"sq(3) + sq(1 + 2)", "18" + runs(1)},
        {"sq(0 - 3)", "9" + runs(2)},  // another value, the same square
        {fill, std::to_string(sum) + runs(kept + 1)},
        {"sq(3)", "9" + runs(kept + 2)},  // given way to the fill
        {last, std::to_string((10 + kept - 2) * (10 + kept - 2)) + runs(kept + 2)},
        {"sq(0 - 3)", "9" + runs(kept + 3)},  // given way to sq(3) in turn
        {"sq(unset)", "-" + runs(kept + 3)},  // cannot be read: runs as usual and fails
        {"sq(2, 3)", "4" + runs(kept + 4)},   // too many arguments: traced, as usual
        // A call that finds the kept frame in use runs in a frame of its own.
        {"down(4) + down(3)", "16" + runs(kept + 4)},
    };
    for (const auto& step : steps) EXPECT_EQ(step[1], Eval(step[0].c_str())) << step[0];
    // The return value is the last call's, kept or run.
    EXPECT_EQ("64 runs " + std::to_string(kept + 5), Eval("sq(8)"));
    EXPECT_EQ(64, env.returnValue.getLong());
    EXPECT_EQ("49 runs " + std::to_string(kept + 6), Eval("sq(8) + sq(7) - sq(8)"));
    EXPECT_EQ(64, env.returnValue.getLong());
}

TEST_F(QuietCallTest, TracedOrCancelledRunsCallEveryTime) {
    EXPECT_EQ("49 runs 1", Eval("sq(7)"));
    struct Monitor : StepMonitor {
        int step(int, int) override { return 0; }
    } monitor;
    env.monitor = &monitor;
    EXPECT_EQ("49 runs 2", Eval("sq(7)"));
    env.monitor = nullptr;
    env.canceled = true;
    EXPECT_EQ("-", Eval("sq(7)").substr(0, 1));
    env.canceled = false;
    EXPECT_EQ("49 runs 2", Eval("sq(7)"));
}

TEST(CallResults, KeysAreValuesWithTheirTypes) {
    CallResults results;
    CVarient a, b;
    a.setInteger(1, kTypeInt4);
    b.setInteger(2, kTypeInt4);
    const uint32_t words[] = {5, 6};
    const int32_t types[] = {kTypeInt4, kTypeUInt1};
    const int32_t other[] = {kTypeInt4, kTypeUInt2};
    results.Keep(words, types, 2, a);
    results.Keep(words, types, 1, b);
    ASSERT_NE(nullptr, results.Find(words, types, 2));
    EXPECT_EQ(1, results.Find(words, types, 2)->getLong());
    EXPECT_EQ(2, results.Find(words, types, 1)->getLong());
    EXPECT_EQ(nullptr, results.Find(words, other, 2));
    EXPECT_EQ(nullptr, results.Find(words, types, 0));
}

// A pinned result stays where it lies while newer ones take the places of
// the others; with every entry pinned nothing more is kept.
TEST(CallResults, PinnedResultsStay) {
    CallResults results;
    const int32_t type = kTypeInt4;
    CVarient value;
    auto keep = [&](uint32_t word) {
        value.setInteger(word * 10, kTypeInt4);
        results.Keep(&word, &type, 1, value);
    };
    const uint32_t first = 0;
    keep(first);
    int entry = results.Search(&first, &type, 1);
    ASSERT_GE(entry, 0);
    results.Pin(entry);
    const CVarient* pinned = &results.ResultAt(entry);
    for (uint32_t word = 1; word <= 3 * CallResults::kKept; ++word) keep(word);
    EXPECT_EQ(pinned, results.Find(&first, &type, 1));
    EXPECT_EQ(0, pinned->getLong());
    const uint32_t last = 3 * CallResults::kKept;
    EXPECT_EQ(static_cast<long>(last * 10), results.Find(&last, &type, 1)->getLong());

    for (int e = 0; e < CallResults::kKept; ++e) {
        if (e != entry) results.Pin(e);
    }
    const uint32_t more = 1000;
    keep(more);
    EXPECT_EQ(nullptr, results.Find(&more, &type, 1));
    results.Unpin(entry);
    keep(more);
    EXPECT_EQ(10000, results.Find(&more, &type, 1)->getLong());
    EXPECT_EQ(nullptr, results.Find(&first, &type, 1));
}

// A run for values that no entry has writes its result where it is kept;
// a failed run keeps nothing, and while every entry is pinned the result
// goes to the caller's value, unkept.
TEST(CallResults, RunsWriteWhereTheyAreKept) {
    struct Runner : QuietRunner {
        int outcome = 1;
        int Run(ExecuteEnv&, const uint32_t* words, int, CVarient& result) override {
            if (outcome > 0) result.setInteger(words[0] * 10, kTypeInt4);
            return outcome;
        }
    };
    CallResults results;
    auto* runner = new Runner;
    results.SetRunner(std::unique_ptr<QuietRunner>(runner));
    ExecuteEnv env;
    const int32_t type = kTypeInt4;
    CVarient out;
    int entry = -1;
    const uint32_t seven = 7;
    ASSERT_EQ(1, results.RunAndKeep(env, nullptr, &seven, &type, 1, out, entry));
    ASSERT_GE(entry, 0);
    EXPECT_EQ(&results.ResultAt(entry), results.Find(&seven, &type, 1));
    EXPECT_EQ(70, results.ResultAt(entry).getLong());
    EXPECT_FALSE(out.HasValue());

    runner->outcome = 0;
    const uint32_t eight = 8;
    EXPECT_EQ(0, results.RunAndKeep(env, nullptr, &eight, &type, 1, out, entry));
    EXPECT_EQ(-1, entry);
    EXPECT_EQ(nullptr, results.Find(&eight, &type, 1));

    runner->outcome = 1;
    for (int e = 0; e < CallResults::kKept; ++e) results.Pin(e);
    const uint32_t nine = 9;
    EXPECT_EQ(1, results.RunAndKeep(env, nullptr, &nine, &type, 1, out, entry));
    EXPECT_EQ(-1, entry);
    EXPECT_EQ(90, out.getLong());
    EXPECT_EQ(nullptr, results.Find(&nine, &type, 1));
    EXPECT_EQ(70, results.Find(&seven, &type, 1)->getLong());
}

}  // namespace
