// Procedure: building a call's parameters, running the procedure and
// setting its return value. Tested by runtime/execute_env_test.cpp.
#include "script/procedure.h"

#include <new>

#include "base/tracer.h"
#include "runtime/execute_env.h"
#include "runtime/run_time_stk.h"
#include "script/call_arguments.h"
#include "script/program.h"
#include "script/script_messages.h"
#include "types/variable_item.h"
#include "values/cvarient.h"
#include "values/expr_evaluator.h"

namespace {

// "<name><what>", as in "f() fail, setReturn error !".
void TraceName(const OTSTR& name, const char* what) {
    OTSTR text = name;
    text.Append(what);
    TraceText(text.GetBuffer(0));
}

void DeleteItems(ObArray& list) {
    while (list.GetSize() > 0) delete static_cast<CVariableItem*>(list.RemoveLast());
}

void DeleteValues(ObArray& list) {
    while (list.GetSize() > 0) delete static_cast<CVarient*>(list.RemoveLast());
}

}  // namespace

Procedure::~Procedure() {
    delete body;
}

bool Procedure::setReturn(ExecuteEnv& env, CVarient& value) {
    if (returnType == kDeclDynamic) return env.returnValue.assign(value);
    RunTimeStk* top = env.GetTopStk(0);
    return StoreReturn(top != nullptr ? top->FindItem("Return", true, false) : nullptr, value);
}

bool Procedure::StoreReturn(CVariableItem* result, CVarient& value) {
    if (result == nullptr || !result->setAt(0, value)) {
        TraceName(name, scriptmsg::kSetReturnError);
        return false;
    }
    return true;
}

bool Procedure::StoreReturn(CVariableItem* result, const char* text, int32_t length) {
    // What setAt of a value of these bytes does, as setAt of a value reads
    // its bytes.
    if (result == nullptr || !result->setAt(0, text, length)) {
        TraceName(name, scriptmsg::kSetReturnError);
        return false;
    }
    return true;
}

bool Procedure::setReturn(ExecuteEnv& env, const char* text, ExprNode* tree) {
    RunTimeStk* top = env.GetTopStk(0);
    if (returnType == kDeclDynamic) {
        ExprEvaluator evaluator;
        if (top != nullptr) top->BindEvaluator(evaluator);
        bool calculated = tree != nullptr ? evaluator.CalcTree(tree, text, env.returnValue, false)
                                          : evaluator.CalcValue(text, env.returnValue, false);
        if (!calculated) {
            env.returnValue.clear(false);
            TraceName(name, scriptmsg::kSetReturnCalculate);
            return false;
        }
        return true;
    }
    return top != nullptr && top->sets("Return", text);
}

bool Procedure::GenerateProcedureParamsList(const char* args, RunTimeStk* caller, ObArray& params,
                                            ObArray& extras) {
    CallArguments pieces(args);
    return GenerateProcedureParamsList(pieces, caller, params, extras);
}

bool Procedure::GenerateProcedureParamsList(const CallArguments& pieces, RunTimeStk* caller,
                                            ObArray& params, ObArray& extras) {
    return GenerateProcedureParamsList(pieces, caller, params, extras, nullptr);
}

bool Procedure::GenerateProcedureParamsList(const CallArguments& pieces, RunTimeStk* caller,
                                            ObArray& params, ObArray& extras, RunTimeStk* frame) {
    return MakeParams(&pieces, nullptr, caller, params, extras, frame);
}

bool Procedure::GenerateProcedureParamsList(const ElementArguments& args, RunTimeStk* caller,
                                            ObArray& params, ObArray& extras, RunTimeStk* frame) {
    return MakeParams(nullptr, &args, caller, params, extras, frame);
}

namespace {

bool IsSingle(const VariableDefinition& def) {
    return !def.IsBitField() && def.count == 1 && def.structDef == nullptr;
}

}  // namespace

