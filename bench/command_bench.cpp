// The translate command as an engineer runs it: vantor-cli translating a
// generated message file of N mixed packets on the TCP_UDP sample, its
// standard output going to a file. The report (which also goes to
// "Dump\Tran"), JSON lines without the report, and the summary lines
// without it. Each run is a process of its own, the script's load
// included; the time per message is the wall time of the run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/path.h"
#include "bench/packet_generator.h"
#include "bench/work_directory.h"

extern char** environ;

namespace {

// Everything the runs write goes to a directory of their own.
const bench::WorkDirectory kWorkDirectory;

// Runs vantor-cli with arguments, standard output to "out.txt" and standard
// error to /dev/null; its exit status, -1 when it could not run.
int RunCommand(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    std::string program = VANTOR_CLI;
    argv.push_back(&program[0]);
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies) argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "out.txt",
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// How the command writes each message: its report, a JSON line, or a
// summary line.
enum class Output { kReport, kJson, kLines };

void Command(benchmark::State& state, Output output) {
    int n = static_cast<int>(state.range(0));
    std::string file = "command" + std::to_string(n) + ".dat";
    if (!kWorkDirectory.entered ||
        !packetgen::WriteMessageFile(file.c_str(), 20261207u + static_cast<uint32_t>(n), n)) {
        state.SkipWithError("cannot prepare the messages");
        return;
    }
    std::vector<std::string> arguments = {"translate"};
    if (output == Output::kJson) arguments.insert(arguments.end(), {"--format", "json"});
    if (output != Output::kReport) arguments.push_back("--no-report");
    arguments.insert(arguments.end(),
                     {std::string(VANTOR_SOURCE_DIR) + "/samples/TCP_UDP/main.txt", "--dat", file});
    double seconds = 0;
    for (auto _ : state) {
        // The report of the run before goes first, as the command appends.
        vpath::RemoveFile("Dump\\Tran");
        auto begin = std::chrono::steady_clock::now();
        int status = RunCommand(arguments);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        if (status != 0) {
            state.SkipWithError("vantor-cli failed");
            break;
        }
    }
    double messages = static_cast<double>(state.iterations()) * n;
    state.counters["us_per_msg"] = seconds * 1e6 / messages;
    vpath::RemoveFile("Dump\\Tran");
    vpath::RemoveFile("out.txt");
    vpath::RemoveFile(file.c_str());
}

void BM_CommandReport(benchmark::State& state) {
    Command(state, Output::kReport);
}
void BM_CommandJson(benchmark::State& state) {
    Command(state, Output::kJson);
}
void BM_CommandLines(benchmark::State& state) {
    Command(state, Output::kLines);
}
BENCHMARK(BM_CommandReport)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CommandJson)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CommandLines)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
