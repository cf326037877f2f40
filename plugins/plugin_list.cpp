// The plug-in list: loading the plug-in libraries and routing calls to
// them; the one place where exceptions are caught, since a plug-in is C++
// code the engine does not control. Tested by plugins/plugin_list_test.cpp.
#include "plugins/plugin_list.h"

#include <dlfcn.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "base/path.h"
#include "base/string_array.h"
#include "base/tracer.h"
#include "decoder/protocol_decoder.h"
#include "runtime/execute_env.h"
#include "script/procedure.h"

namespace {

// What the exception being handled is, for the trace and the script error.
// Called from a catch block only.
std::string ThrownText() {
    try {
        throw;
    } catch (const std::exception& e) {
        return std::string("exception '") + e.what() + "'";
    } catch (...) {
        return "an exception of an unknown type";
    }
}

}  // namespace

PlugInRecord::~PlugInRecord() {
    UnloadPlugIn(*this);
}

PlugInProc PlugInRecord::Find(const char* functionName) const {
    if (object == nullptr || functionName == nullptr) return nullptr;
    const PlugInFunction* entry = nullptr;
    try {
        entry = object->GetFunctionTable();
    } catch (...) {
        TraceLine(pluginmsg::kCallThrew, name.GetBuffer(0), "GetFunctionTable",
                  ThrownText().c_str());
        return nullptr;
    }
    for (; entry != nullptr && entry->name != nullptr; ++entry) {
        if (strcmp(entry->name, functionName) == 0) return entry->function;
    }
    return nullptr;
}

namespace {

bool IsAbsolute(const OTSTR& native) {
    return !native.IsEmpty() && native.GetAt(0) == '/';
}

// The library file that an absolute native path names, with every symbolic
// link resolved; empty for a relative path and for anything but a regular
// file (a directory, a FIFO that would block the loader, a device). dlopen
// gets only this absolute path: a name without a slash would send it
// searching the library path, a relative one would depend on the current
// directory.
// Whether gid is the private group of the user uid: that user's primary
// group, with no other member. Write access for it is the owner's own.
bool IsPrivateGroup(uid_t uid, gid_t gid) {
    const struct passwd* user = getpwuid(uid);
    if (user == nullptr || user->pw_gid != gid) return false;
    std::string owner = user->pw_name;
    const struct group* group = getgrgid(gid);
    if (group == nullptr) return false;
    for (char* const* member = group->gr_mem; *member != nullptr; ++member) {
        if (owner != *member) return false;
    }
    return true;
}

// Why the file or directory at path could have been changed by someone
// other than the user running the program or root (as secure shells judge
// key files); empty when it could not.
std::string Untrusted(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return "'" + path + "' cannot be checked";
    char mode[8];
    snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    if (st.st_uid != 0 && st.st_uid != geteuid()) {
        return "'" + path + "' belongs to another user (uid " + std::to_string(st.st_uid) + ")";
    }
    if ((st.st_mode & S_IWOTH) != 0) {
        return "'" + path + "' is writable by every user (mode " + mode + ")";
    }
    if ((st.st_mode & S_IWGRP) != 0 && !IsPrivateGroup(st.st_uid, st.st_gid)) {
        return "'" + path + "' is writable by its group (mode " + mode + ")";
    }
    return std::string();
}

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string LibraryFile(const OTSTR& native) {
    std::string out;
    if (!IsAbsolute(native)) return out;
    char* real = realpath(native.GetBuffer(0), nullptr);
    if (real == nullptr) return out;
    struct stat st;
    if (real[0] == '/' && stat(real, &st) == 0 && S_ISREG(st.st_mode)) out = real;
    free(real);
    return out;
}

}  // namespace

bool LoadPlugIn(PlugInRecord& record, const char* path) {
    UnloadPlugIn(record);
    record.name.Empty();
    if (path == nullptr) return false;
    const OTSTR native = vpath::ToNative(path);
    std::string file = LibraryFile(native);
    if (file.empty()) return false;
    // The file, the directory it lies in and, for a link, the directory of
    // the link.
    std::string why = Untrusted(file);
    if (why.empty()) why = Untrusted(DirectoryOf(file));
    if (why.empty()) why = Untrusted(DirectoryOf(native.GetBuffer(0)));
    if (!why.empty()) {
        TraceLine(pluginmsg::kUntrusted, path, why.c_str());
        return false;
    }
    record.path = path;
    record.module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (record.module == nullptr) {
        record.path.Empty();
        return false;
    }
    auto create = reinterpret_cast<PlugCreateObjectProc>(dlsym(record.module, kPlugCreateObject));
    if (create == nullptr) {
        UnloadPlugIn(record);
        return false;
    }
    // Until it has told its name, a plug-in is named by its file.
    const std::string fileName = file.substr(file.rfind('/') + 1);
    const char* operation = kPlugCreateObject;
    int version = 0;
    try {
        record.object = create();
        if (record.object != nullptr) {
            operation = "GetPlugInName";
            const char* name = record.object->GetPlugInName(&version);
            record.name = name != nullptr ? name : "";
            // The table is asked for once here, so that a plug-in whose
            // table cannot be had is not loaded at all.
            operation = "GetFunctionTable";
            if (version >= 1) record.object->GetFunctionTable();
        }
    } catch (...) {
        std::string thrown = ThrownText();
        OTSTR who = record.name.IsEmpty() ? OTSTR(fileName.c_str()) : record.name;
        UnloadPlugIn(record);
        TraceLine(pluginmsg::kLoadThrew, who.GetBuffer(0), operation, thrown.c_str());
        return false;
    }
    if (record.object == nullptr) {
        UnloadPlugIn(record);
        return false;
    }
    if (version < 1) {
        OTSTR failed = record.name;
        UnloadPlugIn(record);
        TraceLine(pluginmsg::kVersionError, failed.GetBuffer(0));
        return false;
    }
    TraceLine(pluginmsg::kLoaded, record.name.GetBuffer(0));
    return true;
}

