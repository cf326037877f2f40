// Test helper: the files under samples/ and the values of a decoded tree.
// Used by the decoder's sample protocol, sweep and time limit tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/path.h"
#include "decoder/protocol_decoder.h"

inline std::string SamplePath(const std::string& name) {
    return std::string(VANTOR_SOURCE_DIR) + "/samples/" + name;
}

struct MessageRecord {
    uint8_t kind;
    std::vector<uint8_t> bytes;
};

// The records of a message file: "KZ", then records of the time "hh:mm:ss",
// a reserved 0, the kind, a length high byte first and the bytes. False when
// the file breaks that format anywhere.
inline bool ReadMessageFile(const std::string& path, std::vector<MessageRecord>& records) {
    OTSTR data;
    if (!vpath::ReadFile(path.c_str(), false, data)) return false;
    const auto* p = reinterpret_cast<const uint8_t*>(data.GetBuffer(0));
    const int32_t size = data.GetLength();
    if (size < 2 || p[0] != 'K' || p[1] != 'Z') return false;
    for (int32_t pos = 2; pos < size;) {
        if (size - pos < 12) return false;
        const uint8_t* r = p + pos;
        const int32_t n = r[10] << 8 | r[11];
        if (r[2] != ':' || r[5] != ':' || r[8] != 0 || n > size - pos - 12) return false;
        records.push_back({r[9], std::vector<uint8_t>(r + 12, r + 12 + n)});
        pos += 12 + n;
    }
    return true;
}

// The value text of the element at path, "(none)" when the path does not
// resolve; an octet string gives its bytes.
inline std::string ItemValue(ProtocolDecoder& decoder, const char* path) {
    int32_t idx = -1;
    CVariableItem* item = decoder.GetRoot().GetItem(0, path, &idx);
    if (item == nullptr) return "(none)";
    OTSTR text;
    if (item->GetType() == kTypeOctet) {
        item->getAt(idx < 0 ? 0 : idx, text);
    } else {
        item->getTextAt(idx < 0 ? 0 : idx, text);
    }
    return std::string(text.GetBuffer(0), text.GetLength());
}
