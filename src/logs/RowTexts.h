#pragma once
// What the record list shows: the texts of a row and the summary line of a load.

#include "logs/RecordStore.h"

#include <array>
#include <cstdint>
#include <string>

namespace quill {

// Text of `column` in list row `row`: the row number for column 0, the agent for column 3, and
// otherwise the record's field through the map it was read with ("-" when absent).
std::string cellText(const RecordStore& store, std::uint32_t row, int column);

std::array<std::string, kColumnCount> rowTexts(const RecordStore& store, std::uint32_t row);

// "用时: 1.234秒   共有 56条记录" in GBK.
std::string summaryLine(std::uint64_t elapsedMs, std::uint64_t count);

// The summary line of a list that shows `shown` of its `total` rows, only the fakes the crawler
// check found: "用时: 1.234秒   共有 3条记录 (只看伪装, 全部 56条)" in GBK.
std::string onlyFakesSummaryLine(std::uint64_t elapsedMs, std::uint64_t shown, std::uint64_t total);

} // namespace quill
