#include "base/trim_spaces.h"

#include <gtest/gtest.h>

namespace velunt {
namespace {

TEST(TrimSpaces, RemovesOnlySpaces) {
    EXPECT_EQ(TrimSpaces("  a b  "), "a b");
    EXPECT_EQ(TrimSpaces("\ta\t"), "\ta\t");
    EXPECT_EQ(TrimSpaces("   "), "");
}

}  // namespace
}  // namespace velunt
