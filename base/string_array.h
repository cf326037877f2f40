// StringArray: an array of owned OTSTR strings with one spare string that
// stands in for any index out of range. Tested by base/string_array_test.cpp.
#pragma once

#include <cstdint>

#include "base/ob_array.h"
#include "base/otstr.h"

class StringArray {
  public:
    // Holds count copies of text (a null text gives empty strings).
    explicit StringArray(int count = 0, const char* text = nullptr);
    ~StringArray();
    StringArray(const StringArray&) = delete;
    StringArray& operator=(const StringArray&) = delete;

    // Appends a copy of the text (length -1: up to the zero byte) and returns
    // the new count; the count stays as it was when memory runs out.
    int Add(const char* text, int length = -1);
    int Add(const OTSTR& text);

    int GetSize() const { return strings.GetSize(); }
    // The string at index; for an index out of range, the spare string,
    // emptied first.
    OTSTR& GetAt(int index);
    OTSTR& operator[](int index) { return GetAt(index); }

    // Deletes every string.
    void RemoveAll();

  private:
    // The strings the array owns. OTSTR's destructor is not virtual, so the
    // owned objects have a final type of their own to be deleted through.
    class OwnedText;

    ObArrayOf<OwnedText> strings{25};  // owned
    OTSTR spare;
};
