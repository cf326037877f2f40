// The file dump and the tree dump of instances (see instance_dump.h).
// Tested by types/instance_dump_test.cpp.
#include "types/instance_dump.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/cast_cache.h"
#include "base/move_bytes.h"
#include "base/number_text.h"
#include "base/path.h"
#include "base/tracer.h"
#include "types/cstruct.h"
#include "types/struct_definition.h"
#include "types/text_table.h"
#include "types/type_codes.h"
#include "types/variable_item.h"
#include "values/value_type.h"

namespace {

int TextLength(const char* text) {
    return static_cast<int>(strlen(text));
}

// Appends text padded with blanks to width, left- or right-justified (the
// "%-<width>s" and "%<width>s" string formats).
void AppendPadded(std::string& out, const char* text, int width, bool left) {
    int length = TextLength(text);
    if (!left && length < width) out.append(static_cast<size_t>(width - length), ' ');
    out.append(text);
    if (left && length < width) out.append(static_cast<size_t>(width - length), ' ');
}

bool IsStructBase(int32_t base) {
    return base == kDeclStruct || base == kDeclChoice;
}

// ---- file dump ----

// The column layout of one item's lines: a prefix, the typeName column, a
// gap, the display-name column, a blank and the value text. The top item uses
// "%-<t>s %<n>s %s", struct members "<prefix>%-<t>s  %-<n>s %s".
struct FileColumns {
    std::string prefix;
    int typeWidth;
    const char* gap;
    int nameWidth;
    bool nameLeft;

    std::string Line(const char* type, const char* name, const std::string& value) const {
        std::string line = prefix;
        AppendPadded(line, type, typeWidth, true);
        line.append(gap);
        AppendPadded(line, name, nameWidth, nameLeft);
        line.push_back(' ');
        line.append(value);
        return line;
    }
};

class FileDump {
  public:
    explicit FileDump(FILE* file) : file(file) {}

    void Item(CVariableItem& item, const FileColumns& columns) {
        if (depth >= kDumpMaxDepth) {
            TraceText(dumpmsg::kTooDeep);
            return;
        }
        ++depth;
        OTSTR display = item.GetDisplayName();
        Writer writer{*this, columns, item.Header().typeName.GetBuffer(), display.GetBuffer()};
        int32_t base = item.Header().baseType;
        if (IsIntegerType(base) || base == kTypeDouble) {
            Numbers(item, writer);
        } else if (base == kTypeOctet) {
            Octets(item, writer);
        } else if (IsStructBase(base)) {
            Structs(item, writer, columns);
        }
        --depth;
    }

  private:
    // Writes the lines of one item: its typeName and display name on the
    // first, blank columns on the later ones.
    struct Writer {
        FileDump& dump;
        const FileColumns& columns;
        const char* type;
        const char* name;
        bool first = true;

        // The value text so far begins with "= " on the first line, "  " after.
        const char* Lead() const { return first ? "= " : "  "; }
        void Write(const std::string& value) {
            std::string line =
                first ? columns.Line(type, name, value) : columns.Line(" ", " ", value);
            dump.Put(line);
            first = false;
        }
    };

    void Put(const std::string& text) { fwrite(text.data(), 1, text.size(), file); }

    // Ten elements a line, "," after all but the last.
    void Numbers(CVariableItem& item, Writer& writer) {
        static const char* const kHexFormats[] = {"0x%02X", "0x%04X", "0x%08X"};
        const char* format = nullptr;
        const OTSTR& type = item.Header().typeName;
        int32_t base = item.Header().baseType;
        if ((type.Compare("BYTE", false) || type.Compare("WORD", false) ||
             type.Compare("DWORD", false)) &&
            base >= kTypeUInt1 && base <= kTypeUInt4) {
            format = kHexFormats[base - kTypeUInt1];
        }
        int32_t count = item.GetCount();
        std::string value = writer.Lead();
        OTSTR text;
        for (int32_t i = 0; i < count; ++i) {
            item.getTextAt(i, text, format);
            value.append(text.GetBuffer());
            value.push_back(i + 1 < count ? ',' : ' ');
            value.push_back(' ');
            if (i % 10 == 9 || i + 1 == count) {
                value.push_back('\n');
                writer.Write(value);
                value = writer.Lead();
            }
        }
    }