void UnloadPlugIn(PlugInRecord& record) {
    if (record.module != nullptr) {
        // The object's destructor runs inside the library: delete it first.
        delete record.object;
        dlclose(record.module);
    }
    record.object = nullptr;
    record.module = nullptr;
    record.path.Empty();
}

PlugInList::~PlugInList() {
    Clear();
}

void PlugInList::Clear() {
    records.DeleteAll();
}

int PlugInList::LoadPlugIns() {
    // Without the executable's directory nothing is loaded: never fall back
    // to the current directory.
    OTSTR dir = vpath::ExecutableDirectory();
    if (dir.IsEmpty() || dir.GetAt(0) != '\\') return 0;
    dir.Append("PlugIns\\");
    return LoadPlugInsFrom(dir.GetBuffer(0));
}

int PlugInList::LoadPlugInsFrom(const char* dir) {
    StringArray names;
    if (dir == nullptr || !IsAbsolute(vpath::ToNative(dir)) ||
        !vpath::ListFiles(dir, "*.dl_", names)) {
        return 0;
    }
    OTSTR prefix = dir;
    if (!prefix.IsEmpty() && prefix.GetAt(prefix.GetLength() - 1) != '\\' &&
        prefix.GetAt(prefix.GetLength() - 1) != '/') {
        prefix.AppendChar('\\');
    }
    int loaded = 0;
    for (int i = 0; i < names.GetSize(); ++i) {
        auto* record = new (std::nothrow) PlugInRecord;
        if (record == nullptr) break;
        OTSTR path = prefix + names[i];
        if (LoadPlugIn(*record, path.GetBuffer(0)) && records.Add(record) >= 0) {
            ++loaded;
        } else {
            delete record;
        }
    }
    return loaded;
}

int PlugInList::CallPlugIn(const char* moduleName, const char* functionName, unsigned argc,
                           void** argv) {
    for (int i = 0; i < records.GetSize(); ++i) {
        PlugInRecord* record = GetAt(i);
        bool servesAll = record->name.Compare(pluginmsg::kServesAll, false);
        if (!servesAll && (moduleName == nullptr || !record->name.Compare(moduleName, false))) {
            continue;
        }
        PlugInProc function = record->Find(functionName);
        if (function == nullptr) continue;
        TraceLine(pluginmsg::kCalled, record->name.GetBuffer(0), functionName);
        try {
            return function(nullptr, argc, argv);
        } catch (...) {
            std::string thrown = ThrownText();
            // The environment's error reaches the trace as well.
            if (argc > kPlugInEnv && argv != nullptr && argv[kPlugInEnv] != nullptr) {
                static_cast<ExecuteEnv*>(argv[kPlugInEnv])
                    ->SetLastError(pluginmsg::kCallFailed, functionName, record->name.GetBuffer(0),
                                   thrown.c_str());
            } else {
                TraceLine(pluginmsg::kCallThrew, record->name.GetBuffer(0), functionName,
                          thrown.c_str());
            }
            return 0;
        }
    }
    return 0;
}

int PlugInList::OnExternalCall(void* owner, int argc, void** argv) {
    if (owner == nullptr || argc < static_cast<int>(kPlugInArgCount) || argv == nullptr) return 0;
    auto* decoder = static_cast<ProtocolDecoder*>(argv[kPlugInDecoder]);
    auto* procedure = static_cast<Procedure*>(argv[kPlugInProcedure]);
    if (decoder == nullptr || procedure == nullptr) return 0;
    return static_cast<PlugInList*>(owner)->CallPlugIn(decoder->protocolName.GetBuffer(0),
                                                       procedure->name.GetBuffer(0),
                                                       static_cast<unsigned>(argc), argv);
}
