// The program listing: every item of a compiled Program as text, with line
// numbers and tree marks, nested through includes, blocks and bodies.
// Tested by script/program_listing_test.cpp.
#include "script/program_listing.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include "base/path.h"
#include "script/attribute_definition.h"
#include "script/declare_map.h"
#include "script/procedure.h"
#include "script/program.h"
#include "script/script_items.h"
#include "script/statements.h"
#include "script/struct_item.h"
#include "script/type_specifier.h"
#include "script/variable_declaration.h"
#include "types/variable_item.h"
#include "values/cvarient.h"

namespace {

// Tree marks of the item line and of the continuation line in a file
// Program; blocks and bodies use blanks instead.
constexpr char kItemMark[] = " |- ";
constexpr char kContinueMark[] = " |  ";
constexpr char kBlockMark[] = "    ";
// What a wrapped sub-statement is indented by, inside its listing-made
// braces.
constexpr char kWrapIndent[] = "   ";
// The width of the line-number field is written as one digit.
constexpr int kMaxWidth = 9;

std::string Text(const OTSTR& text) {
    const char* buffer = text.GetBuffer(0);
    return buffer != nullptr ? std::string(buffer) : std::string();
}

// text, left-justified in at least width characters (as "%-*s" would).
std::string PadRight(const std::string& text, size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

// text, right-justified in at least width characters (as "%*s" would).
std::string PadLeft(const std::string& text, size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// "  // comment", or nothing without a comment.
std::string Comment(const OTSTR& comment) {
    return comment.IsEmpty() ? std::string() : "  // " + Text(comment);
}

// One more than the digits of (the last item's line + 1); 1 for no items.
int FieldWidth(const Program& program) {
    int count = program.ItemCount();
    if (count == 0) return 1;
    long last = static_cast<long>(program.ItemLine(count - 1)) + 1;
    if (last < 0) last = 0;
    int digits = 1;
    for (; last >= 10; last /= 10) ++digits;
    return digits + 1 > kMaxWidth ? kMaxWidth : digits + 1;
}

// A define's value: unsigned types in hexadecimal, others in their default
// text form.
std::string DefineValueText(const CVariableItem& value) {
    char number[16];
    switch (value.GetType()) {
        case kTypeUInt1:
            snprintf(number, sizeof number, "0x%02X", value.getAt_as_ulong(0) & 0xFFu);
            return number;
        case kTypeUInt2:
            snprintf(number, sizeof number, "0x%04X", value.getAt_as_ulong(0) & 0xFFFFu);
            return number;
        case kTypeUInt4:
            snprintf(number, sizeof number, "0x%08X", value.getAt_as_ulong(0));
            return number;
        default: {
            OTSTR text;
            value.getTextAt(0, text);
            return Text(text);
        }
    }
}

// The lines of one Program: the prefix, the tree marks (or blanks), the
// line-number field and the content.
class Printer {
  public:
    Printer(FILE* file, const Program& program, std::string prefix)
        : file(file),
          prefix(std::move(prefix)),
          tree(program.parent == nullptr),
          width(FieldWidth(program)) {}

    // An item's first line, with its line number.
    void Item(long line, const std::string& content) {
        Emit(tree ? kItemMark : kBlockMark, NumberField(line), content);
    }
    // A further line of an item; a negative line leaves the field blank.
    void Continue(long line, const std::string& content) {
        Emit(tree ? kContinueMark : kBlockMark, line < 0 ? std::string(" ") : NumberField(line),
             content);
    }
    void Separator() {
        std::string text = prefix + (tree ? kContinueMark : kBlockMark) + "\n";
        fputs(text.c_str(), file);
    }
    // The prefix of content nested under this Program's items.
    std::string Nested() const { return prefix + (tree ? kContinueMark : kBlockMark); }
    bool IsTree() const { return tree; }
    FILE* File() const { return file; }

    void StatementLines(ProgramItem& item, long line, bool asItem, const std::string& indent);
    void BlockLines(Program& block, long line, bool asItem, const std::string& indent);

  private:
    std::string NumberField(long line) const {
        char field[32];
        snprintf(field, sizeof field, "%0*ld:", width - 1, line);
        return field;
    }
    void Emit(const char* mark, const std::string& field, const std::string& content) {
        std::string text =
            prefix + mark + PadRight(field, static_cast<size_t>(width)) + " " + content + "\n";
        fputs(text.c_str(), file);
    }
    // A body or branch: a block nested as a block, any other statement
    // between braces of the listing's own, indented further.
    void Sub(ProgramItem* sub, const std::string& indent) {
        if (sub == nullptr) return;
        if (sub->ItemKind() == kItemProgram) {
            BlockLines(*static_cast<Program*>(sub), sub->line, false, indent);
            return;
        }
        Continue(-1, indent + "{");
        StatementLines(*sub, sub->line, false, indent + kWrapIndent);
        Continue(-1, indent + "}");
    }

    FILE* file;
    std::string prefix;
    bool tree;
    int width;
};

void PrintItems(Printer& out, Program& program, bool entriesBefore);

// An attribute block: its keyword lines in slot order, then its items.
void PrintAttributeBlock(FILE* file, AttributeDefinition& block, const std::string& prefix) {
    Printer out(file, block, prefix);
    struct Line {
        const NamedObject* target;
        const char* keyword;
        const char* suffix;
    };
    const AttributeSlots& slots = block.slots;
    const Line lines[] = {
        {slots.typeOf, "TypeOF", ""},
        {slots.dumpOr, "DumpOF", " (Or)"},
        {slots.dumpEqual, "DumpOF", " (Equal)"},
        {slots.contentOf, "ContentOF", ""},
        {slots.choiceMap, "ChoiceMap", ""},
    };
    bool printed = false;
    for (const Line& line : lines) {
        if (line.target == nullptr) continue;
        out.Continue(-1,
                     PadRight(line.keyword, 9) + " " + Text(line.target->GetName()) + line.suffix);
        printed = true;
    }
    PrintItems(out, block, printed);
}

void PrintDefine(Printer& out, long line, const NamedValueItem& define) {
    std::string value = define.value != nullptr ? DefineValueText(*define.value) : std::string();
    out.Item(line,
             "#Define " + Text(define.GetName()) + "  " + value + Comment(define.GetDescription()));
}

void PrintEnum(Printer& out, long line, const EnumItem& list) {
    out.Item(line, "Enum " + Text(list.GetName()) + Comment(list.GetDescription()));
    out.Continue(-1, "{");
    size_t nameWidth = 0;
    for (int i = 0; i < list.GetSize(); ++i) {
        std::string name = Text(list.ItemAt(i)->GetName());
        if (!name.empty() && name[0] != '$' && name.size() > nameWidth) nameWidth = name.size();
    }
    for (int i = 0; i < list.GetSize(); ++i) {
        const CVarient& item = *list.ItemAt(i);
        OTSTR valueText;
        item.getText(valueText);
        std::string value = Text(valueText) + (i + 1 < list.GetSize() ? ',' : ' ');
        std::string name = Text(item.GetName());
        std::string text = !name.empty() && name[0] == '$'
                               ? "   " + PadRight(value, 6)
                               : "   " + PadRight(name, nameWidth) + " = " + PadRight(value, 6);
        out.Continue(-1, text + Comment(item.GetDescription()));
    }
    out.Continue(-1, "};");
}

void PrintStruct(Printer& out, long line, StructItem& def, bool owned) {
    const auto* integrated =
        def.attributes != nullptr ? def.attributes->slots.integrated.get() : nullptr;
    std::string head = "struct " + Text(def.GetName());
    if (integrated != nullptr) head += " = " + Text(integrated->GetName());
    out.Item(line, head + (owned ? ' ' : ';') + Comment(def.GetDescription()));
    if (!owned) return;
    out.Continue(-1, "{");
    size_t typeWidth = 0, nameWidth = 0;
    for (int m = 0; m < def.GetMemberCount(); ++m) {
        const VariableDefinition* member = def.GetMember(m);
        if (member->typeName.GetLength() > static_cast<int>(typeWidth))
            typeWidth = static_cast<size_t>(member->typeName.GetLength());
        if (member->GetName().GetLength() > static_cast<int>(nameWidth))
            nameWidth = static_cast<size_t>(member->GetName().GetLength());
    }
    for (int m = 0; m < def.GetMemberCount(); ++m) {
        VariableDefinition* member = def.GetMember(m);
        std::string text = "   " + PadRight(Text(member->typeName), typeWidth) + " " +
                           PadRight(Text(member->GetName()), nameWidth);
        if (member->attributes == nullptr) {
            out.Continue(-1, text + ";" + Comment(member->GetDescription()));
            continue;
        }
        out.Continue(-1, text + " {");
        PrintAttributeBlock(out.File(), *member->attributes, out.Nested() + kWrapIndent);
        out.Continue(-1, "   };" + Comment(member->GetDescription()));
    }
    out.Continue(-1, "};");
    if (integrated != nullptr && def.attributes->ItemCount() > 0) {
        out.Continue(-1, "attribute name = \"" + Text(def.GetName()) + "\"");
        out.Continue(-1, "{");
        PrintAttributeBlock(out.File(), *def.attributes, out.Nested());
        out.Continue(-1, "};");
    }
}

void PrintDeclareMap(Printer& out, long line, const DeclareMap& map) {
    out.Item(line, std::string(map.implicit ? "DeclareMap(ImplicitItem," : "DeclareMap(Item,") +
                       Text(map.GetName()) + ")" + Comment(map.GetDescription()));
    out.Continue(-1, "{");
    auto typeText = [](const VariableDefinition& item) {
        // A TypeOF item keeps the struct but the integrated type's name.
        if (item.structDef != nullptr && item.declaredType != kDeclStruct)
            return Text(item.typeName) + " ( TypeOf " + Text(item.structDef->GetName()) + " )";
        return Text(item.typeName);
    };
    auto tagText = [](const VariableDefinition& item) {
        char tag[24];
        snprintf(tag, sizeof tag, "%ld", static_cast<long>(item.mapTag));
        return std::string(tag);
    };
    size_t nameWidth = 0, tagWidth = 0, typeWidth = 0;
    for (int i = 0; i < map.ItemCount(); ++i) {
        const VariableDefinition& item = *map.ItemAt(i);
        nameWidth = std::max(nameWidth, Text(item.GetName()).size());
        tagWidth = std::max(tagWidth, tagText(item).size());
        typeWidth = std::max(typeWidth, typeText(item).size());
    }
    for (int i = 0; i < map.ItemCount(); ++i) {
        const VariableDefinition& item = *map.ItemAt(i);
        out.Continue(-1, "   " + PadRight(Text(item.GetName()), nameWidth) + " [" +
                             PadLeft(tagText(item), tagWidth) + "] " +
                             PadRight(typeText(item), typeWidth) + Comment(item.GetDescription()));
    }
    out.Continue(-1, "};");
}

void PrintVariable(Printer& out, long line, const VariableDeclaration& var) {
    std::string text = Text(var.typeName) + " " + Text(var.GetName());
    if (!var.initializer.IsEmpty()) text += " = " + Text(var.initializer);
    out.Item(line, text + ";" + Comment(var.GetDescription()));
}

void PrintProcedure(Printer& out, long line, Procedure& procedure, bool owned) {
    if (!owned || procedure.isExtern || procedure.body == nullptr) {
        out.Item(line, Text(procedure.header) + ";");
        return;
    }
    Program& body = *procedure.body;
    out.Item(line, Text(procedure.header));
    out.Continue(-1, "{" + Comment(body.comment));
    PrintProgram(out.File(), body, out.Nested().c_str());
    out.Continue(-1, "}" + Comment(body.comment));
}

void PrintItem(Printer& out, Program& program, int index) {
    ProgramItem* item = program.ItemAt(index);
    long line = program.ItemLine(index);
    switch (item->ItemKind()) {
        case kItemNamedValue:
            PrintDefine(out, line, *static_cast<NamedValueItem*>(item));
            break;
        case kItemEnum:
            PrintEnum(out, line, *static_cast<EnumItem*>(item));
            break;
        case kItemStruct:
            PrintStruct(out, line, *static_cast<StructItem*>(item), program.OwnsEntry(index));
            break;
        case kItemVariable:
            PrintVariable(out, line, *static_cast<VariableDeclaration*>(item));
            break;
        case kItemDeclareMap:
            PrintDeclareMap(out, line, *static_cast<DeclareMap*>(item));
            break;
        case kItemProgram: {
            auto* sub = static_cast<Program*>(item);
            if (sub->parent != nullptr) {
                out.BlockLines(*sub, line, true, std::string());
                break;
            }
            out.Item(line, "#Include \"" + Text(sub->GetName()) + "\"");
            // A file included again is listed under its first #Include only.
            if (program.OwnsEntry(index)) PrintProgram(out.File(), *sub, out.Nested().c_str());
            break;
        }
        case kItemProcedure:
            PrintProcedure(out, line, *static_cast<Procedure*>(item), program.OwnsEntry(index));
            break;
        case kItemExprStatement:
        case kItemWhile:
        case kItemIf:
        case kItemJump:
        case kItemFor:
            out.StatementLines(*item, line, true, std::string());
            break;
        case kItemTypedef: {
            auto* def = static_cast<TypedefItem*>(item);
            std::string target = def->def != nullptr ? Text(def->def->GetName()) : std::string();
            out.Item(line, "typedef  " + target + "  " + Text(def->GetName()) + ";");
            break;
        }
        default:
            break;
    }
}

// The items of program; separators stand before every item of a file
// Program and between the entries of a block (entriesBefore: something of
// the block was printed already).
void PrintItems(Printer& out, Program& program, bool entriesBefore) {
    for (int i = 0; i < program.ItemCount(); ++i) {
        if (out.IsTree() || entriesBefore || i > 0) out.Separator();
        PrintItem(out, program, i);
    }
}

std::string ExpressionText(const ParsedExpression* expression) {
    return expression != nullptr ? Text(expression->text) : std::string();
}

void Printer::BlockLines(Program& block, long line, bool asItem, const std::string& indent) {
    std::string open = indent + "{" + Comment(block.comment);
    if (asItem) {
        Item(line, open);
    } else {
        Continue(line, open);
    }
    PrintProgram(file, block, (Nested() + std::string(indent.size(), ' ')).c_str());
    Continue(-1, indent + "}" + Comment(block.comment));
}

void Printer::StatementLines(ProgramItem& item, long line, bool asItem, const std::string& indent) {
    auto first = [&](const std::string& text, const OTSTR& comment) {
        if (asItem) {
            Item(line, indent + text + Comment(comment));
        } else {
            Continue(line, indent + text + Comment(comment));
        }
    };
    switch (item.ItemKind()) {
        case kItemProgram:
            BlockLines(static_cast<Program&>(item), line, asItem, indent);
            break;
        case kItemExprStatement: {
            auto& s = static_cast<ExprStatement&>(item);
            first(ExpressionText(s.expression.get()) + ";", s.GetDescription());
            break;
        }
        case kItemWhile: {
            auto& s = static_cast<WhileStatement&>(item);
            first("while(" + ExpressionText(s.condition.get()) + ")", s.GetDescription());
            Sub(s.body.get(), indent);
            break;
        }
        case kItemIf: {
            auto& s = static_cast<IfStatement&>(item);
            first("if (" + ExpressionText(s.condition.get()) + ")", s.GetDescription());
            Sub(s.thenStatement.get(), indent);
            if (s.elseStatement != nullptr) {
                Continue(-1, indent + "else");
                Sub(s.elseStatement.get(), indent);
            }
            break;
        }
        case kItemFor: {
            auto& s = static_cast<ForStatement&>(item);
            first("for(" + ExpressionText(s.initial.get()) + ";" +
                      ExpressionText(s.condition.get()) + ";" + ExpressionText(s.step.get()) + ")",
                  s.GetDescription());
            Sub(s.body.get(), indent);
            break;
        }
        case kItemJump: {
            auto& s = static_cast<JumpStatement&>(item);
            const char* word = s.jump == JumpStatement::kBreak      ? "break"
                               : s.jump == JumpStatement::kContinue ? "continue"
                                                                    : "return";
            std::string text = word;
            if (s.value != nullptr) text += " " + ExpressionText(s.value.get());
            first(text + ";", s.GetDescription());
            break;
        }
        default:
            break;
    }
}

}  // namespace

void PrintProgram(FILE* file, Program& program, const char* prefix) {
    if (file == nullptr) return;
    Printer out(file, program, prefix != nullptr ? prefix : "");
    PrintItems(out, program, false);
}

void PrintStatement(FILE* file, ProgramItem& statement, const char* prefix, const Program& owner,
                    int line) {
    if (file == nullptr) return;
    Printer out(file, owner, prefix != nullptr ? prefix : "");
    out.StatementLines(statement, line, true, std::string());
}

bool WriteListing(Program& top, const char* path, bool header) {
    FILE* file = path != nullptr ? vpath::OpenFile(path, "w") : nullptr;
    if (file == nullptr) return true;
    if (header) fputs("Program\n", file);
    PrintProgram(file, top, " ");
    fclose(file);
    return true;
}
