#include "logs/SearchForms.h"
#include "logs/KeepTest.h"
#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace quill;

TEST(SearchForms, encodesHighBytesAsGbkAndUtf8AndBlanksBothWays)
{
    const std::string log = gbk("日志");
    struct Case {
        const char* what;
        std::string text;
        bool encoded;
        std::vector<std::string> forms;
    };
    const Case cases[] = {
        {"empty text searches nothing", "", true, {}},
        {"box off: the text alone", log, false, {log}},
        {"Chinese: GBK and UTF-8 escapes", log, true, {log, "%C8%D5%D6%BE", "%E6%97%A5%E5%BF%97"}},
        // letters and digits stay as typed, as browsers leave them
        {"ASCII around Chinese", "a" + log + "1", true, {"a" + log + "1", "a%C8%D5%D6%BE1", "a%E6%97%A5%E5%BF%971"}},
        {"ASCII alone has no other form", "abc.htm", true, {"abc.htm"}},
        {"a blank as + and %20", "a b", true, {"a b", "a+b", "a%20b"}},
        {"blank and Chinese",
         log + " x",
         true,
         {log + " x", "%C8%D5%D6%BE+x", "%C8%D5%D6%BE%20x", "%E6%97%A5%E5%BF%97+x", "%E6%97%A5%E5%BF%97%20x"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(searchForms(c.text, c.encoded), c.forms) << c.what;
}

TEST(SearchForms, keepTestFindsTheEncodedFormsOnlyWithTheBoxOn)
{
    auto line = [](const std::string& query) {
        return "2026-12-01 00:00:01 W3SVC1 10.0.0.1 GET /s.asp " + query + " 80 - 1.2.3.4 Mozilla/4.0 200 0 0 1 2 3 -";
    };
    FilterSnapshot plain;
    plain.search = gbk("日志");
    FilterSnapshot encoded = plain;
    encoded.searchEncoded = true;
    struct Case {
        const char* what;
        std::string query;
        bool keptPlain;
        bool keptEncoded;
    };
    const Case cases[] = {
        {"raw GBK bytes", "q=" + gbk("日志"), true, true},
        {"GBK escapes, upper case", "q=%C8%D5%D6%BE", false, true},
        {"GBK escapes, lower case", "q=%c8%d5%d6%be", false, true},
        {"GBK escapes, mixed case", "q=%C8%d5%D6%bE", false, true},
        {"UTF-8 escapes, upper case", "q=%E6%97%A5%E5%BF%97", false, true},
        {"UTF-8 escapes, lower case", "q=%e6%97%a5%e5%bf%97", false, true},
        // half a word is not the word
        {"first character only", "q=%C8%D5", false, false},
        {"cut short", "q=%E6%97%A5%E5%BF%9", false, false},
        {"another word", "q=%B7%D6%CE%F6", false, false},
    };
    const FieldMap map{};
    for (const Case& c : cases) {
        EXPECT_EQ(keepTest(line(c.query), plain, map).keep, c.keptPlain) << c.what;
        EXPECT_EQ(keepTest(line(c.query), encoded, map).keep, c.keptEncoded) << c.what;
    }
}