bool Procedure::TakesElementArguments() const {
    if (varArgs || parameters.GetMemberCount() != 3) return false;
    const VariableDefinition* name = parameters.GetMember(0);
    const VariableDefinition* item = parameters.GetMember(1);
    const VariableDefinition* index = parameters.GetMember(2);
    return name != nullptr && item != nullptr && index != nullptr && !name->byAddress &&
           IsSingle(*name) &&
           (name->declaredType == kDeclOctet || name->declaredType == kDeclString) &&
           item->byAddress && !index->byAddress && IsSingle(*index) &&
           index->baseType >= kDeclInt1 && index->baseType <= kDeclUInt4;
}

bool Procedure::MakeParams(const CallArguments* pieces, const ElementArguments* element,
                           RunTimeStk* caller, ObArray& params, ObArray& extras,
                           RunTimeStk* frame) {
    int wanted = parameters.GetMemberCount();
    int given = pieces != nullptr ? pieces->GetSize() : 3;
    bool ok = true;
    if (given < wanted) {
        TraceText(scriptmsg::kParamsTooFew);
        ok = false;
    } else if (given > wanted && !varArgs) {
        TraceText(scriptmsg::kParamsTooMany);
    }
    for (int i = 0; ok && i < wanted; ++i) {
        VariableDefinition* def = parameters.GetMember(i);
        const char* arg = pieces != nullptr ? pieces->GetAt(i) : "";
        CVariableItem* renewed = frame == nullptr ? nullptr
                                 : def->byAddress ? frame->TakeBlank()
                                                  : frame->TakeSpare(def);
        CVariableItem* item = renewed != nullptr ? renewed : new (std::nothrow) CVariableItem;
        bool made = false;
        bool reported = false;
        if (!def->byAddress) {
            if (def->baseType == kDeclDynamic) {
                TraceText(scriptmsg::kParamsDynamicValue);
                reported = true;
            } else {
                // By value: a new item, initialised in the caller's frame;
                // an element's name and index are stored as their literals
                // would store them.
                made = (renewed != nullptr || (item != nullptr && item->create(nullptr, def))) &&
                       (pieces != nullptr ? SetParameter(*item, *pieces, i, caller)
                        : i == 0          ? item->setAt(0, element->name, element->nameLength)
                                          : item->setAt(0, static_cast<uint32_t>(element->index)));
            }
        } else if (caller == nullptr) {
            TraceText(scriptmsg::kParamsNoFrame);
            reported = true;
        } else {
            // By address: an item that shares the caller's storage.
            int32_t idx = element != nullptr ? element->index : -1;
            CVariableItem* source =
                element != nullptr ? element->item : caller->GetItem(arg, pieces->TreeAt(i), &idx);
            if (source == nullptr) {
                OTSTR text;
                text.safeAppends(scriptmsg::kParamsNotIdent, arg);
                TraceText(text.GetBuffer(0));
                reported = true;
            } else {
                made = item != nullptr && item->PassAddressClone(*source, idx, def);
            }
        }
        if (made && params.Add(item) > i) continue;
        if (!reported) TraceText(scriptmsg::kParamsCreate);
        delete item;
        ok = false;
    }
    for (int i = wanted; ok && varArgs && i < given; ++i) {
        CVarient* value = frame != nullptr ? frame->TakeSpareValue() : nullptr;
        if (value == nullptr) value = new (std::nothrow) CVarient;
        if (value == nullptr) {
            TraceText(scriptmsg::kParamsArgList);
            ok = false;
            break;
        }
        if (!SetExtraValue(*value, *pieces, i, caller)) {
            delete value;
            ok = false;
            break;
        }
        extras.Add(value);
    }
    if (ok && returnType != kDeclVoid && returnType != kDeclDynamic) {
        CVariableItem* renewed = frame != nullptr && returnType != kDeclStruct
                                     ? frame->TakeSpare(returnType, "Return", 1)
                                     : nullptr;
        CVariableItem* result = renewed != nullptr ? renewed : new (std::nothrow) CVariableItem;
        bool made = renewed != nullptr ||
                    (result != nullptr &&
                     (returnType == kDeclStruct ? result->create(returnStruct, "Return", 1)
                                                : result->create(returnType, "Return", 1)));
        int before = params.GetSize();
        if (!made || params.Add(result) == before) {
            delete result;
            TraceText(scriptmsg::kParamsCreate);
            ok = false;
        }
    }
    if (!ok) {
        DeleteItems(params);
        DeleteValues(extras);
    }
    return ok;
}

