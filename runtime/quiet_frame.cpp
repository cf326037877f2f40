#include "runtime/quiet_frame.h"

#include <new>

#include "base/ob_array.h"
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
    std::unique_ptr<RunTimeStk> made(new (std::nothrow) RunTimeStk(procedure->body, parent, &env));
    if (made == nullptr) return false;
    ObArray items;
    bool ok = true;
    int count = procedure->parameters.GetMemberCount();
    for (int i = 0; ok && i <= count; ++i) {
        auto* item = new (std::nothrow) CVariableItem;
        VariableDefinition* def = i < count ? procedure->parameters.GetMember(i) : nullptr;
        ok = item != nullptr &&
             (i < count ? def != nullptr && !def->byAddress && item->create(nullptr, def)
                        : item->create(procedure->returnType, "Return", 1));
        int before = items.GetSize();
        if (ok && items.Add(item) == before) ok = false;
        if (!ok) delete item;
    }
    if (!ok) {
        for (int i = 0; i < items.GetSize(); ++i)
            delete static_cast<CVariableItem*>(items.GetAt(i));
        return false;
    }
    if (!made->Prepare(&items, nullptr, true)) return false;
    made->SetLayout(procedure);
    frame = std::move(made);
    return true;
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
