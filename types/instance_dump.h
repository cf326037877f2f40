// The text forms of instances: the file dump (aligned columns of one variable
// with its elements and nested members) and the tree dump into the rows of a
// TextTable for the result view and the trace log.
// Tested by types/instance_dump_test.cpp.
#pragma once

#include <cstdint>

class CStruct;
class CVariableItem;
class TextTable;

// Option word of the tree dump.
constexpr uint32_t kDumpIntegrated = 0x01;   // show the structs kept by TypeOF items
constexpr uint32_t kDumpValues = 0x02;       // value texts beside element comments
constexpr uint32_t kDumpComments = 0x04;     // element comments
constexpr uint32_t kDumpIndexPrefix = 0x08;  // array elements as "[07] name"
constexpr uint32_t kDumpMarker = 0x10;       // the item's marker character before the name
constexpr uint32_t kDumpIndent = 0x20;       // name column indented by the row's depth

// Tag bits of the rows.
constexpr uint32_t kRowStructTag = 0x80000000u;  // a struct or choice row
constexpr uint32_t kRowFailedTag = 0x40000000u;  // the item's IsFailed hook answered true

// The five cells of a row.
constexpr int kDumpLocationColumn = 0;
constexpr int kDumpMarkerColumn = 1;
constexpr int kDumpNameColumn = 2;
constexpr int kDumpDescriptionColumn = 3;
constexpr int kDumpValueColumn = 4;

// Spaces per depth level in the name column (kDumpIndent).
constexpr int kDumpIndentStep = 2;
// Nested struct levels one dump goes through before it gives up.
constexpr int kDumpMaxDepth = 100;

namespace dumpmsg {
constexpr const char kThisFail[] = "create 'this' fail when dump";
constexpr const char kTypeOfNoStruct[] =
    "Error, TypeOfDataValid=true, but pTypeOfStructDefinition=NULL";
constexpr const char kTooDeep[] = "instance dump fail, structs nested deeper than 100 levels";
constexpr const char kTraceBegin[] = "dump...";
constexpr const char kTraceEnd[] = "dump end";
constexpr const char kNoComment[] = "unknow";    // an element without a comment
constexpr const char kUnknownType[] = "unknow";  // the value of an undumpable type
}  // namespace dumpmsg

// The structs a decoder item keeps beside its elements. A decoder item class
// that derives from this as well as from CVariableItem gets them shown as
// children in the tree dump: an element's integrated struct (of a TypeOF
// item, with kDumpIntegrated) under that element, the content structs under
// the item.
class AttachedStructs {
  public:
    virtual ~AttachedStructs() = default;
    // The integrated struct kept for element index, null when none is kept.
    virtual CVariableItem* IntegratedAt(int32_t index) = 0;
    // Content struct number index, null past the last one.
    virtual CVariableItem* ContentAt(int32_t index) = 0;
};

// The description a dump shows for item: the instance's own, else the
// definition's, else the struct type's; "" when none has one.
const char* ShownDescription(const CVariableItem& item);

// Writes item with its elements and nested members as aligned columns to
// path, truncating the file when overwrite is set and appending otherwise.
// False only when the file cannot be opened.
bool DumpToFile(CVariableItem& item, const char* path, bool overwrite);

// Appends the rows of item (one per item and per element, with continuation
// rows and nested members) to table, the item's row at depth level. The
// value column's width is the table's column 4 width; hexBytesPerRow bytes
// of an OCTET fit in one row (0 or less: no wrapping). Stops with false at
// the first element that fails; the rows made so far stay.
bool DumpTree(CVariableItem& item, TextTable& table, uint32_t options, int32_t level,
              int32_t hexBytesPerRow);
// Says which comments nothing needs when no row shows them: those whose
// making cannot fail and changes nothing, so that leaving them out shows
// nowhere.
class QuietComments {
  public:
    virtual bool IsQuiet(CVariableItem& item, int32_t index) = 0;
    // Whether every hook that item's tree could call is quiet, whatever the
    // tree holds: the whole walk can be left out.
    virtual bool IsQuietTree(CVariableItem& item) = 0;

  protected:
    ~QuietComments() = default;
};

// Calls the hooks that DumpTree would call for item (comments with their
// Dump procedures, attached structs), in the same order and with the same
// result, without making or formatting any row; but the comments that quiet
// (when given) calls quiet.
bool RunDumpHooks(CVariableItem& item, uint32_t options, QuietComments* quiet = nullptr);
// Appends the rows of the members of s (implicit choices not flattened), each
// at depth level.
bool DumpStructTree(CStruct& s, TextTable& table, uint32_t options, int32_t level,
                    int32_t hexBytesPerRow);

// Writes "dump...", the row lines of item's tree dump and "dump end" to the
// trace log. The result is the tree dump's.
bool TraceDump(CVariableItem& item, uint32_t options);