    // One quoted element a line.
    void Octets(CVariableItem& item, Writer& writer) {
        int32_t count = item.GetCount();
        OTSTR text;
        for (int32_t i = 0; i < count; ++i) {
            item.getTextAt(i, text);
            std::string value = writer.Lead();
            value.append(text.GetBuffer());
            value.push_back(i + 1 < count ? ',' : ' ');
            value.push_back('\n');
            writer.Write(value);
        }
    }

    // "= {}" / "  {}" per element, its members below under the value column.
    void Structs(CVariableItem& item, Writer& writer, const FileColumns& columns) {
        int32_t count = item.GetCount();
        if (count <= 0) {
            writer.Write("= -\n");
            return;
        }
        std::string prefix = columns.Line(" ", " ", "  ");
        for (int32_t i = 0; i < count; ++i) {
            writer.Write(i == 0 ? "= {}\n" : "  {}\n");
            if (CStruct* s = item.StructAt(i)) Struct(*s, prefix);
        }
    }

    void Struct(CStruct& s, const std::string& prefix) {
        int n = s.GetCount(false);
        FileColumns columns{prefix, 1, "  ", 1, true};
        for (int m = 0; m < n; ++m) {
            CVariableItem* member = s.GetItemAt(m, false);
            if (member == nullptr) continue;
            columns.typeWidth = std::max(columns.typeWidth, member->Header().typeName.GetLength());
            columns.nameWidth = std::max(columns.nameWidth, member->GetDisplayName().GetLength());
        }
        for (int m = 0; m < n; ++m) {
            if (CVariableItem* member = s.GetItemAt(m, false)) Item(*member, columns);
        }
    }

    FILE* file;
    int depth = 0;
};

// ---- tree dump ----

// How the value column of an item is made, by its declared type.
enum class Form { kNumber, kHexNumber, kChar, kOctet, kString, kMemo, kStruct, kUnknown };

Form FormOf(const CVariableItem& item) {
    switch (item.Header().declaredType) {
        case kDeclInt1:
        case kDeclInt2:
        case kDeclInt4:
        case kDeclUInt1:
        case kDeclUInt2:
        case kDeclUInt4:
        case kDeclDouble:
            return Form::kNumber;
        case kDeclPvoid:
        case kDeclByte:
        case kDeclWord:
        case kDeclDword:
            return Form::kHexNumber;
        case kDeclTchar:
            return Form::kChar;
        case kDeclOctet:
            return Form::kOctet;
        case kDeclString:
            return Form::kString;
        case kDeclMemo:
            return Form::kMemo;
        case kDeclStruct:
        case kDeclChoice:
            return Form::kStruct;
        default:
            return Form::kUnknown;
    }
}

// A byte shown as a character; control characters would break the row.
char Printable(uint8_t byte) {
    return byte < 32 || byte == 127 ? '.' : static_cast<char>(byte);
}

// Texts kept from row to row, so that a warm dump allocates nothing per
// row. An item's name and element texts are kept at its depth: they must
// last while the items below it (attached structs, members) make theirs.
struct DepthTexts {
    // The item's name with a zero byte after it, written in place.
    std::vector<char> name;
    std::vector<std::string> elements;
};

// The texts one dump works in. They are kept from dump to dump as well, one
// set for each dump under way (a Dump procedure may start another dump).
struct DumpTexts {
    std::vector<std::unique_ptr<DepthTexts>> byDepth;
    std::string elementName;         // used at once
    std::string rowText;             // refilled for every row
    std::string comment;             // refilled for every element
    std::vector<std::string> lines;  // the value rows of a text element
    OTSTR commentText;
    OTSTR location;
    OTSTR marker;
    OTSTR scratch;
    // Kept with the texts, so that a dump finds the items' type known.
    CastCache<AttachedStructs> attachedCast;

    // Lets go of what a dump of a very large item left, so that what is
    // kept stays small.
    void Trim() {
        const size_t kKeptElements = 1024;
        const size_t kKeptBytes = 4096;
        for (std::unique_ptr<DepthTexts>& texts : byDepth) {
            if (texts != nullptr && texts->elements.size() > kKeptElements) {
                std::vector<std::string>().swap(texts->elements);
            }
            if (texts != nullptr && texts->name.capacity() > kKeptBytes) {
                std::vector<char>().swap(texts->name);
            }
        }
        if (lines.size() > kKeptElements) std::vector<std::string>().swap(lines);
        for (std::string& line : lines) {
            if (line.capacity() > kKeptBytes) std::string().swap(line);
        }
        for (std::string* text : {&elementName, &rowText, &comment}) {
            if (text->capacity() > kKeptBytes) std::string().swap(*text);
        }
    }
};

// Hands each dump the texts of its nesting level.
class KeptTexts {
  public:
    DumpTexts& Take() {
        if (sets.size() <= inUse) sets.emplace_back(new DumpTexts);
        return *sets[inUse++];
    }
    void Give(DumpTexts& texts) {
        texts.Trim();
        --inUse;
    }

