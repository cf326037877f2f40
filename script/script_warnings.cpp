// Warnings about a compiled script: one walk over the files in the order the
// compiler read them, after the defines have been gathered.
// Tested by script/script_warnings_test.cpp.
#include "script/script_warnings.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "base/formatted_text.h"
#include "script/attribute_definition.h"
#include "script/procedure.h"
#include "script/program.h"
#include "script/script_items.h"
#include "script/struct_item.h"
#include "types/variable_item.h"
#include "values/cvarient.h"

namespace {

constexpr const char kTranMode[] = "NETWORK_TRANMODE";
constexpr const char kRoot[] = "PROTOCOL_ROOT";

// Names with their letters folded, as the language compares them.
std::string Folded(const OTSTR& name) {
    std::string key(name.GetBuffer(0), static_cast<size_t>(name.GetLength()));
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

// A define's value as text: a string's characters, a number's digits.
OTSTR ValueText(const CVariableItem& value) {
    OTSTR text;
    CVariableItem& item = const_cast<CVariableItem&>(value);
    if (item.GetType() == kTypeOctet) {
        item.getAt(0, text);
    } else {
        item.getTextAt(0, text);
    }
    return text;
}

// A position as the compile errors give it.
OTSTR Position(const char* file, int line) {
    OTSTR text;
    if (*file == 0) {
        text.safeAppends("Ln %d", line);
    } else {
        text.safeAppends("%s : Ln %d", file, line);
    }
    return text;
}

class Walker {
  public:
    Walker(const Program& rootIn, std::vector<OTSTR>& outIn) : root(rootIn), out(outIn) {}

    void GatherDefines(const Program& file) {
        if (!gathered.insert(&file).second) return;
        for (int i = 0; i < file.ItemCount(); ++i) {
            ProgramItem* item = file.ItemAt(i);
            if (item->ItemKind() == kItemNamedValue) {
                auto* define = static_cast<NamedValueItem*>(item);
                defines.emplace(Folded(define->GetName()), define);
            } else if (item->ItemKind() == kItemProgram &&
                       static_cast<Program*>(item)->parent == nullptr) {
                GatherDefines(*static_cast<Program*>(item));
            }
        }
    }

    void Walk(const Program& file) {
        if (!walked.insert(&file).second) return;
        const char* fileName = file.GetName().GetBuffer(0);
        fileOrder.emplace(fileName, fileOrder.size());
        for (int i = 0; i < file.ItemCount(); ++i) {
            ProgramItem* item = file.ItemAt(i);
            int line = static_cast<int>(file.ItemLine(i));
            switch (item->ItemKind()) {
                case kItemNamedValue:
                    Define(fileName, line, *static_cast<NamedValueItem*>(item));
                    break;
                case kItemStruct:
                    Struct(fileName, line, *static_cast<StructItem*>(item));
                    break;
                case kItemProcedure:
                    Parameters(fileName, *static_cast<Procedure*>(item));
                    break;
                case kItemProgram:
                    if (static_cast<Program*>(item)->parent == nullptr)
                        Walk(*static_cast<Program*>(item));
                    break;
                default:
                    break;
            }
        }
    }

    // The defines that expressions wrote in another letter case, then
    // everything in the order of the text, each text once.
    void Finish() {
        for (const Program::DefineCaseUse& use : root.defineCaseUses) {
            Warn(use.file.GetBuffer(0), static_cast<int>(use.line), warnmsg::kDefineInOtherCase,
                 use.written.GetBuffer(0), use.define.GetBuffer(0));
        }
        std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
            if (a.file != b.file) return a.file < b.file;
            if (a.line != b.line) return a.line < b.line;
            return a.seq < b.seq;
        });
        std::unordered_set<std::string> texts;
        for (const Found& f : found) {
            if (texts.insert(f.text.GetBuffer(0)).second) out.push_back(f.text);
        }
    }

  private:
    struct Found {
        size_t file;  // in the order the walk met the files
        int line;
        size_t seq;
        OTSTR text;
    };

    __attribute__((format(printf, 4, 5))) void Warn(const char* file, int line, const char* format,
                                                    ...) {
        va_list args;
        va_start(args, format);
        FormattedText text(format, args);
        va_end(args);
        OTSTR warning = Position(file, line);
        warning.Append(warnmsg::kWarning);
        warning.Append(text.Get());
        auto order = fileOrder.find(file);
        size_t index = order != fileOrder.end() ? order->second : fileOrder.size();
        found.push_back({index, line, found.size(), warning});
    }

