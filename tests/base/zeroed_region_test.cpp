#include "base/zeroed_region.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <new>

namespace velunt {
namespace {

TEST(ZeroedRegion, HandsOutZeroedAlignedSpansOneAfterAnotherUntilItIsFull) {
    struct Case {
        size_t count;
        size_t size;
    };
    const Case cases[] = {{1, 1}, {65, 1}, {3, 8}, {100, 32}, {64, 1}, {7, 8}};
    size_t bytes = 0;
    for (const Case& c : cases) bytes += ZeroedRegion::takenBytes(c.count, c.size);
    ZeroedRegion region(bytes);

    const char* endBefore = nullptr;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count * c.size);
        const auto span = region.take<char>(c.count * c.size);
        const auto start = reinterpret_cast<std::uintptr_t>(span.data());
        EXPECT_EQ(start % 64, 0u);
        if (endBefore) {
            EXPECT_GE(span.data(), endBefore);
        }
        EXPECT_TRUE(std::all_of(span.begin(), span.end(), [](char b) { return b == 0; }));
        std::fill(span.begin(), span.end(), '\xff');  // the next span must not see this
        endBefore = span.data() + span.size();
    }
    EXPECT_THROW(region.take<char>(1), std::bad_alloc);
}

}  // namespace
}  // namespace velunt
