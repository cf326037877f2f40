// Fuzz target: the bytes as a message file read by MessageList::LoadFile,
// every message read back, the list saved and read again; then slices of the
// bytes added as messages to a second list.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "app/message_list.h"
#include "fuzz/fuzz_support.h"

namespace {

// Reads every byte of every message; checks that each lies within the used
// part of the buffer.
uint32_t ReadBack(const MessageList& list) {
    uint32_t sum = 0;
    const uint8_t* begin = list.GetBuffer();
    const uint8_t* end = begin + list.GetUsed();
    for (int row = 0; row < list.GetCount(); ++row) {
        MessageView m;
        if (!list.GetMessage(row, m)) fuzzsupport::Violated("a listed row cannot be read");
        if (m.length < 0 || m.bytes < begin || m.bytes + m.length > end) {
            fuzzsupport::Violated("a message lies outside the used buffer");
        }
        for (int i = 0; i < 8; ++i) sum += static_cast<uint8_t>(m.time[i]);
        for (int32_t i = 0; i < m.length; ++i) sum += m.bytes[i];
        sum += m.kind;
    }
    MessageView none;
    if (list.GetMessage(list.GetCount(), none) || list.GetMessage(-1, none)) {
        fuzzsupport::Violated("a row out of range was read");
    }
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MessageList loaded;
    static MessageList added;
    static bool ready = [] {
        fuzzsupport::QuietTrace();
        fuzzsupport::EnterWorkDir("msgfile");
        return loaded.Create(1) && added.Create(1);
    }();
    if (!ready) abort();

    fuzzsupport::WriteBytes("msg.dat", data, size);
    OTSTR error;
    if (loaded.LoadFile("msg.dat", error)) {
        volatile uint32_t sum = ReadBack(loaded);
        (void)sum;
        int count = loaded.GetCount();
        if (count > 0) {
            loaded.SetResult(0, "title", "caption", nullptr, true);
            if (!loaded.IsOk(0) || loaded.GetResult(0)[2] != "") {
                fuzzsupport::Violated("a row's result was not kept");
            }
            int32_t used = loaded.GetUsed();
            if (!loaded.SaveFile("copy.dat", error) || !loaded.LoadFile("copy.dat", error) ||
                loaded.GetCount() != count || loaded.GetUsed() != used ||
                memcmp(loaded.GetBuffer(), data, static_cast<size_t>(used)) != 0) {
                fuzzsupport::Violated("a saved list does not read back the same");
            }
        }
    } else if (error.IsEmpty()) {
        fuzzsupport::Violated("a file that does not load leaves no message");
    } else if (error.Compare(msglistmsg::kFormatError) && loaded.GetCount() != 0) {
        fuzzsupport::Violated("a malformed file leaves rows");
    }

    // Slices: a kind byte, a length byte, then up to that many bytes.
    added.Clear();
    size_t pos = 0;
    while (pos + 2 <= size) {
        uint8_t kind = data[pos];
        size_t n = data[pos + 1];
        pos += 2;
        if (n > size - pos) n = size - pos;
        int row = added.AddMessage(kind, data + pos, static_cast<int32_t>(n));
        if (row != added.GetCount() - 1) fuzzsupport::Violated("an added message is not last");
        MessageView m;
        if (!added.GetMessage(row, m) || m.kind != kind || m.length != static_cast<int32_t>(n) ||
            (n > 0 && memcmp(m.bytes, data + pos, n) != 0)) {
            fuzzsupport::Violated("an added message does not read back the same");
        }
        pos += n;
    }
    if (size <= MessageList::kMaxMessageLength &&
        added.AddMessage(0, data, static_cast<int32_t>(size)) < 0) {
        fuzzsupport::Violated("a whole input was refused");
    }
    volatile uint32_t sum = ReadBack(added);
    (void)sum;
    return 0;
}
