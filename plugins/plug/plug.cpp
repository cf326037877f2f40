// The sample plug-in "plug": adds TimestampToDateStream, which turns seconds
// since 1970-01-01 00:00:00 UTC into a local date and time text. Links the
// engine library only. Tested by plugins/plugin_list_test.cpp.
#include <ctime>
#include <new>

#include "base/otstr.h"
#include "base/tracer.h"
#include "plugins/plugin_interface.h"
#include "runtime/execute_env.h"
#include "runtime/run_time_stk.h"
#include "script/procedure.h"
#include "values/cvarient.h"

namespace {

constexpr const char kGetParamFail[] = "%s() get param fail";
constexpr const char kTimestampError[] = "%s() value of timestamp error";
constexpr const char kSetReturnFail[] = "%s() set return fail";

int TimestampToDateStream(void* reserved, unsigned argc, void** argv) {
    (void)reserved;
    if (argc < kPlugInArgCount || argv == nullptr) return 0;
    auto* env = static_cast<ExecuteEnv*>(argv[kPlugInEnv]);
    auto* procedure = static_cast<Procedure*>(argv[kPlugInProcedure]);
    if (env == nullptr || procedure == nullptr) return 0;
    const char* name = procedure->name.GetBuffer(0);

    long timestamp = 0;
    RunTimeStk* frame = env->GetTopStk(0);
    if (frame == nullptr || !frame->get("timestamp", timestamp, nullptr)) {
        env->SetLastError(kGetParamFail, name);
        return 0;
    }
    if (timestamp < 0) {
        env->SetLastError(kTimestampError, name);
        return 0;
    }
    time_t seconds = static_cast<time_t>(timestamp);
    struct tm local;
    if (localtime_r(&seconds, &local) == nullptr) {
        env->SetLastError(kTimestampError, name);
        return 0;
    }
    OTSTR text;
    text.Format("%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    CVarient value;
    if (!value.set(text) || !procedure->setReturn(*env, value)) {
        env->SetLastError(kSetReturnFail, name);
        return 0;
    }
    return 1;
}

const PlugInFunction kFunctions[] = {
    {"TimestampToDateStream", TimestampToDateStream},
    {nullptr, nullptr},
};

class Plug : public PlugInObject {
  public:
    Plug() { name = "Morvane"; }
    ~Plug() override { Release(); }

    const char* GetPlugInName(int* version) override {
        if (version != nullptr) *version = 1;
        return name.GetBuffer(0);
    }
    const PlugInFunction* GetFunctionTable() override { return kFunctions; }
    void Release() override {
        if (Tracer* tracer = Tracer::inst()) {
            tracer->TRACE_("\nDllFreed", true);
            tracer->close();
        }
    }

    OTSTR name;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) PlugInObject* PlugCreateObject() {
    auto* plug = new (std::nothrow) Plug;
    if (plug == nullptr) return nullptr;
    if (Tracer* tracer = Tracer::inst()) {
        tracer->open(plug, plug->name.GetBuffer(0));
        tracer->TRACE_("DllLoaded\n", true);
    }
    return plug;
}
