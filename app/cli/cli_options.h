// The command line of vantor-cli: the commands, their options and the help
// texts. Parsing never touches the file system. Tested through the program by
// app/cli/cli_test.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/capture_reader.h"

enum class CliCommand { kNone, kTranslate, kCheck, kListing, kListen, kRules, kPack };

enum class CliFormat { kReport, kJson };

struct CliOptions {
    CliCommand command = CliCommand::kNone;
    // --help / -h (for command, or the program when kNone) and --version.
    bool help = false;
    bool version = false;

    std::string directory;  // -C DIR, empty for the current directory
    // SCRIPT (translate, check, listing, listen) or FILE (pack).
    std::string target;
    std::vector<std::string> hex;  // HEX arguments (translate, pack)
    std::vector<std::string> datFiles;
    std::vector<std::string> hexFiles;  // "-" is standard input
    std::vector<std::string> pcapFiles;
    CaptureOptions capture;  // what of each captured packet is a message

    int32_t commentMode = 0;
    bool expandTypeOf = false;
    bool treeMode = false;
    bool overwrite = false;
    CliFormat format = CliFormat::kReport;
    bool report = true;
    bool quiet = false;
    bool warnings = true;        // --no-warnings: false
    uint32_t timeoutMs = 10000;  // --timeout-ms; 0: no limit

    uint16_t port = 2900;
    int32_t count = 0;          // 0: no limit
    uint32_t milliseconds = 0;  // --seconds; 0: no limit
    std::string saveFile;
};

// Parses the arguments after the program name. False with a one-line error
// for a usage error; a request for help or the version always succeeds.
bool ParseCliOptions(int argc, const char* const* argv, CliOptions& options, std::string& error);

// The help text of command, or of the program for kNone.
const char* CliHelpText(CliCommand command);
// The word that names command on the command line, "" for kNone.
const char* CliCommandName(CliCommand command);

constexpr const char kCliName[] = "vantor-cli";
constexpr const char kCliVersion[] = "vantor-cli 1.0";
