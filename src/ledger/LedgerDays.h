#pragma once
// Days as the ledger keeps them: the integer yyyymmdd of the log's "date" field (IIS writes it in
// UTC), readable in any SQLite tool and ordered like the dates.

#include <optional>
#include <string>
#include <string_view>

namespace quill {

// 20261201 for "2026-12-01"; nothing for any text that is not a real date of years 1000-9999.
std::optional<int> parseLogDay(std::string_view text);

// "2026-12-01".
std::string dayText(int day);

// Days since 1970-01-01 of a valid yyyymmdd day, and back.
int dayNumber(int day);
int dayFromNumber(int number);

// Days from `from` to `to` (negative when `to` is earlier).
inline int daysBetween(int from, int to) { return dayNumber(to) - dayNumber(from); }

} // namespace quill
