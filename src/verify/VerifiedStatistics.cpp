#include "verify/VerifiedStatistics.h"

#include "platform/CodePage.h"

namespace quill {
namespace {

constexpr size_t kFirstCountColumn = 2;

void appendLine(std::string& out, const std::vector<std::string>& texts, CsvCells cells)
{
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i > 0)
            out += ',';
        appendCsvField(out, texts[i], cells);
    }
    out += "\r\n";
}

} // namespace

const std::string& verifiedGroupWord(VerifiedGroup group)
{
    static const std::string words[] = {gbk("已验证"), gbk("伪装"), gbk("未验证")};
    return words[static_cast<size_t>(group)];
}

const StatisticsCounts& groupCounts(const VerifiedCounts& counts, VerifiedGroup group)
{
    switch (group) {
    case VerifiedGroup::Verified:
        return counts.verified;
    case VerifiedGroup::Fake:
        return counts.fake;
    case VerifiedGroup::Unchecked:
        break;
    }
    return counts.unchecked;
}

const std::vector<StatisticsListColumn>& verifiedListColumns()
{
    static const std::vector<StatisticsListColumn> columns = [] {
        const auto& described = statisticsListColumns();
        std::vector<StatisticsListColumn> all(described.begin(), described.end());
        all.insert(all.begin() + kFirstCountColumn, StatisticsListColumn{gbk("验证"), 50});
        return all;
    }();
    return columns;
}

std::vector<std::string> verifiedListRowTexts(const VerifiedFileStats& stats, VerifiedGroup group)
{
    std::vector<std::string> texts(verifiedListColumns().size());
    texts[0] = stats.fileName;
    texts[1] = stats.sizeText;
    texts[kFirstCountColumn] = verifiedGroupWord(group);
    if (stats.counts)
        for (int c = 0; c < kStatisticsCountColumns; ++c)
            texts[kFirstCountColumn + 1 + static_cast<size_t>(c)] =
                std::to_string(groupCounts(*stats.counts, group)[static_cast<size_t>(c)]);
    return texts;
}

std::vector<std::string> verifiedStatisticsCaptions()
{
    const auto& columns = statisticsListColumns();
    std::vector<std::string> captions = {columns[0].caption, columns[1].caption};
    for (VerifiedGroup group : kVerifiedGroups)
        for (int c = 0; c < kStatisticsCountColumns; ++c)
            captions.push_back(columns[kFirstCountColumn + static_cast<size_t>(c)].caption + " " + verifiedGroupWord(group));
    return captions;
}

std::vector<std::string> verifiedStatisticsTexts(const VerifiedFileStats& stats)
{
    std::vector<std::string> texts = {stats.fileName, stats.sizeText};
    texts.resize(2 + std::size(kVerifiedGroups) * kStatisticsCountColumns);
    if (!stats.counts)
        return texts;
    size_t at = 2;
    for (VerifiedGroup group : kVerifiedGroups)
        for (std::int64_t count : groupCounts(*stats.counts, group))
            texts[at++] = std::to_string(count);
    return texts;
}

CsvTable verifiedStatisticsCsv(const std::vector<VerifiedFileStats>& rows, CsvCells cells)
{
    CsvTable table;
    table.header = std::string(kUtf8Bom);
    appendLine(table.header, verifiedStatisticsCaptions(), CsvCells::Neutralised);
    table.rows = rows.size();
    table.appendRows = [&rows, cells](size_t begin, size_t end, std::string& out) {
        for (size_t i = begin; i < end; ++i)
            appendLine(out, verifiedStatisticsTexts(rows[i]), cells);
    };
    return table;
}

std::string verifiedStatsProgressText(const VerifiedStatsProgress& progress)
{
    static const std::string file = gbk("文件 ");
    static const std::string verifying = gbk("  验证 ");
    std::string text = file + std::to_string(progress.file) + "/" + std::to_string(progress.files);
    if (progress.toCheck > 0) // while the file is read, nothing is asked yet
        text += verifying + std::to_string(progress.checked * 100 / progress.toCheck) + "%";
    return text;
}

} // namespace quill
