#include "platform/JsonText.h"

#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace quill;

TEST(JsonText, escapesWhatJsonForbidsAndKeepsTheRest)
{
    const struct {
        std::string text;
        std::string json;
    } cases[] = {
        // plain text and the two characters JSON escapes by name
        {"", "\"\""},
        {"/index.htm", "\"/index.htm\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"C:\\logs\\", "\"C:\\\\logs\\\\\""},
        // control bytes: the short escapes where JSON has one, \u00XX otherwise
        {"\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
        {std::string("a\0b", 3), "\"a\\u0000b\""},
        {"\x01\x1F", "\"\\u0001\\u001f\""},
        // DEL and '/' need no escape
        {"\x7F/", "\"\x7F/\""},
        // UTF-8 passes as it is
        {"日志", "\"日志\""},
    };
    for (const auto& c : cases) {
        std::string out = "x";
        appendJsonString(out, c.text);
        EXPECT_EQ(out, "x" + c.json) << c.text;
    }
}

TEST(JsonText, writesGbkAsValidUtf8WhateverItsBytes)
{
    const struct {
        std::string gbk;
        std::string json;
    } cases[] = {
        {"GET", "\"GET\""},
        {gbk("百度蜘蛛"), "\"百度蜘蛛\""},
        // a trail byte 0x5C is part of a character, not a backslash
        {"\x95\x5C", "\"" + gbkToUtf8("\x95\x5C") + "\""},
        // a lead byte alone at the end, or before a byte that cannot follow it, is U+FFFD
        {"a\xB0", "\"a\xEF\xBF\xBD\""},
        {"\xB0\"", "\"\xEF\xBF\xBD\\\"\""},
        {"\xB0\t", "\"\xEF\xBF\xBD\\t\""},
        {"\xFF", "\"\xEF\xBF\xBD\""},
        // NUL and control bytes among GBK characters stay escaped
        {gbk("日") + std::string("\0\x01", 2), "\"日\\u0000\\u0001\""},
    };
    for (const auto& c : cases) {
        std::string out;
        appendGbkJsonString(out, c.gbk);
        EXPECT_EQ(out, c.json);
        EXPECT_TRUE(isValidUtf8(out));
    }
}

TEST(JsonText, everyByteAloneOrAfterALeadByteGivesValidUtf8)
{
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        for (int next = 0; next <= 0xFF; ++next) {
            std::string out;
            appendGbkJsonString(out, std::string{static_cast<char>(lead), static_cast<char>(next)});
            ASSERT_TRUE(isValidUtf8(out)) << lead << ' ' << next;
            for (char c : out)
                ASSERT_GE(static_cast<unsigned char>(c), 0x20) << lead << ' ' << next;
        }
    }
}