  private:
    std::vector<std::unique_ptr<DumpTexts>> sets;
    size_t inUse = 0;
};

thread_local KeptTexts keptTexts;

// Without a table the dump makes no rows and formats no values: it only
// calls the items' hooks (comments, Dump procedures, attached structs) in
// the order in which the rows would call them, with the same failures.
class TreeDump {
  public:
    TreeDump(TextTable* table, uint32_t options, int32_t hexBytesPerRow,
             QuietComments* quiet = nullptr)
        : table(table),
          quiet(quiet),
          options(options),
          hexBytesPerRow(hexBytesPerRow),
          valueWidth(table != nullptr ? table->GetColumnWidth(kDumpValueColumn) : 0),
          texts(keptTexts.Take()) {}
    ~TreeDump() { keptTexts.Give(texts); }
    TreeDump(const TreeDump&) = delete;
    TreeDump& operator=(const TreeDump&) = delete;

    bool Item(CVariableItem& item, int32_t level) {
        if (depth >= kDumpMaxDepth) {
            TraceText(dumpmsg::kTooDeep);
            return false;
        }
        ++depth;
        bool ok = ItemRows(item, level) && Contents(item, level + 1);
        --depth;
        return ok;
    }

    bool Members(CStruct& s, int32_t level) {
        int n = s.GetCount(false);
        for (int m = 0; m < n; ++m) {
            CVariableItem* member = s.GetItemAt(m, false);
            if (member != nullptr && !Item(*member, level)) return false;
        }
        return true;
    }

  private:
    // The texts of the rows are built from zero-terminated pieces, so their
    // sizes are their lengths.
    struct Piece {
        Piece(const std::string& text)  // NOLINT: any text of a row is a piece
            : text(text.c_str()), length(static_cast<int32_t>(text.size())) {}
        Piece(const char* text)  // NOLINT
            : text(text), length(static_cast<int32_t>(strlen(text))) {}
        Piece(const char* text, int32_t length) : text(text), length(length) {}
        const char* text;
        int32_t length;
    };

    // The rows of one item go out through this: the first as the item's own
    // row, the later ones as continuation rows of the same item.
    struct RowRun {
        CVariableItem& item;
        int32_t level;
        Piece name;
        bool first = true;
    };

    DepthTexts& Here() {
        if (static_cast<int>(byDepth.size()) < depth + 1) byDepth.resize(depth + 1);
        std::unique_ptr<DepthTexts>& here = byDepth[depth];
        if (here == nullptr) here.reset(new DepthTexts);
        return *here;
    }

    bool ItemRows(CVariableItem& item, int32_t level) {
        switch (FormOf(item)) {
            case Form::kStruct:
                return StructRows(item, level);
            case Form::kOctet:
            case Form::kString:
            case Form::kMemo:
                return TextRows(item, level);
            case Form::kUnknown:
                return ItemRow(item, level, ItemName(item, level), dumpmsg::kUnknownType) >= 0;
            default:
                return ElementRows(item, level);
        }
    }

    // ---- rows and cells ----

    static uint16_t Level(int32_t level) {
        return static_cast<uint16_t>(level < 0 ? 0 : (level > 0xffff ? 0xffff : level));
    }

    static uint16_t Mark(const CVariableItem& item) {
        return item.def != nullptr ? item.def->id : 0;
    }

    static uint32_t Tag(CVariableItem& item) {
        uint32_t tag = IsStructBase(item.Header().baseType) || FormOf(item) == Form::kStruct
                           ? kRowStructTag
                           : 0;
        if (item.IsFailed()) tag |= kRowFailedTag;
        return tag;
    }

    int NewRow(uint32_t tag, int32_t level, uint16_t mark) {
        if (table == nullptr) return 0;
        return table->InsertRow(-1, tag, Level(level), mark);
    }

    bool Cell(int row, int column, Piece text) {
        return table == nullptr || table->SetCell(row, column, text.text, text.length);
    }

