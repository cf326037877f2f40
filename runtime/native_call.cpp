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
#include "types/item_support.h"
#include "types/type_codes.h"
#include "values/expr_evaluator.h"
#include "values/value_type.h"

bool NativeCall::Ready(const ExecuteEnv& env) {
    if (busy || env.IsTracing() || env.externalHook == nullptr) return false;
    if (env.externalHook != resolvedFor) {
        resolvedFor = env.externalHook;
        NativeResolver resolver = procedure->isExtern ? NativeResolverOf(resolvedFor) : nullptr;
        handler = resolver != nullptr ? resolver(*procedure) : nullptr;
        if (handler != nullptr && items == Items::kNotMade) {
            items = MakeItems() ? Items::kMade : Items::kRefused;
        }
        PureResolver pureResolver = handler != nullptr ? PureResolverOf(resolvedFor) : nullptr;
        pure = pureResolver != nullptr && pureResolver(*procedure);
        if (pure && results == nullptr) results.reset(new (std::nothrow) CallResults);
        pure = pure && results != nullptr;
        // Only a result stored as it is read: an INT4 into an INT4.
        ReaderResolver readers = handler != nullptr && procedure->returnType == kDeclInt4 &&
                                         procedure->parameters.GetMemberCount() == 0
                                     ? ReaderResolverOf(resolvedFor)
                                     : nullptr;
        reader = readers != nullptr ? readers(*procedure) : nullptr;
    }
    return handler != nullptr && items == Items::kMade;
}

bool NativeCall::MakeItems() {
    int wanted = procedure->parameters.GetMemberCount();
    for (int i = 0; i < wanted; ++i) {
        VariableDefinition* def = procedure->parameters.GetMember(i);
        if (def == nullptr || def->baseType == kDeclStruct || def->baseType == kDeclChoice ||
            (def->baseType == kDeclDynamic && !def->byAddress)) {
            return false;
        }
        // A by-address item stays blank until a call refers it to a variable.
        std::unique_ptr<CVariableItem> item(new (std::nothrow) CVariableItem);
        if (item == nullptr || (!def->byAddress && !item->create(nullptr, def))) return false;
        anyByAddress = anyByAddress || def->byAddress;
        integers.push_back(!def->byAddress && IsIntegerType(def->baseType) && def->count == 1 &&
                           !def->IsBitField());
        paramList.push_back(item.get());
        params.push_back(std::move(item));
    }
    sources.assign(params.size(), Source{nullptr, -1});
    int32_t type = procedure->returnType;
    if (type == kDeclDynamic || type == kDeclStruct) return false;
    if (type != kDeclVoid) {
        result.reset(new (std::nothrow) CVariableItem);
        if (result == nullptr || !result->create(type, "Return", 1)) return false;
    }
    return true;
}

bool NativeCall::PureIn(const ExecuteEnv& env) const {
    return pure && handler != nullptr && items == Items::kMade && env.externalHook == resolvedFor;
}

bool NativeCall::CollectKey(const ExecuteEnv& env, RunTimeStk& caller, const CallArguments& args,
                            Key& key, int depth) const {
    if (args.GetSize() != static_cast<int>(paramList.size()) && !procedure->varArgs) return false;
    for (int i = 0; i < args.GetSize(); ++i) {
        ExprNode* tree = args.TreeAt(i);
        if (tree == nullptr) return false;
        if (tree->IsLeaf() && tree->literal != nullptr) continue;
        if (tree->IsCall()) {
            const CallArguments* inner = nullptr;
            const NativeCall* site = caller.BoundNativeCall(tree, &inner);
            if (site == nullptr || depth + 1 >= kMaxKeyDepth || !site->PureIn(env) ||
                !site->CollectKey(env, caller, *inner, key, depth + 1)) {
                return false;
            }
            continue;
        }
        if (key.count >= CallResults::kMaxArguments || !tree->IntegerShaped()) return false;
        ExprEvaluator evaluator;
        caller.BindEvaluator(evaluator);
        if (!evaluator.EvaluateInteger(tree, key.words[key.count], key.types[key.count])) {
            return false;
        }
        ++key.count;
    }
    return true;
}

bool NativeCall::ByAddress(int i) const {
    return procedure->parameters.GetMember(i)->byAddress;
}

