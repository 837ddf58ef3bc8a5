#include "crawlers/CountCrawlerVisits.h"
#include "crawlers/StatisticsCsv.h"
#include "logs/LogTestSupport.h"
#include "logs/RecordsCsv.h"
#include "platform/CodePage.h"
#include "support/Archives.h"
#include "support/RunProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace quill;
using namespace quill::test;

namespace {

ProcessResult cli(std::vector<std::string> args)
{
    args.insert(args.begin(), QUILLMARK_CLI_PATH);
    return runProcess(args);
}

size_t countOf(const std::string& text, char c) { return static_cast<size_t>(std::count(text.begin(), text.end(), c)); }

// "共有 N条记录" of a summary line, as a number.
size_t summaryCount(const std::string& summary, bool raw)
{
    const std::string marker = raw ? gbk("共有 ") : "共有 ";
    const size_t at = summary.find(marker);
    return at == std::string::npos ? 0 : std::stoul(summary.substr(at + marker.size()));
}

} // namespace

TEST(RowOutput, aLeadByteBeforeTabCrOrLfNeverSplitsARowOrAField)
{
    // Every field of the line ends in a lead byte and a control byte; CR and LF end the line
    // where they stand, so they leave shorter lines behind, all of which must print cleanly.
    std::string log = kIis6Header;
    for (const char* control : {"\t", "\r", "\n"}) {
        for (const char* lead : {"\x81", "\xB0", "\xFE"}) {
            std::string line = "2026-12-01 00:00:01 W3SVC1 10.0.0.1 GET /a.htm - 80 - 1.2.3.4 UA 200 0 0 1 2 3 -";
            std::string hostile;
            for (char c : line)
                hostile += c == ' ' ? std::string(lead) + control + " " : std::string(1, c);
            log += hostile + std::string(lead) + control + "\r\n";
            log += iisLine({.stem = std::string("/") + lead + "\t" + lead + "\\x", .agent = std::string("U") + lead + "\t" + "A"});
        }
    }
    TempFolder folder;
    const std::string path = folder.write("hostile.log", log);
    for (const bool raw : {false, true}) {
        std::vector<std::string> args = {"load", "--off", "images", path};
        if (raw)
            args.insert(args.begin() + 1, "--raw");
        const ProcessResult result = cli(args);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const size_t records = summaryCount(result.err, raw);
        ASSERT_GT(records, 6u);
        EXPECT_EQ(countOf(result.out, '\n'), records) << "raw " << raw;
        EXPECT_EQ(countOf(result.out, '\r'), 0u) << "raw " << raw;
        std::istringstream lines(result.out);
        for (std::string line; std::getline(lines, line);)
            EXPECT_EQ(countOf(line, '\t'), 16u) << "raw " << raw << ": " << line;
    }
}

TEST(RowOutput, aBackslashIsEscapedWhereverItStandsInAField)
{
    // Fields are checked eight bytes at a time: a backslash at every place of a word and after.
    std::string log = kIis6Header;
    std::vector<std::string> expected;
    for (size_t at = 0; at < 20; ++at) {
        std::string agent(20, 'a');
        agent[at] = '\\';
        log += iisLine({.stem = "/p" + std::to_string(at) + ".htm", .agent = agent});
        expected.push_back(agent.substr(0, at) + "\\\\" + agent.substr(at + 1));
    }
    TempFolder folder;
    const ProcessResult result = cli({"load", folder.write("slashes.log", log)});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::vector<std::string> agents;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string field;
        for (int column = 0; column <= 3; ++column)
            std::getline(fields, field, '\t');
        agents.push_back(field);
    }
    EXPECT_EQ(agents, expected);
}

TEST(RowOutput, countPrintsTheSummaryLineOnly)
{
    TempFolder folder;
    const std::string log = std::string(kIis6Header) + iisLine({.stem = "/a.htm", .agent = "Baiduspider"}) + iisLine({.stem = "/b.htm"});
    const std::string path = folder.write("ex.log", log);
    const std::string gz = folder.write("ex.log.gz", gzipBytes(log));
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"load", "--count", path},
             {"load", "--count", gz},
             {"load", "--on", "spiders", "--count", path}}) {
        const ProcessResult result = cli(args);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.out.substr(0, 8), "用时: ");
        EXPECT_EQ(countOf(result.out, '\n'), 1u);
        EXPECT_EQ(summaryCount(result.out, false), args[2] == "spiders" ? 1u : 2u) << result.out;
    }
    EXPECT_EQ(cli({"load", "--count", "--csv", path}).exitCode, 2);
    EXPECT_EQ(cli({"load", "--count", folder.file("gone.log")}).exitCode, 1);
}