    // A row of item's own with the texts of its hooks; -1 when the table
    // cannot take it.
    int ItemRow(CVariableItem& item, int32_t level, Piece name, Piece value) {
        if (table == nullptr) return 0;
        int row = NewRow(Tag(item), level, Mark(item));
        if (row < 0) return -1;
        location.Empty();
        if (item.HasLocation()) item.LocationText(location);
        marker.Empty();  // as location: a hook may leave it
        item.MarkerText(marker);
        bool ok =
            Cell(row, kDumpLocationColumn, Piece(location.GetBuffer(), location.GetLength())) &&
            Cell(row, kDumpMarkerColumn, Piece(marker.GetBuffer(), marker.GetLength())) &&
            Cell(row, kDumpNameColumn, name) &&
            Cell(row, kDumpDescriptionColumn, Piece(ShownDescription(item))) &&
            Cell(row, kDumpValueColumn, value);
        return ok ? row : -1;
    }

    // A further row of the same item: only the value cell.
    bool ContinuationRow(CVariableItem& item, int32_t level, const std::string& value) {
        int row = NewRow(Tag(item), level, Mark(item));
        return row >= 0 && Cell(row, kDumpValueColumn, value);
    }

    bool Emit(RowRun& rows, const std::string& value) {
        bool ok = rows.first ? ItemRow(rows.item, rows.level, rows.name, value) >= 0
                             : ContinuationRow(rows.item, rows.level, value);
        rows.first = false;
        return ok;
    }

    // ---- the name column ----

    // The indent of level, replacing text.
    void Indent(int32_t level, std::string& text) const { text.assign(IndentLength(level), ' '); }

    size_t IndentLength(int32_t level) const {
        return (options & kDumpIndent) != 0 ? static_cast<size_t>(Level(level)) * kDumpIndentStep
                                            : 0;
    }

    // "[07] " with as many digits as the highest index of count needs.
    static void AppendIndexPrefix(int32_t index, int32_t count, std::string& text) {
        int digits = 1;
        for (int32_t rest = count - 1; rest >= 10; rest /= 10) ++digits;
        char number[kMaxDecimalDigits];
        int length = DecimalDigits(index, number);
        text.push_back('[');
        if (length < digits) text.append(static_cast<size_t>(digits - length), '0');
        text.append(number, static_cast<size_t>(length)).append("] ");
    }

    // "[2]"
    static void AppendSubscript(int32_t index, std::string& text) {
        char number[kMaxDecimalDigits];
        text.push_back('[');
        text.append(number, static_cast<size_t>(DecimalDigits(index, number))).push_back(']');
    }

    // Up to the first zero byte, as every text of a row.
    static void Append(const OTSTR& from, std::string& text) { text.append(from.GetBuffer()); }

    // The name of an item's own row: "b[3]", "{}h[2]", "c[]" ("[] c" with
    // the index prefix option). It is kept at the item's depth.
    Piece ItemName(const CVariableItem& item, int32_t level) {
        if (table == nullptr) return Piece("", 0);  // no rows to name
        bool marked = (options & kDumpMarker) != 0 && item.marker != ' ' && item.marker != '\0';
        // The indent, the marker, "[] " of a choice with the index prefix or
        // "{}" of a struct, the display name up to its first zero byte and
        // its suffix, written in one go.
        const OTSTR& name = item.Header().GetName();
        const char* bytes = name.GetBuffer();
        size_t length = strnlen(bytes, static_cast<size_t>(name.GetLength()));
        char suffix[CVariableItem::kMaxDisplaySuffix];
        size_t suffixLength = 0;
        const char* lead = "";
        size_t leadLength = 0;
        if (item.Header().declaredType == kDeclChoice && (options & kDumpIndexPrefix) != 0) {
            lead = "[] ";
            leadLength = 3;
        } else {
            if (length == static_cast<size_t>(name.GetLength())) {
                suffixLength = static_cast<size_t>(item.DisplaySuffix(suffix));
            }
            if (item.Header().declaredType == kDeclStruct) {
                lead = "{}";
                leadLength = 2;
            }
        }
        size_t indent = IndentLength(level);
        size_t total = indent + (marked ? 1 : 0) + leadLength + length + suffixLength;
        std::vector<char>& text = Here().name;
        if (text.size() < total + 1) text.resize(total + 1);
        char* out = text.data();
        // The usual indents in a few loads and stores, without a call.
        static const char kBlanks[] = "                ";
        if (indent < sizeof kBlanks) {
            MoveBytes(out, kBlanks, indent);
        } else {
            memset(out, ' ', indent);
        }
        out += indent;
        if (marked) *out++ = item.marker;
        MoveBytes(out, lead, leadLength);
        MoveBytes(out + leadLength, bytes, length);
        MoveBytes(out + leadLength + length, suffix, suffixLength);
        text[total] = '\0';
        return Piece(text.data(), static_cast<int32_t>(total));
    }

