// gen-messages SEED N OUT.dat: writes the first N packets of the seeded
// workload of bench/packet_generator.h as a message file, for runs of
// vantor-cli from the shell (scripts/golden-diff). The same SEED and N give
// the same file on every platform and in every build.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "bench/packet_generator.h"

namespace {

constexpr unsigned long kMaxMessages = 5000000;  // about 600 MB of messages

const char kUsage[] =
    "Usage: gen-messages SEED N OUT.dat\n"
    "\n"
    "Writes N generated IPv4 packets (TCP and UDP mixed, 40 to 200 bytes, the\n"
    "workload of the translate benchmark) to the message file OUT.dat. SEED is\n"
    "a number from 1 to 4294967295; N at most 5000000.\n";

// A whole decimal argument within [low, high].
bool ParseNumber(const char* text, unsigned long low, unsigned long high, unsigned long& value) {
    if (*text < '0' || *text > '9') return false;
    char* end = nullptr;
    errno = 0;
    value = strtoul(text, &end, 10);
    return errno == 0 && *end == '\0' && value >= low && value <= high;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned long seed = 0, count = 0;
    if (argc != 4 || !ParseNumber(argv[1], 1, UINT32_MAX, seed) ||
        !ParseNumber(argv[2], 0, kMaxMessages, count)) {
        fputs(kUsage, stderr);
        return 2;
    }
    if (!packetgen::WriteMessageFile(argv[3], static_cast<uint32_t>(seed),
                                     static_cast<int>(count))) {
        fprintf(stderr, "gen-messages: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
