#pragma once
// The colour identifiers that the list colour boxes offer, and colour values as settings text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// 0x00BBGGRR for a fixed colour; 0xFF000000 + the system colour index for a system colour.
using TColor = std::uint32_t;

inline constexpr TColor clBlack = 0x00000000;
inline constexpr TColor clSkyBlue = 0x00F0CAA6;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

struct ColourName {
    std::string_view name;
    TColor value;
};

// The 52 named colours: 20 fixed colours, then the system colours, clDefault and clNone, in the
// order the colour boxes list them.
const std::vector<ColourName>& colourNameTable();

// The colour's identifier when the table names it, otherwise "$" and eight upper-case hex digits.
std::string colorToString(TColor value);

// An identifier of the table (ASCII case ignored) or an integer as parseInteger reads it; nothing
// for any other text.
std::optional<TColor> stringToColor(std::string_view text);

} // namespace quill
