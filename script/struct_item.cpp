// StructItem: a struct definition as an item of a Program, with the
// attribute blocks it owns and its final check.
// Tested by script/definition_compiler_test.cpp.
#include "script/struct_item.h"

#include "script/attribute_definition.h"
#include "script/compile_context.h"
#include "script/script_messages.h"
#include "types/variable_definition.h"

StructItem::~StructItem() {
    for (int i = 0; i < GetMemberCount(); ++i) delete GetMember(i)->attributes;
    attributes.reset();
}

bool StructItem::Check(Program& owner, OTSTR& message) {
    (void)owner;
    message.Empty();
    if (attributes != nullptr && !CompleteAttributes(*attributes, message)) return false;
    const char* failure = nullptr;
    if (!CheckBits(&failure)) {
        message = failure != nullptr ? failure : scriptmsg::kBitsError;
        return false;
    }
    return true;
}
