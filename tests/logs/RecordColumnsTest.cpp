#include "logs/RecordColumns.h"
#include "logs/RecordsCsv.h"

#include "logs/LogTestSupport.h"
#include "platform/CodePage.h"
#include "support/RunProcess.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace quill;
using namespace quill::test;

namespace {

// Lines of every awkward shape: short, long, doubled and trailing blanks, GBK, TAB, comma, quote.
std::string awkwardLog()
{
    std::string log = kIis6Header;
    log += iisLine({.stem = "/plain.htm"});
    log += iisLine({.stem = "/" + gbk("日志") + ".htm", .agent = "Mozilla/5.0+(compatible;+Baiduspider/2.0)"});
    log += iisLine({.stem = "/a,b.htm", .agent = "say\"hi\""});
    log += iisLine({.stem = "/tab\there.htm", .agent = "\xB0\tX"});
    log += iisLine({.stem = "/back\\slash.htm", .agent = "\x95\x5C"});
    log += "2026-12-01 00:00:02 W3SVC1 10.0.0.1 GET /short.htm - 80 - 1.2.3.4\r\n";       // 11 tokens
    log += "2026-12-01  00:00:03 W3SVC1 10.0.0.1 GET /double.htm - 80 - 5.6.7.8 UA 404\r\n"; // two blanks
    log += iisLine({.stem = "/trailing.htm "});
    log += iisLine({.stem = std::string(300, 'x'), .agent = std::string(200, 'y')});
    log += "#Fields: date time c-ip cs-uri-stem sc-status cs(User-Agent) cs-method s-ip s-port sc-substatus "
           "sc-win32-status sc-bytes cs-bytes time-taken cs(Referer) cs-uri-query\r\n";
    log += "2026-12-02 00:00:04 9.9.9.9 /remapped.htm 301 Googlebot/2.1 GET 10.0.0.2 443 0 0 1 2 3 http://r/ q=1\r\n";
    return log;
}

} // namespace

TEST(RecordColumns, rowCellsAreTheCellTextsOfEveryRowInAnyOrder)
{
    TempFolder folder;
    LogAnalysis analysis;
    FilterSnapshot filters;
    filters.images = false;
    ASSERT_TRUE(loadBytes(analysis, folder, awkwardLog(), filters).read());
    ASSERT_EQ(analysis.store().count(), 10u);
    for (int click : {0, 1, 3, 15}) {
        EXPECT_TRUE(analysis.clickColumn(click).ok());
        RowCells cells;
        for (std::uint32_t row = 0; row < analysis.store().count(); ++row) {
            rowCells(analysis.store(), row, cells);
            for (int column = 0; column < kColumnCount; ++column)
                EXPECT_EQ(cells.texts[static_cast<size_t>(column)], cellText(analysis.store(), row, column))
                    << "click " << click << " row " << row << " column " << column;
            // Lines with bytes to escape never print as they are; with a comma they never export
            // as they are.
            const std::string_view line = analysis.store().record(analysis.store().recordAt(row)).line();
            const bool escapes = line.find_first_of(std::string_view("\\\t\"\x95\xB0\xC8", 6)) != std::string_view::npos;
            const bool commas = line.find(',') != std::string_view::npos;
            for (size_t column = 1; column < kColumnCount; ++column) {
                EXPECT_EQ(cells.printsAsIs(column), !escapes && (column != kColUserAgent || cells.crawlerRow == 0))
                    << "row " << row << " column " << column;
                EXPECT_EQ(cells.exportsAsIs(column), cells.printsAsIs(column) && !commas) << "row " << row;
            }
        }
    }
}

TEST(RecordColumns, rowsTakenTogetherGiveEachRowItsOwnCells)
{
    // Enough lines that rows far apart after a sort are left in the mapping, and those close
    // together in file order are copied.
    std::string log = awkwardLog();
    for (int i = 0; i < 30000; ++i)
        log += iisLine({.stem = "/page" + std::to_string(i % 977) + ".htm", .timeTaken = std::to_string(i % 113)});
    TempFolder folder;
    LogAnalysis analysis;
    FilterSnapshot filters;
    filters.images = false;
    ASSERT_TRUE(loadBytes(analysis, folder, log, filters).read());
    const RecordStore& store = analysis.store();
    for (int click : {-1, 15, 1}) {
        if (click >= 0) {
            EXPECT_TRUE(analysis.clickColumn(click).ok());
        }
        for (std::uint32_t begin = 0; begin < store.count(); begin += 4096) {
            const std::uint32_t end = std::min<std::uint32_t>(store.count(), begin + 4096);
            RowsText text;
            text.take(store, begin, end);
            RowCells cells;
            for (std::uint32_t row = begin; row < end; ++row) {
                rowCells(store, row, cells, &text);
                for (int column = 0; column < kColumnCount; ++column)
                    ASSERT_EQ(cells.texts[static_cast<size_t>(column)], cellText(store, row, column))
                        << "click " << click << " row " << row << " column " << column;
            }
        }
    }
}

