#include "platform/CsvText.h"

#include "platform/CodePage.h"
#include "platform/OrderedChunks.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace quill;
using namespace quill::test;

namespace {

CsvTable numbers(size_t rows)
{
    CsvTable table;
    table.header = std::string(kUtf8Bom) + "n\r\n";
    table.rows = rows;
    table.appendRows = [](size_t begin, size_t end, std::string& out) {
        for (size_t i = begin; i < end; ++i)
            out += std::to_string(i) + "\r\n";
    };
    return table;
}

std::string numbersText(size_t rows)
{
    std::string text = std::string(kUtf8Bom) + "n\r\n";
    for (size_t i = 0; i < rows; ++i)
        text += std::to_string(i) + "\r\n";
    return text;
}

size_t filesIn(const std::string& folder)
{
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

} // namespace

TEST(CsvText, quotesOnlyWhatNeedsQuotesAndWritesUtf8)
{
    const struct {
        std::string gbkField;
        std::string csv;
    } cases[] = {
        {"plain", "plain"},
        {"", ""},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"line\r\nbreak", "\"line\r\nbreak\""},
        {"lf\nonly", "\"lf\nonly\""},
        {"tab\tand space ", "tab\tand space "},
        {gbk("日志,分析"), "\"日志,分析\""},
        {"\x95\x5C", gbkToUtf8("\x95\x5C")}, // a trail byte 0x5C is no backslash and needs no quotes
        {"\xB0", "\xEF\xBF\xBD"},            // a lone lead byte
    };
    for (const auto& c : cases) {
        std::string out;
        appendCsvField(out, c.gbkField);
        EXPECT_EQ(out, c.csv) << c.gbkField;
    }
}

TEST(CsvText, cellsThatStartLikeAFormulaAreWrittenAsText)
{
    const struct {
        std::string gbkField;
        std::string neutralised;
    } cases[] = {
        // What a spreadsheet would run.
        {"=1+2", "'=1+2"},
        {"=HYPERLINK(\"http://x.test\",\"y\")", "\"'=HYPERLINK(\"\"http://x.test\"\",\"\"y\"\")\""},
        {"+cmd|' /C calc'!A0", "'+cmd|' /C calc'!A0"},
        {"-2+3+cmd", "'-2+3+cmd"},
        {"@SUM(A1:A9)", "'@SUM(A1:A9)"},
        {"\t=1", "'\t=1"},
        {"\r=1", "\"'\r=1\""},
        {"-", "-"}, // the log's empty field
        {"--", "'--"},
        {"-.5", "'-.5"},
        {"+", "'+"},
        {gbk("=日志"), "'=日志"},
        // Values, left as they are.
        {"-12", "-12"},
        {"+3.5", "+3.5"},
        {"a=1", "a=1"},
        {" =1", " =1"},
        {"", ""},
    };
    for (const auto& c : cases) {
        std::string out;
        appendCsvField(out, c.gbkField);
        EXPECT_EQ(out, c.neutralised) << c.gbkField;
        // Verbatim: the same cell without the added quote mark.
        std::string verbatim;
        appendCsvField(verbatim, c.gbkField, CsvCells::Verbatim);
        std::string expected = c.neutralised;
        if (startsLikeFormula(c.gbkField))
            expected.erase(expected.find('\''), 1);
        EXPECT_EQ(verbatim, expected) << c.gbkField;
    }
}

TEST(CsvText, exportWritesAllOrNothing)
{
    TempFolder folder;
    const std::string path = folder.file("list.csv");
    // Progress comes in order, one call at a time, and ends at the last row.
    std::vector<size_t> progress;
    CsvRun run;
    run.progress = [&](size_t rowsDone) { progress.push_back(rowsDone); };
    ASSERT_TRUE(exportCsvFile(numbers(100'000), path, run).ok());
    EXPECT_EQ(readFile(path), numbersText(100'000));
    ASSERT_GT(progress.size(), 1u);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), 100'000u);

    // A cancelled export leaves the earlier file as it was and no temporary file.
    folder.write("keep.csv", "old");
    std::atomic<bool> cancel{true};
    const Status cancelled = exportCsvFile(numbers(100'000), folder.file("keep.csv"), {&cancel, {}});
    EXPECT_EQ(cancelled.message(), kCancelledMessage);
    EXPECT_EQ(readFile(folder.file("keep.csv")), "old");
    EXPECT_EQ(filesIn(folder.path()), 2u);

    // A folder that does not exist, and a folder in place of the file.
    for (const std::string& bad : {folder.file("missing/list.csv"), folder.path()}) {
        const Status failed = exportCsvFile(numbers(10), bad);
        EXPECT_FALSE(failed.ok()) << bad;
        EXPECT_EQ(failed.message().substr(0, 19), "Unable to write to ") << bad;
    }
    EXPECT_EQ(filesIn(folder.path()), 2u);
}

TEST(OrderedChunks, deliversInOrderAndStopsAtTheFirstFailure)
{
    for (size_t count : {0, 1, 2, 3, 1000}) {
        std::string delivered;
        OrderedChunks job;
        job.format = [](size_t index, std::string& out) { out = std::to_string(index) + ";"; };
        job.deliver = [&](const std::string& chunk) {
            delivered += chunk;
            return Status();
        };
        ASSERT_TRUE(runOrderedChunks(count, job).ok());
        std::string expected;
        for (size_t i = 0; i < count; ++i)
            expected += std::to_string(i) + ";";
        EXPECT_EQ(delivered, expected) << count;
    }

    size_t deliveries = 0;
    OrderedChunks failing;
    failing.format = [](size_t, std::string& out) { out = "x"; };
    failing.deliver = [&](const std::string&) {
        return ++deliveries == 3 ? Status::failure("disk full") : Status();
    };
    EXPECT_EQ(runOrderedChunks(1000, failing).message(), "disk full");
    EXPECT_EQ(deliveries, 3u);
}

TEST(CsvText, anExportNameWithoutExtensionGetsCsv)
{
    const struct {
        const char* chosen;
        const char* written;
    } cases[] = {
        {"/tmp/report", "/tmp/report.csv"},
        {"/tmp/report.csv", "/tmp/report.csv"},
        {"/tmp/report.txt", "/tmp/report.txt"},   // the user's own extension is kept
        {"/tmp/a.b/report", "/tmp/a.b/report.csv"}, // a dot in a folder is no extension
        {"/tmp/.hidden", "/tmp/.hidden.csv"},
        {"report", "report.csv"},
        {"C:\\logs\\report", "C:\\logs\\report.csv"},
        {"/tmp/", "/tmp/"}, // no name at all: left for the writer to refuse
    };
    for (const auto& c : cases)
        EXPECT_EQ(withCsvExtension(c.chosen), c.written) << c.chosen;
}
