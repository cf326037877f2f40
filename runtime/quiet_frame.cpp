#include "runtime/quiet_frame.h"

#include <new>
#include <vector>

#include "runtime/execute_env.h"
#include "runtime/run_time_stk.h"
#include "script/procedure.h"
#include "types/item_support.h"
#include "types/type_codes.h"
#include "types/variable_item.h"
#include "values/cvarient.h"

QuietFrame::QuietFrame(Procedure* procedure) : procedure(procedure) {}

QuietFrame::~QuietFrame() = default;

bool QuietFrame::Make(ExecuteEnv& env, RunTimeStk* parent) {
    frame.reset();
    if (procedure == nullptr || procedure->body == nullptr || procedure->isExtern ||
        procedure->returnType == kDeclVoid || procedure->returnType == kDeclDynamic ||
        procedure->returnType == kDeclStruct) {
        return false;
    }
    std::vector<std::unique_ptr<CVariableItem>> items;
    int count = procedure->parameters.GetMemberCount();
    for (int i = 0; i <= count; ++i) {
        std::unique_ptr<CVariableItem> item(new (std::nothrow) CVariableItem);
        VariableDefinition* def = i < count ? procedure->parameters.GetMember(i) : nullptr;
        bool made = item != nullptr &&
                    (i < count ? def != nullptr && !def->byAddress && item->create(nullptr, def)
                               : item->create(procedure->returnType, "Return", 1));
        if (!made) return false;
        items.push_back(std::move(item));
    }
    frame = RunTimeStk::MakeCallFrame(env, *procedure, parent, std::move(items));
    return frame != nullptr;
}

int QuietFrame::Run(ExecuteEnv& env, const uint32_t* words, int count, CVarient& result) {
    if (busy || count != procedure->parameters.GetMemberCount()) return -1;
    // The parameters are set where a new frame's would be: a nesting too
    // deep for that fails on the usual route, with its messages.
    ItemNesting nesting;
    if (nesting.TooDeep()) return -1;
    RunTimeStk* root = env.GetRoot();
    RunTimeStk* parent = root != nullptr ? root->FindFrameOfProgram(procedure->owner) : nullptr;
    if (parent == nullptr) parent = env.GetTopStk(0) != nullptr ? env.GetTopStk(0) : root;
    // A frame whose variables changed since it was made is made again.
    if (frame == nullptr || frame->env != &env || frame->Layout() != procedure) {
        if (!Make(env, parent)) return -1;
    }
    frame->parent = parent;
    for (int i = 0; i < count; ++i) {
        if (!frame->VariableAt(i)->setAt(0, words[i])) return -1;
    }
    frame->VariableAt(count)->setValueFlag(false);
    busy = true;
    bool ok = env.CallInFrame(procedure, frame.get(), &result);
    busy = false;
    return ok ? 1 : 0;
}
