// The command line of vantor-cli: a table of options with the commands that
// accept them, GNU-style parsing (options and operands in any order, "--"
// ends the options, "--name=value" or "--name value") and the help texts.
#include "app/cli/cli_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

const char kProgramHelp[] =
    "Usage: vantor-cli [-C DIR] COMMAND [options] [arguments]\n"
    "\n"
    "Translates binary protocol messages with a protocol script, as the translate\n"
    "command of the desktop program does, and keeps the program's files in the\n"
    "working directory: the settings \"Vantor.ini\", the directory \"dump\", the\n"
    "trace files Trace0.txt..., \"Dump\\Program.txt\" after every successful load,\n"
    "\"Dump\\Content\" and the report \"Dump\\Tran\". Plug-ins load from the\n"
    "directory PlugIns/ beside the program.\n"
    "\n"
    "Commands:\n"
    "  translate [options] SCRIPT [HEX...]  translate messages with the report\n"
    "  check SCRIPT                         compile a script: prints OK or the error\n"
    "  listing SCRIPT                       compile a script and print its listing\n"
    "  listen [options] SCRIPT              translate messages received over UDP\n"
    "  rules                                write the script lexer's rule listing\n"
    "  pack FILE [HEX...]                   write a message file\n"
    "  help [COMMAND]                       show this help or a command's help\n"
    "\n"
    "Options of every command:\n"
    "  -C DIR         work in DIR instead of the current directory; file arguments\n"
    "                 are relative to DIR (also accepted before the command)\n"
    "  --quiet        nothing on standard output\n"
    "  --no-warnings  no warnings about the script on standard error (translate,\n"
    "                 check, listing, listen)\n"
    "  -h, --help     show the help (of the command, after it)\n"
    "  --version      show the version\n"
    "\n"
    "Exit status:\n"
    "  0  success\n"
    "  1  the script did not load, or a message failed: a failed translation, an\n"
    "     illegal (empty) input, a \"Hex stream error\" or a failed instance dump\n"
    "  2  usage error, or a file that cannot be read or written: a missing input\n"
    "     file, a rejected message file (\"illegal file ...\"), a UDP port that\n"
    "     cannot be bound, standard output, or any file the program writes (the\n"
    "     report, the listing, \"Dump\\Content\", the settings, the trace, a\n"
    "     message file), each named on standard error as\n"
    "     \"File: NAME  Write failed (REASON)\"; a file that is replaced keeps its\n"
    "     old contents then\n"
    "  Where both happen, 2 wins.\n";

