// A configurable plug-in for the loader's tests: CMake builds it several
// times with a different name, version, table and export. Tested through
// plugins/plugin_list_test.cpp.
#include <new>

#include "plugins/plugin_interface.h"

namespace {

#ifdef TEST_FUNCTION
int Answer(void*, unsigned, void**) {
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
        *version = TEST_VERSION;
        return TEST_NAME;
    }
    const PlugInFunction* GetFunctionTable() override { return kFunctions; }
    void Release() override {}
};

}  // namespace

#ifndef TEST_NO_EXPORT
extern "C" PlugInObject* PlugCreateObject() {
    return new (std::nothrow) TestPlugIn;
}
#endif
