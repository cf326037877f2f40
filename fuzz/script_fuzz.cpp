// Fuzz target: the bytes as a protocol script compiled by
// ProtocolDecoder::LoadScript, with its listing written. The bytes before the
// first zero byte are "main.txt", the rest "inc.txt", so that a script can
// include a second fuzzed file. Both live in the process's work directory.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/path.h"
#include "decoder/protocol_decoder.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        fuzzsupport::QuietTrace();
        fuzzsupport::EnterWorkDir("script");
        vpath::MakeDirectory("Dump");  // for "Dump\Program.txt"
        return true;
    }();
    (void)ready;

    const uint8_t* zero = static_cast<const uint8_t*>(memchr(data, 0, size));
    size_t mainSize = zero != nullptr ? static_cast<size_t>(zero - data) : size;
    fuzzsupport::WriteBytes("main.txt", data, mainSize);
    if (zero != nullptr) {
        fuzzsupport::WriteBytes("inc.txt", zero + 1, size - mainSize - 1);
    } else {
        remove("inc.txt");
    }

    ProtocolDecoder decoder;
    if (decoder.LoadScript("main.txt", true)) {
        // A loaded script is ready to translate: the null message only
        // checks the engine.
        int32_t length = 0;
        decoder.Translate(false, nullptr, length);
    } else if (decoder.GetLastError().IsEmpty()) {
        fuzzsupport::Violated("a script that does not load leaves no message");
    }
    return 0;
}
