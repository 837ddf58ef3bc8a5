#include "logsource/LogFiles.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace quill;

TEST(LogFiles, naturalOrderIgnoresCaseAndComparesNumbersAsNumbers)
{
    const struct {
        const char* before;
        const char* after;
    } cases[] = {
        {"ex26129.log", "ex261210.log"}, // 9 before 10
        {"ex2.log", "ex10.log"},
        {"a.log", "B.log"},               // case ignored
        {"b.log", "C.LOG"},
        {"ex1.log", "ex1.log.gz"},        // a name before its longer form
        {"ex01.log", "ex2.log"},          // leading zeros: the number counts
        {"EX1.log", "ex1.log"},           // equal but for case: one fixed order
        {"ex01.log", "ex1.log"},          // equal but for zeros: one fixed order
        {"x99999999999999999999.log", "x100000000000000000000.log"}, // beyond 64 bits
        {"log.zip", "log1.zip"},
        {"a-1.log", "a1.log"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(naturalLess(c.before, c.after)) << c.before << " < " << c.after;
        EXPECT_FALSE(naturalLess(c.after, c.before)) << c.after << " !< " << c.before;
    }
    EXPECT_FALSE(naturalLess("same.log", "same.log"));

    // A strict weak order: sorting any shuffle gives one result.
    std::vector<std::string> names = {"ex10.log", "EX9.log", "ex9.log", "ex09.log", "a.log", "A.log", "ex100.log", "b"};
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end(), naturalLess);
    std::reverse(names.begin(), names.end());
    std::sort(names.begin(), names.end(), naturalLess);
    EXPECT_EQ(names, sorted);
}

TEST(LogFiles, theNextDaysLogIsANewNameAfterTheCurrentOne)
{
    const std::vector<std::string> before = {"u_ex261207.log", "u_ex261208.log"};
    const struct {
        std::vector<std::string> now;
        const char* current;
        const char* newer; // empty: none
    } cases[] = {
        {{"u_ex261207.log", "u_ex261208.log", "u_ex261209.log"}, "u_ex261208.log", "u_ex261209.log"},
        {{"U_EX261208.log", "u_ex261207.log", "u_ex261208.log", "u_ex261210.log", "u_ex261209.log"}, "u_ex261208.log",
         "u_ex261210.log"},                                                                  // the latest of several
        {{"u_ex261201.log", "u_ex261207.log", "u_ex261208.log"}, "u_ex261208.log", ""},       // an older day copied in
        {{"u_ex261207.log", "u_ex261208.log"}, "u_ex261208.log", ""},                         // nothing new
        {{"u_ex261207.log"}, "u_ex261208.log", ""},                                           // one gone
        {{"u_ex261207.log", "u_ex261208.log", "u_ex261208.log.gz"}, "u_ex261207.log", "u_ex261208.log.gz"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(newerLogFile(before, c.now, c.current), c.newer) << c.now.size();
}