const char kTranslateHelp[] =
    "Usage: vantor-cli translate [options] SCRIPT [HEX...]\n"
    "\n"
    "Translates messages with the protocol script SCRIPT, as the translate command\n"
    "of the desktop program does, with the report (appended to \"Dump\\Tran\").\n"
    "\n"
    "Message sources, in this order (messages are numbered from 0 in this order):\n"
    "  HEX...               each argument is one message in the input box's syntax:\n"
    "                       two hex digits per byte, blanks only between bytes, at\n"
    "                       most 2047 bytes; an empty argument is an illegal input\n"
    "  --dat FILE           every message of a message file (repeatable); the\n"
    "                       message list's buffer grows to hold the file, up to\n"
    "                       1024 MB (larger: \"illegal file (overflow)\")\n"
    "  --hex-file FILE      one message per line of FILE, \"-\" for standard input\n"
    "                       (repeatable)\n"
    "  --pcap FILE          every selected packet of a capture file (pcap or\n"
    "                       pcapng, repeatable), read as it goes; the JSON lines\n"
    "                       add the packet's number and capture time\n"
    "  with none of these, one message per line of standard input.\n"
    "  In lines, text from '#' on is a comment; lines with nothing else are\n"
    "  skipped; a message text of more than 65536 characters is refused with\n"
    "  \"Hex stream error\" as soon as it is that long. Each message text is\n"
    "  saved to \"Dump\\Content\" before use.\n"
    "\n"
    "Options:\n"
    "  --comment-mode N     0 \" Comment(if present)\", 1 \" Value Only\",\n"
    "                       2 \" Value & Comment\" (default 0)\n"
    "  --expand-typeof      expand items that carry TypeOF (\"ExpendTypeOF\")\n"
    "  --tree-mode          the instance dump of tree mode (default: plain mode)\n"
    "  --overwrite          \"Output log overwrite On\": \"Dump\\Tran\" holds only the\n"
    "                       last report, between its LOG BEGIN and LOG END stamps\n"
    "  --format report|json standard output gets, per message, the report text\n"
    "                       added to \"Dump\\Tran\" (report, the default), or one\n"
    "                       JSON object per line (json)\n"
    "  --no-report          translate without the report: \"Dump\\Tran\" is not\n"
    "                       written and translation errors are not shown on\n"
    "                       standard error; with --format report each message\n"
    "                       gives one line instead: INDEX<tab>Len=N<tab>STATUS,\n"
    "                       STATUS being OK, \"Wrn: leave N bytes not translated\"\n"
    "                       or \"Err: \" and the error\n"
    "  --layer L            what of a captured packet is the message: frame (the\n"
    "                       whole link-layer frame), ip (from the IPv4 or IPv6\n"
    "                       header), transport (from the UDP or TCP header) or\n"
    "                       payload (the UDP or TCP payload, the default); links:\n"
    "                       Ethernet with VLAN tags, Linux cooked v1 and v2, raw\n"
    "                       IP, loopback. TCP payloads are taken per segment, with\n"
    "                       no stream reassembly\n"
    "  --udp-port N         only UDP packets from or to port N\n"
    "  --tcp-port N         only TCP packets from or to port N (with --udp-port:\n"
    "                       either)\n"
    "  --filter EXPR        only packets passing the capture filter EXPR\n"
    "                       (\"udp and host 10.0.0.1\"); packets not taken are\n"
    "                       counted on standard error, as are messages above\n"
    "                       65535 bytes\n"
    "  --timeout-ms N       the time the script may run for one message, in\n"
    "                       milliseconds (default 10000, 0 for no limit); a\n"
    "                       message that takes longer fails with \"canceled !\"\n"
    "  --quiet              nothing on standard output\n"
    "  --no-warnings        no warnings about the script on standard error\n"
    "  -C DIR               work in DIR\n"
    "\n"
    "Standard error gets the warnings about the script (see check), the texts the desktop program "
    "shows in message boxes\n"
    "(compile errors, \"Hex stream error\" followed by a line saying where and why,\n"
    "message file rejections, translation errors), prefixed with \"message N: \"\n"
    "when they belong to a message, and at\n"
    "the end the totals line. On a terminal a long batch shows a progress line.\n"
    "A script that does not load stops the command before any message (exit 1).\n";

const char kCheckHelp[] =
    "Usage: vantor-cli check SCRIPT\n"
    "\n"
    "Compiles SCRIPT with the final checks and prints \"OK\", or the compile error\n"
    "text and exits 1. Both go to standard output.\n"
    "\n"
    "Standard error gets a warning, \"FILE : Ln N  warning: TEXT\" (lines counted\n"
    "from 0), for each construct that compiles but seldom decodes what was meant:\n"
    "a NETWORK_TRANMODE other than H_TO_L or defined after the first struct, a\n"
    "member or procedure parameter named like a define (letter case does not\n"
    "count, so the name means the define), TypeOF in a member's attribute block\n"
    "(no effect on decoding), a PROTOCOL_ROOT that names no struct; a script\n"
    "without a root struct also gets the decoder's \"Access struct(defined by\n"
    "'PROTOCOL_ROOT') not seted\". Warnings do not change the exit status;\n"
    "translate, listing and listen give them too.\n"
    "\n"
    "Options: -C DIR, --quiet (only the exit status), --no-warnings.\n";

