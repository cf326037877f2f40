// MessageList: the messages collected for translation, kept back to back in
// one buffer whose image is the message file format ("KZ", then records of
// an "hh:mm:ss" arrival time, a reserved byte, the kind, a high-byte-first
// length and the bytes). Tested by app/message_list_test.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/otstr.h"

namespace msglistmsg {
constexpr const char kOpenFailed[] = "File: %s  Open failed";
constexpr const char kOverflow[] = "illegal file (overflow)";
constexpr const char kFormatError[] = "illegal file (data format error)";
constexpr const char kNoBuffer[] = "Load fail, internal buffer not valid";
constexpr const char kStopAccepting[] =
    "Loading isn't allowed when in AcceptExternalMsg status, stop it first ?";
constexpr const char kSaveChanged[] = "Message list changed, save before loat new data ?";
constexpr const char kWriteFailed[] = "File: %s  Write failed";
constexpr const char kTitle[] = "MessageList";
constexpr const char kTitleItems[] = "MessageList  %d items";
}  // namespace msglistmsg

namespace vpath {
class RecordFile;
}

// One stored message, pointing into the list's buffer (valid until the list
// changes).
struct MessageView {
    const char* time = nullptr;  // 8 characters, no terminator
    uint8_t kind = 0;
    int32_t length = 0;
    const uint8_t* bytes = nullptr;
};

class MessageList {
  public:
    static constexpr int32_t kMagicSize = 2;
    static constexpr int32_t kRecordHeadSize = 12;
    static constexpr int32_t kMaxMessageLength = 0xFFFF;
    static constexpr int32_t kMegabyte = 1024 * 1024;

    MessageList();
    ~MessageList();
    MessageList(const MessageList&) = delete;
    MessageList& operator=(const MessageList&) = delete;

    // Allocates a buffer of megabytes (at least 1) holding the magic alone;
    // false, with no buffer, when memory runs out.
    bool Create(int32_t megabytes);
    bool IsValid() const { return buffer != nullptr; }

    // Appends a record stamped with the local time now and returns its row.
    // When used + n + 12 is at least the capacity the whole list is cleared
    // first. -1 (nothing changes) without a buffer, for n < 0, n above
    // kMaxMessageLength or a message that cannot fit even in an empty list.
    // stamp, when it is an "hh:mm:ss" text, is the record's time instead.
    int AddMessage(uint8_t kind, const uint8_t* bytes, int32_t n, const char* stamp = nullptr);
    // Empties the buffer (magic alone) and the rows; the changed flag stays.
    void Clear();

    // Reads a message file (path in system form). False with error set to the
    // message box text: kOpenFailed (the list unchanged), kOverflow (file
    // larger than the capacity, the list unchanged) or kFormatError (the list
    // cleared). On success the list holds exactly the file's messages and
    // the changed flag is cleared. The size and then the magic are checked
    // before the rest of the file is read.
    bool LoadFile(const char* path, OTSTR& error);
    // Whether the file at path starts with the magic.
    static bool HasMagic(const char* path);
    // Saving as messages arrive: from now on every message added is also
    // written to the message file at path, which is a complete message file
    // after each one, whatever becomes of the program. The first message
    // replaces the file, so that a list that gets none writes nothing;
    // clearing the list leaves the file as it is. A message that cannot be
    // written ends the saving (the file then ends with the one before).
    void SaveAsAdded(const char* path);
    // Ends saving as messages arrive. False, with error (kWriteFailed), when
    // a message could not be written.
    bool StopSaving(OTSTR& error);
    // The messages written by SaveAsAdded so far.
    int GetSavedCount() const { return savedCount; }

    // Clears the changed flag and, when the list holds a message, writes the
    // buffer's used bytes to path, replacing it as a whole; an empty list
    // writes nothing. False with error (kWriteFailed) when the file cannot be
    // written; the old file then stays as it was.
    bool SaveFile(const char* path, OTSTR& error);

    int GetCount() const { return static_cast<int>(rows.size()); }
    // The message of row, false for a row out of range.
    bool GetMessage(int row, MessageView& out) const;
    // "MessageList  %d items", or "MessageList" when empty.
    void GetTitle(OTSTR& out) const;

    // The result texts of a row's last translation (title and two captions)
    // and whether it succeeded; for the list's last three columns.
    bool SetResult(int row, const char* title, const char* caption0, const char* caption1, bool ok);
    const std::string* GetResult(int row) const;  // three texts, null out of range
    bool IsTranslated(int row) const;
    bool IsOk(int row) const;

    const uint8_t* GetBuffer() const { return buffer; }
    int32_t GetUsed() const { return used; }
    int32_t GetCapacity() const { return capacity; }
    bool IsChanged() const { return changed; }
    void SetChanged(bool on) { changed = on; }

  private:
    struct Row {
        int32_t offset;  // of the record in the buffer
        int8_t status;   // 0 not translated, 1 success, -1 failure
        std::string results[3];
    };

    void SaveRecord(const uint8_t* record, int32_t size);

    uint8_t* buffer = nullptr;
    int32_t capacity = 0;
    int32_t used = 0;
    bool changed = false;
    std::vector<Row> rows;

    // Saving as messages arrive: the file, its path (empty when off),
    // whether a message could not be written, and how many were.
    std::unique_ptr<vpath::RecordFile> saveFile;
    std::string savePath;
    bool saveFailed = false;
    int savedCount = 0;
};
