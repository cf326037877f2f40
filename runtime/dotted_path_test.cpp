// Tests of DottedPath: which texts are cut apart, and into what.
#include "runtime/dotted_path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The steps as "name[subscript]|name|...", or "-" when the text is refused.
std::string Steps(DottedPath& path, const char* text) {
    if (!path.Parse(text)) return path.StepCount() == 0 ? "-" : "refused with steps";
    std::string out;
    for (int s = 0; s < path.StepCount(); ++s) {
        const DottedPath::Step& step = path.StepAt(s);
        if (s > 0) out += "|";
        std::string name = path.NameOf(s);
        EXPECT_EQ(static_cast<int>(name.size()), step.nameLength) << text;
        out += name;
        if (step.subscript >= 0) out += "[" + std::to_string(step.subscript) + "]";
    }
    return out;
}

TEST(DottedPath, CutsPlainNamesWithDigitSubscripts) {
    const std::string longest = "a." + std::string(DottedPath::kMaxLength - 3, 'b');
    const struct {
        std::string text;
        std::string steps;
    } cases[] = {
        {"This.ihl", "This|ihl"},
        {"b[1]", "b[1]"},
        {"a.v[0].x", "a|v[0]|x"},
        {"a[123456789].b", "a[123456789]|b"},
        {longest, "a|" + longest.substr(2)},
        // A lone bare name is no path; an empty name or a stray character
        // leaves the path to the general route.
        {"x", "-"},
        {"", "-"},
        {"[1]", "-"},
        {".a", "-"},
        {"a.", "-"},
        {"a..b", "-"},
        {"a[01]", "-"},
        {"a[1234567890]", "-"},
        {"a[i]", "-"},
        {"a[]", "-"},
        {"a[1]b", "-"},
        {"a[1][2]", "-"},
        {"a.b c", "-"},
        {"f(x).y", "-"},
        {"a.b\t", "-"},
        {longest + "b", "-"},
    };
    DottedPath path;
    for (const auto& c : cases) {
        // The same object is cut again for every text: nothing of the one
        // before may stay.
        EXPECT_EQ(Steps(path, c.text.c_str()), c.steps) << c.text;
    }
}

}  // namespace
