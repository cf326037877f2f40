// The JSON form of one translation for the command-line front end: one
// object per message on one line, with the decoded tree under "msg" as
// nested nodes. Any bytes in any text give valid JSON: bytes that are not
// valid UTF-8 are written as \u00XX. Tested by app/result_json_test.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class ProtocolDecoder;
struct LastTranslation;
struct TranslateResults;

// Appends text as a JSON string (with its quotes) to out.
void AppendJsonString(const char* text, size_t length, std::string& out);

// What the line of one message carries besides the decoder's tree.
struct JsonMessage {
    int index = 0;  // from 0, in the order of the sources
    const uint8_t* bytes = nullptr;
    int32_t length = 0;
    const LastTranslation* last = nullptr;  // null: the input was refused
    const TranslateResults* results = nullptr;
    const char* inputError = nullptr;  // "Hex stream error", "\n # illegal input.\n"
    // A message from a capture: the packet's number in the file and its
    // capture time; packet -1 for other messages.
    int64_t packet = -1;
    int64_t seconds = 0;
    int32_t microseconds = 0;
};

// Node levels written with their children; a node this deep goes out with
// an empty "children" list.
constexpr int kJsonMaxDepth = 256;

// Appends the object of one message and a line end to out:
// {"index",("packet","time",)"length","consumed","success","error","leftover","warning",
//  "title","caption0","caption1","tree"}; "tree" is the root "msg" node
// (null when nothing was translated); "packet" and "time" (UTC,
// "2023-11-14T22:13:20.250000Z") only for messages from a capture. A node is
// {"name","description","comment","start","length","marker","failed",
//  "type","value","children"}, plus "comments" after "comment" for an array
// of two or more elements whose comments are shown: one entry per element.
// What a message or an item does not have is null, never a stand-in text:
// an error or title that is empty, a caption left at "-", a description
// that is empty, a comment the item has none of (no comment source, no
// enum item for the value, an empty text, a failing Dump procedure), an
// unknown start or length, the marker of an item without a location or of
// a struct, the type of a root never created. "value": integers and DOUBLE
// a number (NaN and the infinities null), OCTET hex text "0A1B", STRING and
// MEMO text, each an array when the count is not 1; TCHAR one text up to
// the first zero; PVOID, structs, choices and items without a value null.
// Children: a struct's members; per element of a struct array a node
// "name[i]" (the element's own start, length, marker and failure mark); an
// element's integrated struct ("This", "This[i]" under an array); then the
// content structs.
void AppendTranslationJson(ProtocolDecoder& decoder, const JsonMessage& message, std::string& out);
