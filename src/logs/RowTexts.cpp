#include "logs/RowTexts.h"

#include "logs/LogTokens.h"
#include "platform/CodePage.h"

#include <cstdio>

namespace quill {

std::string cellText(const RecordStore& store, std::uint32_t row, int column)
{
    if (column == kColRow)
        return std::to_string(row);
    const LogRecord& record = store.record(store.recordAt(row));
    if (column == kColUserAgent)
        return std::string(store.agent(record));
    return std::string(tokenAt(record.line(), store.mapOf(record)[column]));
}

std::array<std::string, kColumnCount> rowTexts(const RecordStore& store, std::uint32_t row)
{
    std::array<std::string, kColumnCount> texts;
    for (int column = 0; column < kColumnCount; ++column)
        texts[static_cast<size_t>(column)] = cellText(store, row, column);
    return texts;
}

std::string summaryLine(std::uint64_t elapsedMs, std::uint64_t count)
{
    static const std::string took = gbk("用时: ");
    static const std::string seconds = gbk("秒   共有 ");
    static const std::string records = gbk("条记录");
    char number[64];
    std::snprintf(number, sizeof number, "%llu.%03llu", static_cast<unsigned long long>(elapsedMs / 1000),
                  static_cast<unsigned long long>(elapsedMs % 1000));
    return took + number + seconds + std::to_string(count) + records;
}

std::string onlyFakesSummaryLine(std::uint64_t elapsedMs, std::uint64_t shown, std::uint64_t total)
{
    static const std::string onlyFakes = gbk(" (只看伪装, 全部 ");
    static const std::string records = gbk("条)");
    return summaryLine(elapsedMs, shown) + onlyFakes + std::to_string(total) + records;
}

} // namespace quill