const char kListingHelp[] =
    "Usage: vantor-cli listing SCRIPT\n"
    "\n"
    "Compiles SCRIPT, writes the program listing \"Dump\\Program.txt\" and prints\n"
    "it. A compile error goes to standard error (exit 1), and so do the warnings\n"
    "about the script (see check).\n"
    "\n"
    "Options: -C DIR, --quiet (only write the file), --no-warnings.\n";

const char kListenHelp[] =
    "Usage: vantor-cli listen [options] SCRIPT\n"
    "\n"
    "Receives external messages (UDP datagrams: 0x05, an unused byte, the kind,\n"
    "then the message) with acceptance and automatic translation on: each one is\n"
    "added to the message list and translated with the report, which goes to\n"
    "standard output as for translate. Once the script is loaded and the port\n"
    "bound, standard error gets \"listening on UDP port N\". Stops after --count\n"
    "messages, after --seconds, or on SIGINT / SIGTERM; then prints the totals\n"
    "line on standard error. The message list (\"MsgListBufSizeMb\", 1 MB by\n"
    "default) clears itself when a message would reach its end; standard error\n"
    "says so. A port that cannot be bound gives \"UdpServer Create fail\" (exit 2).\n"
    "\n"
    "Options:\n"
    "  --port N             UDP port (default 2900)\n"
    "  --count N            stop after N messages\n"
    "  --seconds S          stop after S seconds (fractions allowed)\n"
    "  --save FILE          write every message to the message file FILE as it\n"
    "                       arrives: the first replaces FILE, each is added whole,\n"
    "                       and FILE is a complete message file after each one;\n"
    "                       no message writes nothing\n"
    "  --comment-mode N, --expand-typeof, --tree-mode, --overwrite,\n"
    "  --format report|json, --timeout-ms N, --quiet, --no-warnings, -C DIR\n"
    "                       as for translate\n";

const char kRulesHelp[] =
    "Usage: vantor-cli rules\n"
    "\n"
    "Builds the script lexer's token rules, writes their listing to\n"
    "\"Dump\\LexRule.txt\" and prints it.\n"
    "\n"
    "Options: -C DIR, --quiet (only write the file).\n";

const char kPackHelp[] =
    "Usage: vantor-cli pack FILE [HEX...]\n"
    "       vantor-cli pack FILE --pcap CAPTURE [--layer L] [--udp-port N]\n"
    "                            [--tcp-port N] [--filter EXPR]\n"
    "\n"
    "Writes the message file FILE (replacing it) with one message of kind 0 per\n"
    "HEX argument or, without them, per line of standard input; in lines, text\n"
    "from '#' on is a comment and lines with nothing else are skipped. Each\n"
    "message uses the input box's syntax and holds at least one byte; any bad\n"
    "message writes no file (exit 1). Without messages the file holds only the\n"
    "magic \"KZ\".\n"
    "With --pcap, the selected packets of the capture files are the messages,\n"
    "each record stamped with its capture time (see translate for --layer,\n"
    "--udp-port, --tcp-port and --filter); the totals of the reading go to\n"
    "standard error.\n"
    "\n"
    "Options: -C DIR.\n";

// Commands as bits, for the option table.
enum : uint32_t {
    kBitTranslate = 1u << 0,
    kBitCheck = 1u << 1,
    kBitListing = 1u << 2,
    kBitListen = 1u << 3,
    kBitRules = 1u << 4,
    kBitPack = 1u << 5,
    kBitNone = 1u << 6,  // before the command
    kBitAll = 0x7F,
    kBitTranslating = kBitTranslate | kBitListen,
};

enum class OptionId {
    kDirectory,
    kHelp,
    kVersion,
    kQuiet,
    kCommentMode,
    kExpandTypeOf,
    kTreeMode,
    kOverwrite,
    kFormat,
    kNoReport,
    kDat,
    kHexFile,
    kPort,
    kCount,
    kSeconds,
    kSave,
    kTimeout,
    kPcap,
    kLayer,
    kUdpPort,
    kTcpPort,
    kFilter,
    kNoWarnings,
};