    void Define(const char* file, int line, const NamedValueItem& define) {
        const OTSTR& name = define.GetName();
        // Only the define that the decoder and the compiler see counts.
        if (define.value == nullptr || root.FindNamedValue(name.GetBuffer(0)) != define.value)
            return;
        if (name.Compare(kTranMode, false)) {
            OTSTR text = ValueText(*define.value);
            bool highFirst = define.value->GetType() == kTypeOctet && text.Compare("H_TO_L");
            if (!highFirst && !text.Compare("L_TO_H")) {
                Warn(file, line, warnmsg::kTranModeValue, text.GetBuffer(0));
            } else if (highFirst && firstLow != nullptr) {
                Warn(file, line, warnmsg::kTranModeLate, firstLow->GetName().GetBuffer(0),
                     Position(firstLowFile, firstLowLine).GetBuffer(0));
            }
        } else if (name.Compare(kRoot, false)) {
            OTSTR text = ValueText(*define.value);
            if (root.FindStruct(text.GetBuffer(0)) == nullptr)
                Warn(file, line, warnmsg::kRootNoStruct, text.GetBuffer(0));
        }
    }

    // The define that name stands for in expressions, or null.
    const NamedValueItem* DefineNamed(const OTSTR& name) const {
        if (name.IsEmpty() || name.GetBuffer(0)[0] == '$') return nullptr;
        auto found = defines.find(Folded(name));
        return found != defines.end() ? found->second : nullptr;
    }

    void Struct(const char* file, int line, StructItem& def) {
        // A forward declaration and the definition are one struct.
        if (!seen.insert(&def).second) return;
        if (firstLow == nullptr && def.lowByteFirst) {
            firstLow = &def;
            firstLowFile = file;
            firstLowLine = line;
        }
        for (int m = 0; m < def.GetMemberCount(); ++m) {
            const VariableDefinition* member = def.GetMember(m);
            const char* memberName = member->GetName().GetBuffer(0);
            int memberLine = member->memberLine >= 0 ? static_cast<int>(member->memberLine) : line;
            if (member->attributes == nullptr) continue;
            const StructDefinition* typeOf = member->attributes->slots.typeOf;
            if (typeOf != nullptr) {
                Warn(file, memberLine, warnmsg::kTypeOfMember, typeOf->GetName().GetBuffer(0),
                     memberName, member->typeName.GetBuffer(0));
            }
            BlockProcedures(file, *member->attributes);
        }
        if (def.attributes != nullptr) BlockProcedures(file, *def.attributes);
    }

    void BlockProcedures(const char* file, const Program& block) {
        for (int i = 0; i < block.ItemCount(); ++i) {
            ProgramItem* item = block.ItemAt(i);
            if (item->ItemKind() == kItemProcedure)
                Parameters(file, *static_cast<Procedure*>(item));
        }
    }

    void Parameters(const char* file, Procedure& procedure) {
        // Only a body reads its parameters; a declaration and its
        // definition are one procedure.
        if (procedure.body == nullptr || !seen.insert(&procedure).second) return;
        int line = static_cast<int>(procedure.line >= 0 ? procedure.line : procedure.declLine);
        for (int p = 0; p < procedure.parameters.GetMemberCount(); ++p) {
            const VariableDefinition* parameter = procedure.parameters.GetMember(p);
            if (const NamedValueItem* define = DefineNamed(parameter->GetName())) {
                const char* parameterName = parameter->GetName().GetBuffer(0);
                Warn(file, line, warnmsg::kParameterIsDefine, parameterName,
                     procedure.name.GetBuffer(0), define->GetName().GetBuffer(0), parameterName);
            }
        }
    }

    const Program& root;
    std::vector<OTSTR>& out;
    std::unordered_map<std::string, const NamedValueItem*> defines;  // by folded name
    std::unordered_set<const Program*> gathered, walked;
    std::unordered_set<const void*> seen;  // structs and procedures
    std::unordered_map<std::string, size_t> fileOrder;
    std::vector<Found> found;
    // The first struct met that reads numbers low byte first.
    const StructItem* firstLow = nullptr;
    const char* firstLowFile = "";
    int firstLowLine = -1;
};

}  // namespace

void CollectScriptWarnings(const Program& root, std::vector<OTSTR>& out) {
    Walker walker(root, out);
    walker.GatherDefines(root);
    walker.Walk(root);
    walker.Finish();
}
