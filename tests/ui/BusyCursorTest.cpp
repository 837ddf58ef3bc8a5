#include "gui/BusyCursor.h"

#include <QApplication>
#include <gtest/gtest.h>

using namespace quill;

TEST(BusyCursor, showsOnlyOverWorkExpectedToBeLong)
{
    EXPECT_FALSE(expectLongLoad(10u << 20, false));
    EXPECT_TRUE(expectLongLoad(1u << 30, false));
    EXPECT_TRUE(expectLongLoad(100u << 20, true));
    EXPECT_FALSE(expectLongSort(10'000));
    EXPECT_TRUE(expectLongSort(4'000'000));
    {
        BusyCursor quick(false);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    {
        BusyCursor slow(true);
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
