// A configurable plug-in for the loader's tests: CMake builds it several
// times with a different name, version, table and export, and with an
// operation that throws (TEST_THROW_IN_CREATE, _NAME, _TABLE or _CALL).
// Tested through plugins/plugin_list_test.cpp.
#include <new>
#include <stdexcept>

#include "plugins/plugin_interface.h"

namespace {

#ifdef TEST_FUNCTION
int Answer(void*, unsigned, void**) {
#ifdef TEST_THROW_IN_CALL
    throw std::runtime_error("out of order");
#endif
    return TEST_RESULT;
}
#endif

const PlugInFunction kFunctions[] = {
#ifdef TEST_FUNCTION
    {TEST_FUNCTION, Answer},
#endif
    {nullptr, nullptr},
};

class TestPlugIn : public PlugInObject {
  public:
    const char* GetPlugInName(int* version) override {
#ifdef TEST_THROW_IN_NAME
        throw 42;  // not even a std::exception
#endif
        *version = TEST_VERSION;
        return TEST_NAME;
    }
    const PlugInFunction* GetFunctionTable() override {
#ifdef TEST_THROW_IN_TABLE
        throw std::logic_error("no table");
#endif
        return kFunctions;
    }
    void Release() override {}
};

}  // namespace

#ifndef TEST_NO_EXPORT
extern "C" PlugInObject* PlugCreateObject() {
#ifdef TEST_THROW_IN_CREATE
    throw std::bad_alloc();
#endif
    return new (std::nothrow) TestPlugIn;
}
#endif
