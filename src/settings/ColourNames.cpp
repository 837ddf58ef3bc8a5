#include "settings/ColourNames.h"

#include "platform/IniFile.h"
#include "platform/GbkText.h"

#include <cstdio>

namespace quill {
namespace {

constexpr ColourValue systemColour(unsigned index) { return 0xFF000000u + index; }

} // namespace

const std::vector<ColourName>& colourNameTable()
{
    static const std::vector<ColourName> table = {
        {"clBlack", kColourBlack},
        {"clMaroon", 0x00000080},
        {"clGreen", 0x00008000},
        {"clOlive", 0x00008080},
        {"clNavy", 0x00800000},
        {"clPurple", 0x00800080},
        {"clTeal", 0x00808000},
        {"clGray", 0x00808080},
        {"clSilver", 0x00C0C0C0},
        {"clRed", 0x000000FF},
        {"clLime", 0x0000FF00},
        {"clYellow", 0x0000FFFF},
        {"clBlue", 0x00FF0000},
        {"clFuchsia", 0x00FF00FF},
        {"clAqua", 0x00FFFF00},
        {"clWhite", 0x00FFFFFF},
        {"clMoneyGreen", 0x00C0DCC0},
        {"clSkyBlue", kColourSkyBlue},
        {"clCream", 0x00F0FBFF},
        {"clMedGray", 0x00A4A0A0},
        {"clActiveBorder", systemColour(10)},
        {"clActiveCaption", systemColour(2)},
        {"clAppWorkSpace", systemColour(12)},
        {"clBackground", systemColour(1)},
        {"clBtnFace", systemColour(15)},
        {"clBtnHighlight", systemColour(20)},
        {"clBtnShadow", systemColour(16)},
        {"clBtnText", systemColour(18)},
        {"clCaptionText", systemColour(9)},
        {"clDefault", kColourDefault},
        {"clGradientActiveCaption", systemColour(27)},
        {"clGradientInactiveCaption", systemColour(28)},
        {"clGrayText", systemColour(17)},
        {"clHighlight", systemColour(13)},
        {"clHighlightText", systemColour(14)},
        {"clHotLight", systemColour(26)},
        {"clInactiveBorder", systemColour(11)},
        {"clInactiveCaption", systemColour(3)},
        {"clInactiveCaptionText", systemColour(19)},
        {"clInfoBk", systemColour(24)},
        {"clInfoText", systemColour(23)},
        {"clMenu", systemColour(4)},
        {"clMenuBar", systemColour(30)},
        {"clMenuHighlight", systemColour(29)},
        {"clMenuText", systemColour(7)},
        {"clNone", kColourNone},
        {"clScrollBar", systemColour(0)},
        {"cl3DDkShadow", systemColour(21)},
        {"cl3DLight", systemColour(22)},
        {"clWindow", systemColour(5)},
        {"clWindowFrame", systemColour(6)},
        {"clWindowText", systemColour(8)},
    };
    return table;
}

std::string colourToText(ColourValue value)
{
    for (const ColourName& colour : colourNameTable())
        if (colour.value == value)
            return std::string(colour.name);
    char text[16];
    std::snprintf(text, sizeof text, "$%08X", static_cast<unsigned>(value));
    return text;
}

std::optional<ColourValue> colourFromText(std::string_view text)
{
    const std::string upper = upperAscii(text);
    for (const ColourName& colour : colourNameTable())
        if (upperAscii(colour.name) == upper)
            return colour.value;
    if (std::optional<std::int32_t> number = parseInteger(text))
        return static_cast<ColourValue>(*number);
    return std::nullopt;
}

} // namespace quill
