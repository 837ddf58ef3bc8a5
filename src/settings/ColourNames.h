#pragma once
// The colour identifiers that the list colour boxes offer, and colour values as settings text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// 0x00BBGGRR for a fixed colour; 0xFF000000 + the system colour index for a system colour.
using ColourValue = std::uint32_t;

inline constexpr ColourValue kColourBlack = 0x00000000;
inline constexpr ColourValue kColourSkyBlue = 0x00F0CAA6;
inline constexpr ColourValue kColourNone = 0x1FFFFFFF;
inline constexpr ColourValue kColourDefault = 0x20000000;

struct ColourName {
    std::string_view name;
    ColourValue value;
};

// The 52 named colours: 20 fixed colours, then the system colours, kColourDefault and kColourNone, in the
// order the colour boxes list them.
const std::vector<ColourName>& colourNameTable();

// The colour's identifier when the table names it, otherwise "$" and eight upper-case hex digits.
std::string colourToText(ColourValue value);

// An identifier of the table (ASCII case ignored) or an integer as parseInteger reads it; nothing
// for any other text.
std::optional<ColourValue> colourFromText(std::string_view text);

} // namespace quill
