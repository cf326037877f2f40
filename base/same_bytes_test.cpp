// Tests of SameBytes against memcmp.
#include "base/same_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every length up to past the word loads, equal and with one byte changed
// at every place, the runs cut from the ends of their buffers so that a
// load past the last byte shows under the address sanitizer.
TEST(SameBytes, AgreesWithMemcmpAtEveryLengthAndPlace) {
    for (int length = 0; length <= 40; ++length) {
        std::vector<char> a(length), b(length);
        for (int i = 0; i < length; ++i) a[i] = b[i] = static_cast<char>('a' + i % 26);
        EXPECT_TRUE(SameBytes(a.data(), b.data(), length)) << length;
        for (int at = 0; at < length; ++at) {
            for (char other : {'A', '\0', '\xff'}) {
                char kept = b[at];
                b[at] = other;
                bool expected = memcmp(a.data(), b.data(), static_cast<size_t>(length)) == 0;
                EXPECT_EQ(SameBytes(a.data(), b.data(), length), expected) << length << " " << at;
                b[at] = kept;
            }
        }
    }
}

}  // namespace
