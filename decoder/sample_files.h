// Test helper: the files under samples/, the values of a decoded tree and a
// fixture that loads script texts. Used by the decoder's tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/path.h"
#include "base/scratch_dir.h"
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

// The declarations of the built-in functions that test scripts call.
inline const std::string kBuiltinExterns =
    "extern INT4 now();\nextern INT4 TotalLength();\n"
    "extern VOID sysFetchValue(STRING strCurIdent, dynamic &FetchValue, INT4 locat, INT4 param,"
    " BYTE bMoveLocatPointer);\n"
    "extern VOID sysTranChoiceItem(dynamic &curItem, STRING strCurIdent, INT4 ElemId);\n"
    "extern VOID sysAbort(STRING strCurIdent, STRING strDescription);\n"
    "extern INT4 strlen(STRING str, INT4 bEndWithZero);\n"
    "extern BYTE sysSetTitle(BYTE TitleN, STRING strTitle);\n"
    "extern STRING sysGetEnumComment(STRING strEnumListName, INT4 value, STRING strMode,"
    " STRING strDefault);\n"
    "extern STRING strFormat(STRING strFormat, ...);\n";

// A decoder that loads script texts from a file of a scratch directory.
class DecoderTest : public ScratchDirTest {
  protected:
    // Loads script after the built-ins' declarations and "#define
    // PROTOCOL_ROOT R" (or, withRoot false, alone): "OK" or the load error.
    std::string Load(const std::string& script, bool withRoot = true) {
        WriteWholeFile("proto.txt",
                       withRoot ? kBuiltinExterns + "#define PROTOCOL_ROOT R\n" + script : script);
        if (decoder.LoadScript("proto.txt", false)) return "OK";
        return decoder.GetLastError().GetBuffer(0);
    }
    // Translates bytes: "OK <consumed>" or the error text.
    std::string Run(const std::vector<uint8_t>& bytes, bool keep = true) {
        int32_t length = static_cast<int32_t>(bytes.size());
        if (decoder.Translate(keep, bytes.data(), length)) return "OK " + std::to_string(length);
        return decoder.GetLastError().GetBuffer(0);
    }
    std::string Value(const char* path) { return ItemValue(decoder, path); }

    ProtocolDecoder decoder;
};