bool Procedure::SetParameter(CVariableItem& item, const CallArguments& args, int i,
                             RunTimeStk* caller) {
    // From the bound value when the argument has one.
    ExprNode* tree = args.TreeAt(i);
    if (tree != nullptr && item.GetCount() == 1 && !item.IsStructItem()) {
        return item.SetsFromTree(tree, CallArguments::BoundText(args.GetAt(i)), caller);
    }
    return item.sets(-1, args.GetAt(i), caller);
}

bool Procedure::SetExtraValue(CVarient& value, const CallArguments& args, int i,
                              RunTimeStk* caller) {
    const char* arg = args.GetAt(i);
    ExprEvaluator evaluator;
    if (caller != nullptr) caller->BindEvaluator(evaluator);
    ExprNode* tree = args.TreeAt(i);
    bool calculated = tree != nullptr ? evaluator.CalcTree(tree, arg, value, false)
                                      : evaluator.CalcValue(arg, value, false);
    if (!calculated) {
        OTSTR text;
        text.safeAppends(scriptmsg::kParamsArgValue, arg);
        TraceText(text.GetBuffer(0));
    }
    return calculated;
}

bool Procedure::Call(ExecuteEnv& env) {
    const char* procName = name.GetBuffer(0);
    if (env.IsTracing()) {
        OTSTR traced;
        traced.safeAppends(scriptmsg::kRunLineEnter, static_cast<long>(declLine),
                           env.text.GetBuffer(0), procName);
        TraceText(traced.GetBuffer(0));
    }
    env.text.AppendChar(' ', 2);
    env.returnValue.clear(false);
    bool ok = true;
    if (!isExtern && body != nullptr) {
        ok = body->Run(env);
        env.returning = false;
    } else if (isExtern && env.CallExternal(this) == 0) {
        TraceName(name, scriptmsg::kCallbackFail);
        ok = false;
    }
    // Back to the indent before the call, in place.
    env.text.Truncate(env.text.GetLength() - 2);
    if (env.IsTracing()) {
        OTSTR traced;
        traced.safeAppends(scriptmsg::kRunLineLeave, static_cast<long>(declLine),
                           env.text.GetBuffer(0), procName);
        TraceText(traced.GetBuffer(0));
    }
    if (!ok) return false;
    if (returnType == kDeclDynamic || returnType == kDeclVoid) return TakeResult(env, nullptr);
    // The return value follows the parameters in the procedure's frame.
    RunTimeStk* top = env.GetTopStk(0);
    CVariableItem* result = nullptr;
    if (top != nullptr) {
        result = top->LocalAt(parameters.GetMemberCount(), "Return");
        if (result == nullptr) result = top->FindItem("Return", true, false);
    }
    return TakeResult(env, result);
}

bool Procedure::TakeResult(ExecuteEnv& env, CVariableItem* result) {
    const char* procName = name.GetBuffer(0);
    if (returnType == kDeclDynamic) {
        if (env.returnValue.HasValue()) return true;
        env.SetLastError(scriptmsg::kNoReturnData, procName);
        return false;
    }
    if (returnType == kDeclVoid) return true;
    if (result == nullptr) {
        TraceName(name, scriptmsg::kReturnIdentMissing);
        return false;
    }
    if (!result->HasValue()) {
        env.SetLastError(scriptmsg::kReturnNotSet, procName);
        return false;
    }
    if (!result->getAt(0, env.returnValue)) {
        env.SetLastError(scriptmsg::kReturnIdentError, procName);
        return false;
    }
    return true;
}
