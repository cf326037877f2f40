// DottedPath: a path of plain names joined by dots, each with a subscript of
// digits or none ("This.ihl", "b[1]", "a.v[0].x"), cut apart once so that
// it can be followed again and again without reading its text.
// Tested by runtime/dotted_path_test.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class DottedPath {
  public:
    // Paths of this many characters or more are not taken.
    static constexpr int kMaxLength = 256;

    struct Step {
        int32_t nameAt;      // where the step's name begins in the names
        int32_t nameLength;  // never 0
        int32_t subscript;   // -1: none
        // Where the member of this name stood when it was last found: among
        // the members (this many) of a struct of that definition. Kept by
        // the one who follows the path.
        mutable const void* hintDef = nullptr;
        mutable int32_t hintCount = -1;
        mutable int32_t hintIndex = -1;
    };

    // Cuts text apart; false (and no steps) when it is not such a path of
    // at least two names or a name with a subscript: a blank, a parenthesis
    // or another character after a name or a subscript, an empty name, a
    // subscript that is not digits (no leading zero, at most nine), a path
    // of kMaxLength characters or more, or a lone bare name.
    bool Parse(const char* text);

    int StepCount() const { return static_cast<int>(steps.size()); }
    const Step& StepAt(int step) const { return steps[static_cast<size_t>(step)]; }
    // The step's name, zero-terminated.
    const char* NameOf(int step) const { return names.c_str() + StepAt(step).nameAt; }

  private:
    std::string names;  // the path with a zero byte after each name
    std::vector<Step> steps;
};
