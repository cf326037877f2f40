// CallArguments: the arguments of a procedure call, split from the call's
// text at the commas outside brackets and quotes, each piece trimmed. A
// call site that is run again and again keeps its arguments bound: the
// value of each piece parsed once into an expression tree. Tested by
// runtime/execute_env_test.cpp.
#pragma once

#include "base/ob_array.h"
#include "base/otstr.h"

class ExprNode;

class CallArguments {
  public:
    // An empty or blank text has no arguments.
    explicit CallArguments(const char* text);
    ~CallArguments();
    CallArguments(const CallArguments&) = delete;
    CallArguments& operator=(const CallArguments&) = delete;

    int GetSize() const { return count; }
    // The trimmed text of argument i; "" outside the list.
    const char* GetAt(int i) const;
    // The parsed value of argument i, when Bind made one and binding is on;
    // null otherwise (the argument is then read from its text).
    ExprNode* TreeAt(int i) const;
    // An argument's text as the bound value reads it: without the blanks
    // and line breaks before it, as the text route trims it.
    static const char* BoundText(const char* piece);
    // Parses every argument that is a single value once (unless binding
    // is off).
    void Bind();

    // Whether call sites and return values are bound at their first run
    // (on by default). Off, every run reads the texts as before binding
    // existed: the fuzz target that compares the two paths turns it off.
    static bool BindingOn() { return bindingOn; }
    static void SetBinding(bool on) { bindingOn = on; }

  private:
    static constexpr int kFixed = 16;
    static bool bindingOn;
    // A piece that cannot be stored (out of memory) is dropped.
    void Add(const char* piece);

    OTSTR text;  // the pieces, each ended by a zero byte
    const char* fixed[kFixed] = {};
    ObArrayOf<const char>* more = nullptr;
    int count = 0;
    ExprNode** trees = nullptr;  // count entries once bound
};