struct OptionSpec {
    const char* longName;  // without "--", null for none
    char shortName;        // 0 for none
    bool takesValue;
    uint32_t commands;
    OptionId id;
};

const OptionSpec kOptions[] = {
    {nullptr, 'C', true, kBitAll, OptionId::kDirectory},
    {"help", 'h', false, kBitAll, OptionId::kHelp},
    {"version", 0, false, kBitAll, OptionId::kVersion},
    {"quiet", 0, false, kBitAll & ~(kBitNone | kBitPack), OptionId::kQuiet},
    {"comment-mode", 0, true, kBitTranslating, OptionId::kCommentMode},
    {"expand-typeof", 0, false, kBitTranslating, OptionId::kExpandTypeOf},
    {"tree-mode", 0, false, kBitTranslating, OptionId::kTreeMode},
    {"overwrite", 0, false, kBitTranslating, OptionId::kOverwrite},
    {"format", 0, true, kBitTranslating, OptionId::kFormat},
    {"no-report", 0, false, kBitTranslate, OptionId::kNoReport},
    {"dat", 0, true, kBitTranslate, OptionId::kDat},
    {"hex-file", 0, true, kBitTranslate, OptionId::kHexFile},
    {"port", 0, true, kBitListen, OptionId::kPort},
    {"count", 0, true, kBitListen, OptionId::kCount},
    {"seconds", 0, true, kBitListen, OptionId::kSeconds},
    {"save", 0, true, kBitListen, OptionId::kSave},
    {"timeout-ms", 0, true, kBitTranslating, OptionId::kTimeout},
    {"pcap", 0, true, kBitTranslate | kBitPack, OptionId::kPcap},
    {"layer", 0, true, kBitTranslate | kBitPack, OptionId::kLayer},
    {"udp-port", 0, true, kBitTranslate | kBitPack, OptionId::kUdpPort},
    {"tcp-port", 0, true, kBitTranslate | kBitPack, OptionId::kTcpPort},
    {"filter", 0, true, kBitTranslate | kBitPack, OptionId::kFilter},
    {"no-warnings", 0, false, kBitTranslating | kBitCheck | kBitListing, OptionId::kNoWarnings},
};

struct CommandSpec {
    const char* name;
    CliCommand command;
    uint32_t bit;
    int minOperands;
    int maxOperands;  // -1: no limit
};

const CommandSpec kCommands[] = {
    {"translate", CliCommand::kTranslate, kBitTranslate, 1, -1},
    {"check", CliCommand::kCheck, kBitCheck, 1, 1},
    {"listing", CliCommand::kListing, kBitListing, 1, 1},
    {"listen", CliCommand::kListen, kBitListen, 1, 1},
    {"rules", CliCommand::kRules, kBitRules, 0, 0},
    {"pack", CliCommand::kPack, kBitPack, 1, -1},
};

const CommandSpec* FindCommand(const char* name) {
    for (const CommandSpec& spec : kCommands) {
        if (strcmp(spec.name, name) == 0) return &spec;
    }
    return nullptr;
}

const OptionSpec* FindLong(const char* name, size_t length) {
    for (const OptionSpec& spec : kOptions) {
        if (spec.longName != nullptr && strlen(spec.longName) == length &&
            strncmp(spec.longName, name, length) == 0) {
            return &spec;
        }
    }
    return nullptr;
}

const OptionSpec* FindShort(char name) {
    for (const OptionSpec& spec : kOptions) {
        if (spec.shortName == name) return &spec;
    }
    return nullptr;
}

// A decimal integer in min..max, nothing else.
bool ParseInt(const std::string& text, long min, long max, long& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long value = strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < min || value > max) return false;
    out = value;
    return true;
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

