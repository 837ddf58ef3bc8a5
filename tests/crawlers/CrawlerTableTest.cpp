#include "text/GbkText.h"

#include <gtest/gtest.h>

using namespace quill;

TEST(GbkText, placeholder3) { EXPECT_TRUE(containsIgnoreCase("abc", "B")); }