bool NativeCall::FindSources(RunTimeStk& caller, const CallArguments& args) {
    for (int i = 0; i < static_cast<int>(paramList.size()); ++i) {
        if (!ByAddress(i)) continue;
        int32_t idx = -1;
        CVariableItem* item = caller.BoundItem(args.GetAt(i), args.TreeAt(i), &idx);
        if (item == nullptr || item->IsStructItem() || item->IsChoice()) return false;
        sources[i] = Source{item, idx};
    }
    return true;
}

void NativeCall::Trim() {
    bool made = true;
    for (int i = 0; i < static_cast<int>(params.size()); ++i) {
        if (ByAddress(i) || params[i]->TextBytes() <= TVarient::kKeptTextBytes) continue;
        made = params[i]->create(nullptr, procedure->parameters.GetMember(i)) && made;
    }
    if (result != nullptr && result->TextBytes() > TVarient::kKeptTextBytes) {
        made = result->create(procedure->returnType, "Return", 1) && made;
    }
    // Out of memory: the usual route from now on.
    if (!made) items = Items::kRefused;
}

bool NativeCall::SetIntegerParameter(int i, ExprEvaluator& evaluator, const CallArguments& args) {
    ExprNode* tree = args.TreeAt(i);
    if (!integers[static_cast<size_t>(i)] || tree == nullptr ||
        CallArguments::BoundText(args.GetAt(i)) == nullptr) {
        return false;
    }
    // The nesting that the usual store counts, and refuses beyond its limit.
    ItemNesting nesting;
    uint32_t word = 0;
    int32_t type = kTypeNone;
    return !nesting.TooDeep() && evaluator.EvaluateInteger(tree, word, type) &&
           paramList[static_cast<size_t>(i)]->setAt(0, word);
}

bool NativeCall::ReadInteger(ExecuteEnv& env, const CallArguments& args, uint32_t& word,
                             int32_t& type) {
    if (!Ready(env) || reader == nullptr || args.GetSize() != 0 ||
        env.CallDepth() >= ExecuteEnv::kMaxCallDepth) {
        return false;
    }
    uint32_t readWord = 0;
    int32_t readType = kTypeNone;
    if (!reader(env.hookOwner, env, *procedure, readWord, readType) || readType != kTypeInt4) {
        return false;
    }
    // The return value as the call leaves it: emptied, then the result.
    if (!env.returnValue.ClearToInteger(readWord, readType)) return false;
    word = readWord;
    type = readType;
    return true;
}

bool NativeCall::Run(ExecuteEnv& env, RunTimeStk& caller, const CallArguments& args,
                     CVarient& out) {
    int wanted = static_cast<int>(paramList.size());
    int given = args.GetSize();
    // Counts that the usual call traces or refuses take the usual route.
    if (given < wanted || (given > wanted && !procedure->varArgs) ||
        (anyByAddress && !FindSources(caller, args))) {
        return env.Execute(procedure, args, &out);
    }
    const char* name = procedure->name.GetBuffer(0);
    if (env.CallDepth() >= ExecuteEnv::kMaxCallDepth) {
        env.SetLastError("Execute %s() fail, call nesting too deep", name);
        return false;
    }
    // A pure call whose values were seen lately takes the kept result.
    Key key;
    bool keyed = false;
    if (pure && hits.Look()) {
        keyed = CollectKey(env, caller, args, key, 0);
        const CVarient* kept = keyed ? results->Find(key.words, key.types, key.count) : nullptr;
        if (kept != nullptr) {
            hits.Found();
            return env.returnValue.clone(*kept) && out.clone(*kept);
        }
    }
    // An argument may call this site again before the parameters are
    // complete: that call takes the usual route.
    busy = true;
    bool ok = true;
    ExprEvaluator evaluator;
    caller.BindEvaluator(evaluator);
    for (int i = 0; ok && i < wanted; ++i) {
        const Source& source = sources[i];
        ok = source.item != nullptr
                 ? paramList[i]->PassAddressClone(*source.item, source.idx,
                                                  procedure->parameters.GetMember(i))
                 : SetIntegerParameter(i, evaluator, args) ||
                       Procedure::SetParameter(*paramList[i], args, i, &caller);
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
    // The by-address items let go of the caller's variables.
    for (int i = 0; anyByAddress && i < wanted; ++i) {
        if (sources[i].item == nullptr) continue;
        paramList[i]->clear();
        sources[i] = Source{nullptr, -1};
    }
    Trim();
    busy = false;
    if (ok && keyed) results->Keep(key.words, key.types, key.count, out);
    return ok;
}
