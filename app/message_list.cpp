// MessageList: the buffer of messages in the message file format, its rows
// and the message file reader and writer. Tested by app/message_list_test.cpp.
#include "app/message_list.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <string>
#include <vector>

#include "base/path.h"

namespace {

constexpr uint8_t kMagic[MessageList::kMagicSize] = {'K', 'Z'};
constexpr int32_t kMaxMegabytes = 1024;

// Offsets within a record.
constexpr int32_t kTimeSize = 8;
constexpr int32_t kKindOffset = 9;
constexpr int32_t kLengthOffset = 10;

int32_t RecordLength(const uint8_t* record) {
    return record[kLengthOffset] << 8 | record[kLengthOffset + 1];
}

// A message box text: format with its "%s" replaced by the path, whatever
// the path's length and bytes.
void FormatWithPath(const char* format, const char* path, OTSTR& out) {
    std::string text(format);
    size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, path != nullptr ? path : "");
    out.Empty();
    out.Assign(text.data(), static_cast<int>(text.size()));
}

}  // namespace

MessageList::MessageList() = default;

MessageList::~MessageList() {
    delete[] buffer;
}

bool MessageList::Create(int32_t megabytes) {
    if (megabytes < 1) megabytes = 1;
    if (megabytes > kMaxMegabytes) megabytes = kMaxMegabytes;
    delete[] buffer;
    buffer = new (std::nothrow) uint8_t[static_cast<size_t>(megabytes) * kMegabyte];
    capacity = buffer != nullptr ? megabytes * kMegabyte : 0;
    changed = false;
    Clear();
    return buffer != nullptr;
}

void MessageList::Clear() {
    rows.clear();
    if (buffer == nullptr) {
        used = 0;
        return;
    }
    memcpy(buffer, kMagic, kMagicSize);
    used = kMagicSize;
}

int MessageList::AddMessage(uint8_t kind, const uint8_t* bytes, int32_t n, const char* stamp) {
    if (buffer == nullptr || n < 0 || n > kMaxMessageLength || (n > 0 && bytes == nullptr)) {
        return -1;
    }
    if (n > capacity - kMagicSize - kRecordHeadSize) return -1;
    // Older messages go all at once when the new one would reach the end.
    if (n + kRecordHeadSize >= capacity - used) Clear();

    char time[32];
    if (stamp != nullptr && strlen(stamp) == kTimeSize && stamp[2] == ':' && stamp[5] == ':') {
        memcpy(time, stamp, kTimeSize);
    } else {
        struct tm now;
        vpath::LocalTime(now);
        snprintf(time, sizeof time, "%02d:%02d:%02d", now.tm_hour % 100, now.tm_min % 100,
                 now.tm_sec % 100);
    }

    uint8_t* record = buffer + used;
    memcpy(record, time, kTimeSize);
    record[8] = 0;
    record[kKindOffset] = kind;
    record[kLengthOffset] = static_cast<uint8_t>(n >> 8);
    record[kLengthOffset + 1] = static_cast<uint8_t>(n);
    if (n > 0) memcpy(record + kRecordHeadSize, bytes, static_cast<size_t>(n));
    if (!savePath.empty() && !saveFailed) SaveRecord(record, kRecordHeadSize + n);

    Row row;
    row.offset = used;
    row.status = 0;
    rows.push_back(row);
    used += kRecordHeadSize + n;
    changed = true;
    return GetCount() - 1;
}

bool MessageList::LoadFile(const char* path, OTSTR& error) {
    error.Empty();
    if (buffer == nullptr) {
        error = msglistmsg::kNoBuffer;
        return false;
    }
    FILE* f = vpath::OpenFile(path, "rb");
    if (f == nullptr) {
        FormatWithPath(msglistmsg::kOpenFailed, path, error);
        return false;
    }
    // Nothing is read of a file that is known to be too large, and only the
    // magic of one that is no message file.
    int64_t modified = 0;
    uint32_t fileSize = 0;
    if (vpath::GetFileInfo(path, modified, fileSize) &&
        fileSize > static_cast<uint32_t>(capacity)) {
        fclose(f);
        error = msglistmsg::kOverflow;
        return false;
    }
    std::vector<uint8_t> data(kMagicSize);
    size_t got = fread(data.data(), 1, kMagicSize, f);
    if (got < static_cast<size_t>(kMagicSize) || memcmp(data.data(), kMagic, kMagicSize) != 0) {
        bool readError = ferror(f) != 0;
        fclose(f);
        if (readError) {
            FormatWithPath(msglistmsg::kOpenFailed, path, error);
            return false;
        }
        Clear();
        error = msglistmsg::kFormatError;
        return false;
    }
    // Read up to one byte beyond the capacity, so that an oversized file of
    // unknown size (a pipe) is recognised without touching the list.
    uint8_t chunk[65536];
    bool overflow = false;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0) {
        if (got > static_cast<size_t>(capacity) - data.size()) {
            overflow = true;
            break;
        }
        data.insert(data.end(), chunk, chunk + got);
    }
    bool readError = !overflow && ferror(f) != 0;
    fclose(f);
    if (overflow) {
        error = msglistmsg::kOverflow;
        return false;
    }
    if (readError) {
        FormatWithPath(msglistmsg::kOpenFailed, path, error);
        return false;
    }

    Clear();
    const int32_t size = static_cast<int32_t>(data.size());
    if (size > 0) memcpy(buffer, data.data(), data.size());
    used = size;

    bool valid = size >= kMagicSize && memcmp(buffer, kMagic, kMagicSize) == 0;
    int32_t pos = kMagicSize;
    while (valid && pos < size) {
        const int32_t remaining = size - pos;
        const uint8_t* record = buffer + pos;
        if (remaining < kRecordHeadSize) {
            valid = false;
            break;
        }
        const int32_t n = RecordLength(record);
        if (n > remaining - kRecordHeadSize || record[2] != ':' || record[5] != ':') {
            valid = false;
            break;
        }
        Row row;
        row.offset = pos;
        row.status = 0;
        rows.push_back(row);
        pos += kRecordHeadSize + n;
    }
    if (!valid) {
        Clear();
        error = msglistmsg::kFormatError;
        return false;
    }
    changed = false;
    return true;
}

