// The interface between the application and its plug-ins: the plug-in
// object, its function table and the argument block of a plug-in call.
// Shared by the loader and every plug-in. Tested by plugins/plugin_list_test.cpp.
#pragma once

// One plug-in function: non-zero when it handled the call successfully.
using PlugInProc = int (*)(void* reserved, unsigned argc, void** argv);

// One entry of a plug-in's function table; the table ends with a null name.
struct PlugInFunction {
    const char* name;
    PlugInProc function;
};

// The argument block of a plug-in call (argc is kPlugInArgCount): the
// ProtocolDecoder, the ExecuteEnv of the call, the called Procedure and the
// ByteCursor of the message (null when no message is being translated, as in
// the Dump procedures run for the views). All are lent for the duration of
// the call.
enum PlugInArg : unsigned {
    kPlugInDecoder = 0,
    kPlugInEnv = 1,
    kPlugInProcedure = 2,
    kPlugInCursor = 3,
    kPlugInArgCount = 4,
};

// The object a plug-in creates. The slot order of the virtual operations is
// part of the interface: destructor, GetPlugInName, GetFunctionTable, Release.
class PlugInObject {
  public:
    virtual ~PlugInObject() = default;
    // The plug-in's name; version receives the interface version (1).
    virtual const char* GetPlugInName(int* version) {
        (void)version;
        return nullptr;
    }
    // The first entry of the function table, owned by the plug-in.
    virtual const PlugInFunction* GetFunctionTable() = 0;
    // Releases what the plug-in holds; the application never calls it.
    virtual void Release() = 0;
};

// The one export of every plug-in: a new plug-in object, or null.
extern "C" {
using PlugCreateObjectProc = PlugInObject* (*)();
PlugInObject* PlugCreateObject();
}

// The export's name as the loader looks it up.
constexpr const char kPlugCreateObject[] = "PlugCreateObject";