TEST(RowOutput, csvOutputIsTheExportByteForByte)
{
    TempFolder folder;
    std::string log = kIis6Header;
    log += iisLine({.stem = "/a,b.htm", .agent = "say\"hi\""}) + iisLine({.stem = "/" + gbk("日志") + ".htm", .agent = "Baiduspider"}) +
           iisLine({.stem = "/t\tab.htm", .agent = "\xB0\tX"}) + iisLine({.stem = "/plain.htm"});
    const std::string path = folder.write("ex.log", log);

    LogAnalysis analysis;
    ASSERT_TRUE(analysis.load(path, {}).read());
    EXPECT_TRUE(analysis.clickColumn(1).ok());
    ASSERT_TRUE(exportCsvFile(recordsCsv(analysis.store()), folder.file("page.csv")).ok());

    for (const bool raw : {false, true}) { // CSV is UTF-8 either way
        std::vector<std::string> args = {"load", "--csv", "--click", "1", path};
        if (raw)
            args.push_back("--raw");
        const ProcessResult result = cli(args);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.out, readFile(folder.file("page.csv")));
    }
}

TEST(RowOutput, statsCsvIsThePageExportByteForByte)
{
    TempFolder logs;
    logs.write("ex9.log", "GET / 200 Googlebot\r\nGET / 200 Baiduspider\r\n");
    logs.write("ex10.log.gz", gzipBytes("GET / 200 msnbot\r\n"));
    logs.write("ex11.log.gz", "damaged");
    logs.write(gbk("统,计") + ".log", "Sogou\r\n");

    std::vector<CrawlerFileStats> rows;
    const std::atomic<bool> never{false};
    for (const char* name : {"ex9.log", "ex10.log.gz", "ex11.log.gz"})
        rows.push_back(*countCrawlerVisits(logs.file(name), never));
    rows.push_back(*countCrawlerVisits(logs.file(gbk("统,计") + ".log"), never));
    TempFolder out;
    ASSERT_TRUE(exportCsvFile(statisticsCsv(rows), out.file("stats.csv")).ok());

    const ProcessResult result = cli({"stats", "--csv", logs.path()});
    EXPECT_EQ(result.exitCode, 1); // the damaged archive's row is printed, and the run did not count it
    EXPECT_EQ(result.out, readFile(out.file("stats.csv")));
    EXPECT_NE(result.out.find("\"统,计.log\",0.0K,0,0,0,0,0,1,0,\r\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("ex11.log.gz,0.0K,,,,,,,,\r\n"), std::string::npos) << result.out;
    EXPECT_NE(result.err.find("ex11.log.gz: 压缩文件已损坏"), std::string::npos) << result.err;
}

TEST(RowOutput, csvCellsThatStartLikeAFormulaAreTextUnlessAskedRaw)
{
    TempFolder folder;
    const std::string path =
        folder.write("ex.log", kIis6Header + iisLine({.stem = "/a.htm", .agent = "=HYPERLINK(\"http://evil.test/\",\"x\")"}) +
                                   iisLine({.stem = "/b.htm", .agent = "@SUM(1+1)"}));
    LogAnalysis analysis;
    ASSERT_TRUE(analysis.load(path, {}).read());
    TempFolder logs;
    logs.write("=cmd.log", "GET / 200 Googlebot\r\n");
    std::vector<CrawlerFileStats> rows;
    const std::atomic<bool> never{false};
    rows.push_back(*countCrawlerVisits(logs.file("=cmd.log"), never));

    for (const CsvCells cells : {CsvCells::Neutralised, CsvCells::Verbatim}) {
        const char* option = cells == CsvCells::Neutralised ? "--csv" : "--csv-raw";
        TempFolder out;
        ASSERT_TRUE(exportCsvFile(recordsCsv(analysis.store(), {}, cells), out.file("rows.csv")).ok());
        ASSERT_TRUE(exportCsvFile(statisticsCsv(rows, cells), out.file("stats.csv")).ok());
        const ProcessResult load = cli({"load", option, path});
        EXPECT_EQ(load.exitCode, 0) << option;
        EXPECT_EQ(load.out, readFile(out.file("rows.csv"))) << option;
        const ProcessResult stats = cli({"stats", option, logs.path()});
        EXPECT_EQ(stats.exitCode, 0) << option;
        EXPECT_EQ(stats.out, readFile(out.file("stats.csv"))) << option;
        const bool neutralised = cells == CsvCells::Neutralised;
        EXPECT_EQ(load.out.find(",\"'=HYPERLINK(") != std::string::npos, neutralised) << load.out;
        EXPECT_EQ(load.out.find(",'@SUM(1+1),") != std::string::npos, neutralised) << load.out;
        EXPECT_EQ(stats.out.find("\r\n'=cmd.log,") != std::string::npos, neutralised) << stats.out;
    }
}
