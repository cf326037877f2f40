// StringArray: owned strings kept in an ObArray.
// Tested by base/string_array_test.cpp.
#include "base/string_array.h"

#include <new>

#include "base/tracer.h"

namespace {

const char kMallocError[] = "StringArray malloc error !";

}  // namespace

class StringArray::OwnedText final : public OTSTR {};

StringArray::StringArray(int count, const char* text) {
    for (int i = 0; i < count; ++i) {
        if (Add(text) != i + 1) break;
    }
}

StringArray::~StringArray() {
    RemoveAll();
}

int StringArray::Add(const char* text, int length) {
    OwnedText* copy = new (std::nothrow) OwnedText();
    if (copy == nullptr) {
        TraceText(kMallocError);
        return strings.GetSize();
    }
    if (text != nullptr) copy->Assign(text, length);
    int before = strings.GetSize();
    if (strings.Add(copy) == before) delete copy;
    return strings.GetSize();
}

int StringArray::Add(const OTSTR& text) {
    return Add(text.GetBuffer(0), text.GetLength());
}

OTSTR& StringArray::GetAt(int index) {
    OwnedText* text = strings.GetAt(index);
    if (text != nullptr) return *text;
    spare.Empty();
    return spare;
}

void StringArray::RemoveAll() {
    for (int i = 0; i < strings.GetSize(); ++i) delete strings.GetAt(i);
    strings.RemoveAll();
}
