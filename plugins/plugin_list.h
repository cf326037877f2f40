// The plug-in list: loads every "*.dl_" library from "PlugIns/" beside the
// executable and routes the script calls that no built-in serves to them.
// Exceptions thrown by a plug-in stop at this boundary. Tested by
// plugins/plugin_list_test.cpp.
#pragma once

#include "base/ob_array.h"
#include "base/otstr.h"
#include "plugins/plugin_interface.h"

// The loader's trace texts and the name of the plug-in that serves every
// script.
namespace pluginmsg {
constexpr const char kVersionError[] = "Load PlugIn '%s' fail: dll version error";
constexpr const char kLoaded[] = "Load PlugIn: '%s'";
constexpr const char kCalled[] = "PlugIn called: %s - %s()";
constexpr const char kServesAll[] = "Morvane";
// A plug-in that throws: at load (its name, or its file before it has one,
// the operation and the exception) and in a call (traced, and the script
// call's error).
constexpr const char kLoadThrew[] = "Load PlugIn '%s' fail: %s() threw %s";
constexpr const char kCallThrew[] = "PlugIn '%s' - %s() threw %s";
constexpr const char kCallFailed[] = "%s() fail, PlugIn '%s' threw %s";
// A plug-in that another user could have changed: its file and why.
constexpr const char kUntrusted[] = "Load PlugIn '%s' refused: %s";
}  // namespace pluginmsg

// One loaded plug-in. Deleting a record unloads it.
struct PlugInRecord {
    PlugInRecord() = default;
    ~PlugInRecord();
    PlugInRecord(const PlugInRecord&) = delete;
    PlugInRecord& operator=(const PlugInRecord&) = delete;

    // The function of the table named exactly name, or null (also when
    // GetFunctionTable throws, which is traced).
    PlugInProc Find(const char* name) const;

    OTSTR name;
    PlugInObject* object = nullptr;
    OTSTR path;
    void* module = nullptr;
};

// Loads the library at path (system form, absolute) into record: false when
// path is relative or names no regular file (links are followed to a regular
// file wherever it lies), when it cannot be loaded, lacks PlugCreateObject,
// creates no object or reports a version below 1; the record then holds no
// library. Refused before it is loaded: a file, or a directory it lies in,
// that a user other than its owner could change (writable by every user, or
// by a group that is not its owner's own private group), or that belongs to
// a user other than root and the one running the program. A
// PlugCreateObject, GetPlugInName or GetFunctionTable that throws fails the
// load. The version failure, the refusal and the exceptions are traced with
// the reason.
bool LoadPlugIn(PlugInRecord& record, const char* path);
// Deletes the plug-in object, then frees the library.
void UnloadPlugIn(PlugInRecord& record);

class PlugInList {
  public:
    PlugInList() = default;
    ~PlugInList();
    PlugInList(const PlugInList&) = delete;
    PlugInList& operator=(const PlugInList&) = delete;

    // Loads every plug-in from "PlugIns/" beside the running executable (its
    // real path, links resolved). Returns the number loaded; a missing
    // directory, or an executable whose directory cannot be found, loads
    // none.
    int LoadPlugIns();
    // Loads every regular "*.dl_" file of dir (system form, absolute, with or
    // without the trailing separator), in name order; a relative dir loads
    // none.
    int LoadPlugInsFrom(const char* dir);
    // Unloads and deletes every record, last loaded first.
    void Clear();

    // Routes one call: the first plug-in in load order named "Morvane" or
    // moduleName (letter case ignored) whose table has functionName (exact)
    // serves it. Its result, or 0 when none has the function. A function
    // that throws returns 0 and, with the argument block, sets the
    // environment's error (kCallFailed).
    int CallPlugIn(const char* moduleName, const char* functionName, unsigned argc, void** argv);

    // The decoder's external-call handler; owner is the PlugInList.
    static int OnExternalCall(void* owner, int argc, void** argv);

    int GetSize() const { return records.GetSize(); }
    PlugInRecord* GetAt(int i) const { return records.GetAt(i); }

  private:
    ObArrayOf<PlugInRecord> records;  // owned
};