    // An element row's name: "b[2]", or "[02] b" with the index prefix option.
    const std::string& ElementName(const CVariableItem& item, int32_t index, int32_t level) {
        Indent(level, elementName);
        if ((options & kDumpIndexPrefix) != 0) {
            AppendIndexPrefix(index, item.GetCount(), elementName);
            Append(item.GetItemName(), elementName);
        } else {
            Append(item.GetItemName(), elementName);
            AppendSubscript(index, elementName);
        }
        return elementName;
    }

    // ---- comments and attached structs ----

    bool CommentsShown(CVariableItem& item) const {
        return (options & kDumpComments) != 0 && item.HasComment();
    }

    // The element's comment, "unknow" when the hook gives none; false when
    // the hook fails.
    bool Comment(CVariableItem& item, int32_t index, std::string& out) {
        // A hook may leave the text as it finds it.
        commentText.Empty();
        if (item.CommentText(index, commentText, dumpmsg::kNoComment) == 0) return false;
        out = commentText.IsEmpty() ? dumpmsg::kNoComment : commentText.GetBuffer();
        return true;
    }

    bool Attached(CVariableItem& item) const {
        return (options & kDumpIntegrated) != 0 && item.HasIntegrated(true);
    }

    // The integrated struct of element index as a child at level.
    bool AttachedRows(CVariableItem& item, int32_t index, int32_t level) {
        auto* source = attachedCast.Cast(&item);
        CVariableItem* integrated = source != nullptr ? source->IntegratedAt(index) : nullptr;
        if (integrated == nullptr) {
            TraceText(dumpmsg::kTypeOfNoStruct);
            return true;
        }
        return Item(*integrated, level);
    }

    bool Contents(CVariableItem& item, int32_t level) {
        auto* source = attachedCast.Cast(&item);
        if (source == nullptr) return true;
        for (int32_t i = 0;; ++i) {
            CVariableItem* content = source->ContentAt(i);
            if (content == nullptr) return true;
            if (!Item(*content, level)) return false;
        }
    }

    // ---- numbers, hexadecimal numbers and characters ----

