#include "settings/ColourNames.h"

#include <gtest/gtest.h>

#include <set>

using namespace quill;

TEST(ColourNames, tableHoldsFiftyTwoDistinctColoursInBoxOrder)
{
    const auto& table = colourNameTable();
    ASSERT_EQ(table.size(), 52u);
    EXPECT_EQ(table.front().name, "clBlack");
    EXPECT_EQ(table[19].name, "clMedGray");
    EXPECT_EQ(table.back().name, "clWindowText");
    std::set<std::string_view> names;
    std::set<ColourValue> values;
    for (const ColourName& colour : table) {
        names.insert(colour.name);
        values.insert(colour.value);
    }
    EXPECT_EQ(names.size(), 52u);
    EXPECT_EQ(values.size(), 52u) << "a value with two names would not write back as itself";
}

TEST(ColourNames, writesIdentifierOrDollarHex)
{
    const std::pair<ColourValue, const char*> cases[] = {
        {0x00000000, "clBlack"},         {0x000000FF, "clRed"},
        {0x00F0CAA6, "clSkyBlue"},       {0x00C0DCC0, "clMoneyGreen"},
        {0x00F0FBFF, "clCream"},         {0x00A4A0A0, "clMedGray"},
        {0xFF000000, "clScrollBar"},     {0xFF000005, "clWindow"},
        {0xFF00000F, "clBtnFace"},       {0xFF00001D, "clMenuHighlight"},
        {0x1FFFFFFF, "clNone"},          {0x20000000, "clDefault"},
        {0x00123456, "$00123456"},       {0x00ABCDEF, "$00ABCDEF"},
        {0xFF000019, "$FF000019"},       {0x00000001, "$00000001"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(colourToText(value), text) << std::hex << value;
}

TEST(ColourNames, readsNamesIgnoringCaseAndIntegers)
{
    const std::pair<const char*, std::optional<ColourValue>> cases[] = {
        {"clSkyBlue", 0x00F0CAA6},  {"CLSKYBLUE", 0x00F0CAA6}, {"clmenuhighlight", 0xFF00001D},
        {"$00123456", 0x00123456},  {"$00abcdef", 0x00ABCDEF}, {"0x10", 0x10},
        {"255", 0xFF},              {"-16777211", 0xFF000005}, {"$FF000005", 0xFF000005},
        {"$XYZ", std::nullopt},     {"", std::nullopt},        {"clSky", std::nullopt},
        {"Red", std::nullopt},      {"$123456789", std::nullopt},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(colourFromText(text), value) << text;
}

TEST(ColourNames, everyWrittenColourReadsBackAsItself)
{
    std::vector<ColourValue> values = {0x00123456, 0x00FFFFFE, 0xFF000019, 0x7FFFFFFF, 0x80000000};
    for (const ColourName& colour : colourNameTable())
        values.push_back(colour.value);
    for (ColourValue value : values)
        EXPECT_EQ(colourFromText(colourToText(value)), value) << colourToText(value);
}