// Applies one option with its value; false with error.
bool Apply(const OptionSpec& spec, const std::string& shown, const std::string& value,
           CliOptions& o, std::string& error) {
    long number = 0;
    switch (spec.id) {
        case OptionId::kDirectory:
            if (value.empty()) {
                error = "option -C needs a directory";
                return false;
            }
            o.directory = value;
            return true;
        case OptionId::kHelp:
            o.help = true;
            return true;
        case OptionId::kVersion:
            o.version = true;
            return true;
        case OptionId::kQuiet:
            o.quiet = true;
            return true;
        case OptionId::kNoWarnings:
            o.warnings = false;
            return true;
        case OptionId::kCommentMode:
            if (!ParseInt(value, 0, 2, number)) {
                error = "option " + shown + " takes 0, 1 or 2, not " + Quoted(value);
                return false;
            }
            o.commentMode = static_cast<int32_t>(number);
            return true;
        case OptionId::kExpandTypeOf:
            o.expandTypeOf = true;
            return true;
        case OptionId::kTreeMode:
            o.treeMode = true;
            return true;
        case OptionId::kOverwrite:
            o.overwrite = true;
            return true;
        case OptionId::kFormat:
            if (value == "report") {
                o.format = CliFormat::kReport;
            } else if (value == "json") {
                o.format = CliFormat::kJson;
            } else {
                error = "option " + shown + " takes report or json, not " + Quoted(value);
                return false;
            }
            return true;
        case OptionId::kNoReport:
            o.report = false;
            return true;
        case OptionId::kDat:
        case OptionId::kHexFile:
            if (value.empty()) {
                error = "option " + shown + " needs a file name";
                return false;
            }
            (spec.id == OptionId::kDat ? o.datFiles : o.hexFiles).push_back(value);
            return true;
        case OptionId::kPcap:
            if (value.empty()) {
                error = "option " + shown + " needs a file name";
                return false;
            }
            o.pcapFiles.push_back(value);
            return true;
        case OptionId::kLayer:
            if (!ParseCaptureLayer(value.c_str(), o.capture.layer)) {
                error = "option " + shown + " takes " + capturemsg::kLayerNames + ", not " +
                        Quoted(value);
                return false;
            }
            return true;
        case OptionId::kUdpPort:
        case OptionId::kTcpPort:
            if (!ParseInt(value, 0, 65535, number)) {
                error = "option " + shown + " takes a port 0..65535, not " + Quoted(value);
                return false;
            }
            (spec.id == OptionId::kUdpPort ? o.capture.udpPort : o.capture.tcpPort) =
                static_cast<int>(number);
            return true;
        case OptionId::kFilter:
            o.capture.filter = value;
            return true;
        case OptionId::kPort:
            if (!ParseInt(value, 1, 65535, number)) {
                error = "option " + shown + " takes a port 1..65535, not " + Quoted(value);
                return false;
            }
            o.port = static_cast<uint16_t>(number);
            return true;
        case OptionId::kCount:
            if (!ParseInt(value, 1, 0x7FFFFFFF, number)) {
                error = "option " + shown + " takes a positive count, not " + Quoted(value);
                return false;
            }
            o.count = static_cast<int32_t>(number);
            return true;
        case OptionId::kSeconds: {
            errno = 0;
            char* end = nullptr;
            double seconds = strtod(value.c_str(), &end);
            // Up to about 24 days, so that the milliseconds fit the tick count.
            if (value.empty() || errno != 0 || *end != '\0' || !std::isfinite(seconds) ||
                seconds <= 0 || seconds > 2000000.0) {
                error =
                    "option " + shown + " takes a positive number of seconds, not " + Quoted(value);
                return false;
            }
            uint32_t ms = static_cast<uint32_t>(std::ceil(seconds * 1000.0));
            o.milliseconds = ms > 0 ? ms : 1;
            return true;
        }
        case OptionId::kSave:
            if (value.empty()) {
                error = "option " + shown + " needs a file name";
                return false;
            }
            o.saveFile = value;
            return true;
        case OptionId::kTimeout:
            if (!ParseInt(value, 0, 0x7FFFFFFF, number)) {
                error = "option " + shown +
                        " takes a number of milliseconds (0 for no limit), not " + Quoted(value);
                return false;
            }
            o.timeoutMs = static_cast<uint32_t>(number);
            return true;
    }
    return false;
}

}  // namespace