    // The digits of a hexadecimal element, as many as its storage's width
    // takes (2, 4 or 8): their count.
    static int HexText(CVariableItem& item, int32_t index, char* out) {
        int32_t base = item.GetType();
        uint32_t word = 0;
        if (base == kTypePvoid) {
            void* pointer = nullptr;
            item.getAt(index, pointer);
            word = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer) & 0xffffffffu);
        } else {
            item.getAt_as_ulong(index, word);
        }
        int digits = base == kTypeUInt1 || base == kTypeInt1   ? 2
                     : base == kTypeUInt2 || base == kTypeInt2 ? 4
                                                               : 8;
        HexDigits(word, digits, out);
        return digits;
    }

    void ElementText(CVariableItem& item, Form form, int32_t index, std::string& result) {
        char text[48];
        OTSTR& out = scratch;
        if (form == Form::kHexNumber) {
            result.assign(text, static_cast<size_t>(HexText(item, index, text)));
            return;
        }
        if (form == Form::kChar) {
            int32_t number = 0;
            if (item.GetType() == kTypeOctet) {
                item.getAt(index, out);
                number = out.IsEmpty() ? 0 : static_cast<uint8_t>(out.GetAt(0));
            } else {
                item.getAt_as_long(index, number);
            }
            snprintf(text, sizeof text, "%-4d '%c'", static_cast<int>(number),
                     Printable(static_cast<uint8_t>(number)));
            result.assign(text);
            return;
        }
        item.getTextAt(index, out);
        result.assign(out.GetBuffer());
    }

    // The value cell of a single integer element shown without a comment,
    // written as the rows below would write it; -1 for any other element.
    int32_t SingleIntegerValue(CVariableItem& item, Form form, char* out) {
        if (form == Form::kHexNumber) {
            memcpy(out, "H' ", 3);
            int n = HexText(item, 0, out + 3);
            out[3 + n] = ' ';
            return n + 4;
        }
        int n = item.IntegerTextAt(0, out);
        if (n < 0) return -1;
        out[n] = ' ';
        return n + 1;
    }

    bool ElementRows(CVariableItem& item, int32_t level) {
        Form form = FormOf(item);
        int32_t count = item.GetCount();
        bool attached = Attached(item);
        if (count <= 0 || (!item.HasValue() && !attached)) {
            return ItemRow(item, level, ItemName(item, level), "-") >= 0;
        }
        if (table == nullptr) return ElementHooks(item, count, attached, level);
        bool comments = CommentsShown(item);
        if (count == 1 && !attached && (form == Form::kNumber || form == Form::kHexNumber)) {
            char value[kMaxDecimalDigits + 8];
            int32_t n = SingleIntegerValue(item, form, value);
            if (n >= 0) {
                Piece name = ItemName(item, level);
                if (!comments) return ItemRow(item, level, name, Piece(value, n)) >= 0;
                // With its comment: the value (unless only comments are
                // shown) and the comment, in the order of the rows below.
                comment.clear();
                if ((quiet == nullptr || !quiet->IsQuiet(item, 0)) && !Comment(item, 0, comment)) {
                    return false;
                }
                std::string& row = rowText;
                row.clear();
                if ((options & kDumpValues) != 0) row.append(value, static_cast<size_t>(n));
                row.append(comment);
                return ItemRow(item, level, name, row) >= 0;
            }
        }
        std::vector<std::string>& texts = Here().elements;
        if (texts.size() < static_cast<size_t>(count)) texts.resize(static_cast<size_t>(count));
        int width = 1;
        for (int32_t i = 0; i < count; ++i) {
            if (item.HasValue()) {
                ElementText(item, form, i, texts[i]);
            } else {
                texts[i] = "-";
            }
            width = std::max(width, static_cast<int>(texts[i].size()));
        }
        const char* lead = form == Form::kHexNumber ? "H' " : "";
        const char* more = form == Form::kHexNumber ? "   " : "";
        RowRun rows{item, level, ItemName(item, level)};

        if (!comments && !attached) {
            // k elements a row, padded to the longest when they need more rows.
            int32_t perRow = (valueWidth - TextLength(lead)) / (width + 1);
            if (perRow < 1) perRow = 1;
            bool padded = count > perRow;
            std::string& value = rowText;
            value = lead;
            for (int32_t i = 0, inRow = 0; i < count; ++i) {
                AppendPadded(value, texts[i].c_str(), padded ? width : 0, true);
                value.push_back(' ');
                if (++inRow == perRow || i + 1 == count) {
                    if (!Emit(rows, value)) return false;
                    value = more;
                    inRow = 0;
                }
            }
            return true;
        }

        // A row for every element: the value and its comment.
        bool values = !comments || (options & kDumpValues) != 0;
        auto elementValue = [&](int32_t i, std::string& out) {
            out.clear();
            comment.clear();
            if (comments && (quiet == nullptr || !quiet->IsQuiet(item, i)) &&
                !Comment(item, i, comment)) {
                return false;
            }
            if (values) {
                out = lead;
                AppendPadded(out, texts[i].c_str(), comments ? width : 0, true);
                if (comments) out.push_back(' ');
            }
            out.append(comment);
            return true;
        };
        std::string& value = rowText;
        if (count == 1) {
            if (!elementValue(0, value) || !Emit(rows, value)) return false;
            return !attached || AttachedRows(item, 0, level + 1);
        }
        if (!Emit(rows, "")) return false;
        for (int32_t i = 0; i < count; ++i) {
            if (!elementValue(i, value)) return false;
            int row = NewRow(Tag(item), level + 1, Mark(item));
            if (row < 0 || !Cell(row, kDumpNameColumn, ElementName(item, i, level + 1)) ||
                !Cell(row, kDumpValueColumn, value)) {
                return false;
            }
            if (attached && !AttachedRows(item, i, level + 2)) return false;
        }
        return true;
    }

    // The hooks of ElementRows without its rows: each element's comment,
    // then its attached struct.
    bool ElementHooks(CVariableItem& item, int32_t count, bool attached, int32_t level) {
        bool comments = CommentsShown(item);
        if (!comments && !attached) return true;
        for (int32_t i = 0; i < count; ++i) {
            if (comments && (quiet == nullptr || !quiet->IsQuiet(item, i)) &&
                !Comment(item, i, comment)) {
                return false;
            }
            if (attached && !AttachedRows(item, i, level + (count == 1 ? 1 : 2))) return false;
        }
        return true;
    }

    // ---- OCTET, STRING and MEMO ----

    // A further value row of the element, empty, among lines; the rows
    // before it stay, but the references to them do not.
    std::string& NewLine() {
        std::vector<std::string>& lines = texts.lines;
        if (lineCount == lines.size()) lines.emplace_back();
        std::string& line = lines[lineCount++];
        line.clear();
        return line;
    }

    // The value rows of one element.
    void ElementLines(CVariableItem& item, Form form, int32_t index) {
        // The element's text where it lies (none but for a text element).
        const OTSTR* text = item.TextAt(index);
        bool readable = text != nullptr;
        const char* bytes = readable ? text->GetBuffer() : "";
        int32_t length = readable ? text->GetLength() : 0;
        char number[64];
        if (form == Form::kOctet) {
            // "H' " and hexBytesPerRow bytes as "%02X " (all without wrapping),
            // the later lines led by "   ".
            int32_t perLine = hexBytesPerRow > 0 ? hexBytesPerRow : length;
            int32_t j = 0;
            do {
                // The line as blanks in one step, then the lead and the digits.
                std::string& line = NewLine();
                int32_t n = length - j < perLine ? length - j : perLine;
                line.resize(3 + 3 * static_cast<size_t>(n), ' ');
                if (j == 0) memcpy(&line[0], "H'", 2);
                char* out = &line[3];
                for (int32_t k = 0; k < n; ++k, ++j) {
                    HexByte(static_cast<uint8_t>(bytes[j]), out + 3 * k);
                }
            } while (j < length);
        } else if (form == Form::kString) {
            if (!readable) {
                NewLine() = "T' (null)";
            } else if (length == 0) {
                NewLine() = "T  ";
            } else {
                // One row a line of the text: "T' first", "   next".
                int32_t start = 0;
                while (start < length) {
                    int32_t end = start;
                    while (end < length && bytes[end] != '\n') ++end;
                    int32_t stop = end > start && bytes[end - 1] == '\r' ? end - 1 : end;
                    std::string& line = NewLine();
                    line = start == 0 ? "T' " : "   ";
                    for (int32_t j = start; j < stop; ++j) {
                        line.push_back(Printable(static_cast<uint8_t>(bytes[j])));
                    }
                    start = end + 1;
                }
            }
        } else {
            snprintf(number, sizeof number, index == 0 ? "M' Len[%ld]= %ld" : "      [%ld]= %ld",
                     static_cast<long>(index), static_cast<long>(length));
            NewLine() = number;
        }
    }

    bool TextRows(CVariableItem& item, int32_t level) {
        int32_t count = item.GetCount();
        RowRun rows{item, level, ItemName(item, level)};
        if (count <= 0 || !item.HasValue()) return Emit(rows, "-");
        Form form = FormOf(item);
        bool comments = CommentsShown(item);
        bool values = !comments || (options & kDumpValues) != 0;
        for (int32_t i = 0; i < count; ++i) {
            lineCount = 0;
            if (values && table != nullptr) ElementLines(item, form, i);
            if (comments) {
                if (!Comment(item, i, comment)) return false;
                if (table == nullptr) continue;
                if (values) {
                    texts.lines[lineCount - 1].append(" {").append(comment).append("}");
                } else {
                    NewLine() = comment;
                }
            }
            for (size_t line = 0; line < lineCount; ++line) {
                if (!Emit(rows, texts.lines[line])) return false;
            }
        }
        return true;
    }

    // ---- structs and choices ----

    static bool HasMembers(const CStruct* s) { return s != nullptr && s->GetCount(false) > 0; }

    bool StructRows(CVariableItem& item, int32_t level) {
        int32_t count = item.GetCount();
        bool shown = count >= 2 || (count == 1 && HasMembers(item.StructAt(0)));
        if (ItemRow(item, level, ItemName(item, level), shown ? "" : "-") < 0) return false;
        if (count == 1) {
            CStruct* s = item.StructAt(0);
            return s == nullptr || Members(*s, level + 1);
        }
        for (int32_t i = 0; i < count; ++i) {
            if (!StructElement(item, i, level + 1)) return false;
        }
        return true;
    }

    // Element index of a struct array: a "this" holder refers to the element
    // while its row and its members are made, so that the hooks of a derived
    // item see the element.
    bool StructElement(CVariableItem& item, int32_t index, int32_t level) {
        std::string& name = elementName;
        Indent(level, name);
        if ((options & kDumpIndexPrefix) != 0) AppendIndexPrefix(index, item.GetCount(), name);
        name.append("{}this = '");
        Append(item.GetItemName(), name);
        AppendSubscript(index, name);
        name.push_back('\'');

        CStruct* s = item.StructAt(index);
        if (s == nullptr) {
            int row = NewRow(Tag(item), level, Mark(item));
            return row >= 0 && Cell(row, kDumpNameColumn, name) && Cell(row, kDumpValueColumn, "-");
        }
        std::unique_ptr<CVariableItem> holder(s->NewItem());
        if (holder == nullptr || !holder->PassAddressClone(item, index, nullptr)) {
            TraceText(dumpmsg::kThisFail);
            return false;
        }
        holder->SetName("this");
        if (ItemRow(*holder, level, name, HasMembers(s) ? "" : "-") < 0) return false;
        return Members(*s, level + 1);
    }

    TextTable* table;      // null: hooks only
    QuietComments* quiet;  // hooks only: the comments it calls quiet are left out
    uint32_t options;
    int32_t hexBytesPerRow;
    int32_t valueWidth;
    int depth = 0;
    size_t lineCount = 0;  // of texts.lines in use
    DumpTexts& texts;
    std::vector<std::unique_ptr<DepthTexts>>& byDepth = texts.byDepth;
    std::string& elementName = texts.elementName;
    std::string& rowText = texts.rowText;
    std::string& comment = texts.comment;
    OTSTR& commentText = texts.commentText;
    OTSTR& location = texts.location;
    OTSTR& marker = texts.marker;
    OTSTR& scratch = texts.scratch;
    CastCache<AttachedStructs>& attachedCast = texts.attachedCast;
};

}  // namespace

