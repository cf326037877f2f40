// NativeCall: extern procedures served without a frame. Tested by
// runtime/native_call_test.cpp.
#include "runtime/native_call.h"

#include <new>
#include <utility>

#include "base/tracer.h"
#include "runtime/run_time_stk.h"
#include "script/call_arguments.h"
#include "script/procedure.h"
#include "script/script_messages.h"

bool NativeCall::Ready(const ExecuteEnv& env) {
    if (busy || env.IsTracing() || env.externalHook == nullptr) return false;
    if (env.externalHook != resolvedFor) {
        resolvedFor = env.externalHook;
        NativeResolver resolver = procedure->isExtern ? NativeResolverOf(resolvedFor) : nullptr;
        handler = resolver != nullptr ? resolver(*procedure) : nullptr;
        if (handler != nullptr && items == Items::kNotMade) {
            items = MakeItems() ? Items::kMade : Items::kRefused;
        }
    }
    return handler != nullptr && items == Items::kMade;
}

bool NativeCall::MakeItems() {
    int wanted = procedure->parameters.GetMemberCount();
    for (int i = 0; i < wanted; ++i) {
        VariableDefinition* def = procedure->parameters.GetMember(i);
        if (def == nullptr || def->byAddress || def->baseType == kDeclDynamic ||
            def->baseType == kDeclStruct || def->baseType == kDeclChoice) {
            return false;
        }
        std::unique_ptr<CVariableItem> item(new (std::nothrow) CVariableItem);
        if (item == nullptr || !item->create(nullptr, def)) return false;
        paramList.push_back(item.get());
        params.push_back(std::move(item));
    }
    int32_t type = procedure->returnType;
    if (type == kDeclDynamic || type == kDeclStruct) return false;
    if (type != kDeclVoid) {
        result.reset(new (std::nothrow) CVariableItem);
        if (result == nullptr || !result->create(type, "Return", 1)) return false;
    }
    return true;
}

void NativeCall::Trim() {
    bool made = true;
    for (int i = 0; i < static_cast<int>(params.size()); ++i) {
        if (params[i]->TextBytes() <= TVarient::kKeptTextBytes) continue;
        made = params[i]->create(nullptr, procedure->parameters.GetMember(i)) && made;
    }
    if (result != nullptr && result->TextBytes() > TVarient::kKeptTextBytes) {
        made = result->create(procedure->returnType, "Return", 1) && made;
    }
    // Out of memory: the usual route from now on.
    if (!made) items = Items::kRefused;
}

bool NativeCall::Run(ExecuteEnv& env, RunTimeStk& caller, const CallArguments& args,
                     CVarient& out) {
    int wanted = static_cast<int>(paramList.size());
    int given = args.GetSize();
    // Counts that the usual call traces or refuses take the usual route.
    if (given < wanted || (given > wanted && !procedure->varArgs)) {
        return env.Execute(procedure, args, &out);
    }
    const char* name = procedure->name.GetBuffer(0);
    if (env.CallDepth() >= ExecuteEnv::kMaxCallDepth) {
        env.SetLastError("Execute %s() fail, call nesting too deep", name);
        return false;
    }
    // An argument may call this site again before the parameters are
    // complete: that call takes the usual route.
    busy = true;
    bool ok = true;
    for (int i = 0; ok && i < wanted; ++i) {
        ok = Procedure::SetParameter(*paramList[i], args, i, &caller);
        if (!ok) TraceText(scriptmsg::kParamsCreate);
    }
    int extraCount = given - wanted;
    for (int i = 0; ok && i < extraCount; ++i) {
        if (i == static_cast<int>(extras.size())) {
            std::unique_ptr<CVarient> value(new (std::nothrow) CVarient);
            if (value == nullptr) {
                TraceText(scriptmsg::kParamsArgList);
                ok = false;
                break;
            }
            extraList.push_back(value.get());
            extras.push_back(std::move(value));
        }
        ok = Procedure::SetExtraValue(*extraList[i], args, wanted + i, &caller);
    }
    if (ok) {
        RunTimeStk* root = env.GetRoot();
        RunTimeStk* parent = root != nullptr ? root->FindFrameOfProgram(procedure->owner) : nullptr;
        if (parent == nullptr) parent = env.GetTopStk(0) != nullptr ? env.GetTopStk(0) : root;
        if (result != nullptr) result->setValueFlag(false);
        env.returnValue.clear(false);
        NativeArguments native{paramList.data(), wanted, extraList.data(), extraCount, result.get(),
                               &caller,          parent};
        if (!handler(env.hookOwner, env, *procedure, native)) {
            OTSTR text = procedure->name;
            text.Append(scriptmsg::kCallbackFail);
            TraceText(text.GetBuffer(0));
            ok = false;
        } else {
            ok = procedure->TakeResult(env, result.get()) && out.clone(env.returnValue);
        }
    } else {
        env.SetLastError("Execute %s() fail, generateParamsList error", name);
    }
    for (int i = 0; i < extraCount && i < static_cast<int>(extras.size()); ++i) {
        extraList[i]->clear(false);
    }
    Trim();
    busy = false;
    return ok;
}