const char* CliHelpText(CliCommand command) {
    switch (command) {
        case CliCommand::kTranslate:
            return kTranslateHelp;
        case CliCommand::kCheck:
            return kCheckHelp;
        case CliCommand::kListing:
            return kListingHelp;
        case CliCommand::kListen:
            return kListenHelp;
        case CliCommand::kRules:
            return kRulesHelp;
        case CliCommand::kPack:
            return kPackHelp;
        case CliCommand::kNone:
            break;
    }
    return kProgramHelp;
}

const char* CliCommandName(CliCommand command) {
    for (const CommandSpec& spec : kCommands) {
        if (spec.command == command) return spec.name;
    }
    return "";
}

bool ParseCliOptions(int argc, const char* const* argv, CliOptions& o, std::string& error) {
    const CommandSpec* command = nullptr;
    std::vector<std::string> operands;
    bool optionsEnded = false;
    bool helpCommand = false;  // "help [COMMAND]"

    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        uint32_t bit = command != nullptr ? command->bit : kBitNone;
        bool isOption =
            !optionsEnded && arg[0] == '-' && arg[1] != '\0' && !(arg[1] == '-' && arg[2] == '\0');
        if (!optionsEnded && strcmp(arg, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (!isOption) {
            if (command == nullptr && !helpCommand) {
                if (strcmp(arg, "help") == 0) {
                    helpCommand = true;
                    o.help = true;
                    continue;
                }
                command = FindCommand(arg);
                if (command == nullptr) {
                    error = "unknown command " + Quoted(arg);
                    return false;
                }
                o.command = command->command;
                continue;
            }
            if (helpCommand) {
                // "help COMMAND": the command's help; anything else is ignored.
                if (command == nullptr) {
                    command = FindCommand(arg);
                    if (command == nullptr) {
                        error = "unknown command " + Quoted(arg);
                        return false;
                    }
                    o.command = command->command;
                }
                continue;
            }
            operands.push_back(arg);
            continue;
        }

        const OptionSpec* spec = nullptr;
        std::string shown;
        std::string value;
        bool hasValue = false;
        if (arg[1] == '-') {
            const char* name = arg + 2;
            const char* equals = strchr(name, '=');
            size_t length = equals != nullptr ? static_cast<size_t>(equals - name) : strlen(name);
            spec = FindLong(name, length);
            shown = std::string("--") + std::string(name, length);
            if (equals != nullptr) {
                value = equals + 1;
                hasValue = true;
            }
        } else {
            spec = FindShort(arg[1]);
            shown = std::string("-") + arg[1];
            if (arg[2] != '\0') {
                value = arg + 2;
                hasValue = true;
            }
        }
        if (spec == nullptr) {
            error = "unknown option " + Quoted(arg);
            return false;
        }
        if ((spec->commands & bit) == 0) {
            error = "option " + shown +
                    (command != nullptr ? std::string(" is not an option of ") + command->name
                                        : std::string(" must follow a command"));
            return false;
        }
        if (spec->takesValue && !hasValue) {
            if (i + 1 >= argc) {
                error = "option " + shown + " needs a value";
                return false;
            }
            value = argv[++i];
        } else if (!spec->takesValue && hasValue) {
            error = "option " + shown + " takes no value";
            return false;
        }
        if (!Apply(*spec, shown, value, o, error)) return false;
    }

    if (o.help || o.version) return true;
    if (command == nullptr) {
        error = "no command given";
        return false;
    }
    int count = static_cast<int>(operands.size());
    if (count < command->minOperands) {
        error = std::string(command->name) +
                (command->command == CliCommand::kPack ? " needs a FILE" : " needs a SCRIPT");
        return false;
    }
    if (command->maxOperands >= 0 && count > command->maxOperands) {
        error = "too many arguments for " + std::string(command->name) + ": " +
                Quoted(operands[command->maxOperands]);
        return false;
    }
    if (count > 0) {
        o.target = operands[0];
        o.hex.assign(operands.begin() + 1, operands.end());
    }
    return true;
}