const char* ShownDescription(const CVariableItem& item) {
    if (!item.GetDescription().IsEmpty()) return item.GetDescription().GetBuffer();
    if (item.def != nullptr && !item.def->GetDescription().IsEmpty()) {
        return item.def->GetDescription().GetBuffer();
    }
    const OTSTR& own = item.Header().GetDescription();
    if (!own.IsEmpty()) return own.GetBuffer();
    if (item.structDef != nullptr) return item.structDef->GetDescription().GetBuffer();
    return "";
}

bool DumpToFile(CVariableItem& item, const char* path, bool overwrite) {
    if (path == nullptr) return false;
    FILE* file = vpath::OpenFile(path, overwrite ? "w" : "a");
    if (file == nullptr) return false;
    OTSTR display = item.GetDisplayName();
    FileColumns top{"", item.Header().typeName.GetLength(), " ", display.GetLength(), false};
    FileDump dump(file);
    dump.Item(item, top);
    fputs("\n", file);
    fclose(file);
    return true;
}

bool DumpTree(CVariableItem& item, TextTable& table, uint32_t options, int32_t level,
              int32_t hexBytesPerRow) {
    TreeDump dump(&table, options, hexBytesPerRow);
    return dump.Item(item, level);
}

bool RunDumpHooks(CVariableItem& item, uint32_t options, QuietComments* quiet) {
    if (quiet != nullptr && quiet->IsQuietTree(item)) return true;
    TreeDump dump(nullptr, options, 0, quiet);
    return dump.Item(item, 0);
}

bool DumpStructTree(CStruct& s, TextTable& table, uint32_t options, int32_t level,
                    int32_t hexBytesPerRow) {
    TreeDump dump(&table, options, hexBytesPerRow);
    return dump.Members(s, level);
}

bool TraceDump(CVariableItem& item, uint32_t options) {
    TraceText(dumpmsg::kTraceBegin);
    TextTable table;
    const uint16_t kContent = TextTable::kWidthFromContent | TextTable::kLeftJustify;
    bool ok = table.SetColumns({"Location", "Marker", "Name", "Description", "Value"}) &&
              table.SetColumnFormats({{kContent, 7, 0, 1},
                                      {kContent, 8, 0, 1},
                                      {kContent, 10, 0, 1},
                                      {kContent, 10, 0, 1},
                                      {TextTable::kLeftJustify, 48, 0, 1}});
    if (ok) ok = DumpTree(item, table, options, 0, 16);
    table.ComputeWidths();
    OTSTR line;
    for (int row = 0; row < table.GetRowCount(); ++row) {
        if (table.GetRowLine(row, line)) TraceText(line.GetBuffer());
    }
    TraceText(dumpmsg::kTraceEnd);
    return ok;
}