TEST(RecordColumns, rowsOfAFileCutShortAfterTheLoadAreRefused)
{
    TempFolder folder;
    LogAnalysis analysis;
    std::string log = kIis6Header;
    for (int i = 0; i < 2000; ++i)
        log += iisLine({.stem = "/page" + std::to_string(i) + ".htm"});
    ASSERT_TRUE(loadBytes(analysis, folder, log).read());
    ASSERT_EQ(truncate(folder.file("ex.log").c_str(), static_cast<off_t>(log.size() / 2)), 0);
    RowsText text;
    text.take(analysis.store(), 0, analysis.store().count());
    RowCells cells;
    for (std::uint32_t row = 0; row < analysis.store().count(); ++row)
        rowCells(analysis.store(), row, cells, &text); // the rows past the cut read zeros, not a crash
    EXPECT_FALSE(analysis.store().showsLoadedBytes());
}

namespace {

// Python's csv module reads the file back; each row comes out as its fields joined by US (0x1F)
// and records by RS (0x1E), so any byte of a field survives the trip.
std::string readBackCsv(const std::string& csvPath)
{
    const std::string script =
        "import csv, sys\n"
        "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
        "    rows = list(csv.reader(f, strict=True))\n"
        "sys.stdout.buffer.write('\\x1e'.join('\\x1f'.join(r) for r in rows).encode('utf-8'))\n";
    const ProcessResult python = runProcess({"/usr/bin/python3", "-c", script, csvPath});
    EXPECT_EQ(python.exitCode, 0) << python.err;
    return python.out;
}

// The list's captions and cells as readBackCsv gives them; `cells` says how formula starts look.
std::string expectedCsv(const LogAnalysis& analysis, CsvCells cells)
{
    std::string expected;
    const auto& columns = recordColumns();
    for (int column = 0; column < kColumnCount; ++column)
        expected += (column ? "\x1f" : "") + std::string(columns[static_cast<size_t>(column)].caption);
    for (const auto& row : shownRows(analysis)) {
        expected += "\x1e";
        for (size_t column = 0; column < row.size(); ++column) {
            const bool quoted = cells == CsvCells::Neutralised && startsLikeFormula(row[column]);
            expected += (column ? "\x1f" : "") + std::string(quoted ? "'" : "") + gbkToUtf8(row[column]);
        }
    }
    return expected;
}

} // namespace

TEST(RecordColumns, csvExportReadsBackAsTheListShowsIt)
{
    TempFolder folder;
    LogAnalysis analysis;
    FilterSnapshot filters;
    filters.images = false;
    ASSERT_TRUE(loadBytes(analysis, folder, awkwardLog(), filters).read());
    EXPECT_TRUE(analysis.clickColumn(1).ok());
    const std::string csvPath = folder.file("out.csv");
    ASSERT_TRUE(exportCsvFile(recordsCsv(analysis.store()), csvPath).ok());
    EXPECT_EQ(readBackCsv(csvPath), expectedCsv(analysis, CsvCells::Neutralised));
    EXPECT_EQ(readFile(csvPath).substr(0, 3), "\xEF\xBB\xBF");
}

TEST(RecordColumns, csvExportWritesCellsThatStartLikeAFormulaAsText)
{
    // Whoever sends a request chooses its user agent and query, and a log can be forged whole.
    std::string log = kIis6Header;
    log += iisLine({.stem = "/a.htm", .agent = "=HYPERLINK(\"http://evil.test/\",\"x\")"});
    log += iisLine({.stem = "/b.htm", .client = "@1.2.3.4", .agent = "+cmd|'/C+calc'!A0"});
    log += iisLine({.stem = "/c.htm", .client = "1.2.3.4", .agent = "-2+3+cmd|'/C+calc'!A0", .timeTaken = "-15"});
    log += iisLine({.stem = "/d.htm", .client = "=1.2.3.4", .agent = "\t=1+1"});
    log += iisLine({.stem = "/e.htm", .agent = gbk("=日志")});
    log += iisLine({.stem = "/plain.htm"}); // its "-" fields stay as they are
    TempFolder folder;
    LogAnalysis analysis;
    ASSERT_TRUE(loadBytes(analysis, folder, log, {}).read());
    ASSERT_EQ(analysis.store().count(), 6u);
    for (const CsvCells cells : {CsvCells::Neutralised, CsvCells::Verbatim}) {
        const std::string csvPath = folder.file("out.csv");
        ASSERT_TRUE(exportCsvFile(recordsCsv(analysis.store(), {}, cells), csvPath).ok());
        const std::string read = readBackCsv(csvPath);
        EXPECT_EQ(read, expectedCsv(analysis, cells));
        const bool neutralised = cells == CsvCells::Neutralised;
        EXPECT_EQ(read.find("\x1f=HYPERLINK") == std::string::npos, neutralised);
        EXPECT_EQ(read.find("\x1f'=HYPERLINK") != std::string::npos, neutralised);
        EXPECT_EQ(read.find("\x1f'-\x1f"), std::string::npos);
    }
}