void MessageList::SaveAsAdded(const char* path) {
    if (saveFile == nullptr) saveFile.reset(new (std::nothrow) vpath::RecordFile);
    savePath = path != nullptr ? path : "";
    saveFailed = saveFile == nullptr;
    savedCount = 0;
}

void MessageList::SaveRecord(const uint8_t* record, int32_t size) {
    bool ok;
    if (savedCount == 0) {
        // The file starts with the first message: the magic and its record.
        std::string first(reinterpret_cast<const char*>(kMagic), kMagicSize);
        first.append(reinterpret_cast<const char*>(record), static_cast<size_t>(size));
        ok = saveFile->Create(savePath.c_str(), first.data(), first.size());
    } else {
        ok = saveFile->Append(record, static_cast<size_t>(size));
    }
    if (ok) {
        ++savedCount;
    } else {
        saveFailed = true;
    }
}

bool MessageList::StopSaving(OTSTR& error) {
    error.Empty();
    if (saveFile != nullptr) saveFile->Close();
    if (saveFailed) FormatWithPath(msglistmsg::kWriteFailed, savePath.c_str(), error);
    bool ok = !saveFailed;
    savePath.clear();
    saveFailed = false;
    return ok;
}

bool MessageList::SaveFile(const char* path, OTSTR& error) {
    error.Empty();
    changed = false;
    if (buffer == nullptr || used <= kMagicSize) return true;
    // Replaced as a whole: a failed write leaves the old file as it was.
    if (vpath::ReplaceFile(path, buffer, static_cast<size_t>(used))) return true;
    FormatWithPath(msglistmsg::kWriteFailed, path, error);
    return false;
}

bool MessageList::HasMagic(const char* path) {
    FILE* f = vpath::OpenFile(path, "rb");
    if (f == nullptr) return false;
    uint8_t head[kMagicSize];
    bool magic = fread(head, 1, kMagicSize, f) == static_cast<size_t>(kMagicSize) &&
                 memcmp(head, kMagic, kMagicSize) == 0;
    fclose(f);
    return magic;
}

bool MessageList::GetMessage(int row, MessageView& out) const {
    if (row < 0 || row >= GetCount()) return false;
    const uint8_t* record = buffer + rows[static_cast<size_t>(row)].offset;
    out.time = reinterpret_cast<const char*>(record);
    out.kind = record[kKindOffset];
    out.length = RecordLength(record);
    out.bytes = record + kRecordHeadSize;
    return true;
}

void MessageList::GetTitle(OTSTR& out) const {
    if (rows.empty()) {
        out = msglistmsg::kTitle;
        return;
    }
    char text[64];
    snprintf(text, sizeof text, msglistmsg::kTitleItems, GetCount());
    out = text;
}

bool MessageList::SetResult(int row, const char* title, const char* caption0, const char* caption1,
                            bool ok) {
    if (row < 0 || row >= GetCount()) return false;
    Row& r = rows[static_cast<size_t>(row)];
    r.results[0] = title != nullptr ? title : "";
    r.results[1] = caption0 != nullptr ? caption0 : "";
    r.results[2] = caption1 != nullptr ? caption1 : "";
    r.status = ok ? 1 : -1;
    return true;
}

const std::string* MessageList::GetResult(int row) const {
    if (row < 0 || row >= GetCount()) return nullptr;
    return rows[static_cast<size_t>(row)].results;
}

bool MessageList::IsTranslated(int row) const {
    return row >= 0 && row < GetCount() && rows[static_cast<size_t>(row)].status != 0;
}

bool MessageList::IsOk(int row) const {
    return row >= 0 && row < GetCount() && rows[static_cast<size_t>(row)].status > 0;
}
