#include "text/GbkText.h"

#include <gtest/gtest.h>

using namespace quill;

TEST(GbkText, placeholder2) { EXPECT_TRUE(containsIgnoreCase("abc", "B")); }
