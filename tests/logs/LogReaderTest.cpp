#include "logs/LogTestSupport.h"
#include "logs/LogTokens.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <thread>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using namespace quill;
using namespace quill::test;

namespace {

// The stems of the loaded rows; a regular file is mapped, a pipe is read, and both must agree.
std::vector<std::string> urlsAfterLoading(const std::string& bytes)
{
    TempFolder folder;
    LogAnalysis mapped;
    EXPECT_TRUE(loadBytes(mapped, folder, bytes).read());
    LogAnalysis piped;
    EXPECT_TRUE(loadThroughPipe(piped, folder, bytes).read());
    const std::vector<std::string> urls = columnTexts(mapped, kColUriStem);
    EXPECT_EQ(columnTexts(piped, kColUriStem), urls);
    return urls;
}

// The data lines of `bytes` read one byte at a time as the reader defines them: a line ends at
// CR or LF whatever byte stands before it, and bytes up to 0x20 between lines are skipped.
std::vector<std::string> plainDataLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    size_t i = 0;
    while (i < bytes.size()) {
        size_t end = i;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        const std::string line = bytes.substr(i, end - i);
        if (std::count(line.begin(), line.end(), ' ') >= 9 && line.substr(0, 8).find('#') == std::string::npos)
            lines.push_back(line);
        for (i = end; i < bytes.size() && static_cast<unsigned char>(bytes[i]) <= 0x20;)
            ++i;
    }
    return lines;
}

// The lines of the loaded records, mapped and piped, which must agree.
std::vector<std::string> loadedLines(const std::string& bytes)
{
    std::vector<std::string> lines[2];
    for (bool piped : {false, true}) {
        TempFolder folder;
        LogAnalysis analysis;
        EXPECT_TRUE((piped ? loadThroughPipe(analysis, folder, bytes) : loadBytes(analysis, folder, bytes)).read());
        for (const LogRecord& record : analysis.store().records())
            lines[piped].emplace_back(record.line());
    }
    EXPECT_EQ(lines[0], lines[1]);
    return lines[0];
}

} // namespace

TEST(LogReader, aLeadByteBeforeTabCrOrLfChangesNoLineEnd)
{
    // Every position of a line gets a lead byte followed by TAB, CR or LF; further random pairs
    // and single lead bytes go in between. TAB stays inside its field, CR and LF end the line.
    std::string line = iisLine({.stem = "/a.htm", .agent = "Mozilla/4.0+(compatible)"});
    line.resize(line.size() - 2); // without its CR LF
    const char leads[] = {'\x81', '\xB0', '\xFE'};
    const char seps[] = {'\t', '\r', '\n'};
    std::uint32_t state = 7;
    auto next = [&](std::uint32_t below) { return (state = state * 1103515245 + 12345) / 65536 % below; };
    std::string bytes = kIis6Header;
    for (size_t pos = 0; pos <= line.size(); ++pos) {
        for (char sep : seps) {
            std::string variant = line;
            variant.insert(pos, {leads[next(3)], sep});
            for (std::uint32_t extra = next(3); extra > 0; --extra) {
                const size_t at = next(static_cast<std::uint32_t>(variant.size() + 1));
                if (next(2))
                    variant.insert(at, {leads[next(3)], seps[next(3)]});
                else
                    variant.insert(at, 1, leads[next(3)]);
            }
            bytes += variant + (next(2) ? "\r\n" : "\n");
        }
    }
    const std::vector<std::string> expected = plainDataLines(bytes);
    ASSERT_GT(expected.size(), line.size()); // most variants keep at least one data line
    EXPECT_EQ(loadedLines(bytes), expected);
}

TEST(LogReader, readsLinesAsTheLineReaderDefinesThem)
{
    const std::string header = kIis6Header;
    const std::string a = iisLine({.stem = "/a.htm"});
    const std::string b = iisLine({.stem = "/b.htm"});
    auto bare = [](std::string line) { return line.substr(0, line.size() - 2); };
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> urls;
    };
    const Case cases[] = {
        {"CR LF ends", header + a + b, {"/a.htm", "/b.htm"}},
        {"LF only", header + bare(a) + "\n" + bare(b) + "\n", {"/a.htm", "/b.htm"}},
        {"CR only", header + bare(a) + "\r" + bare(b) + "\r", {"/a.htm", "/b.htm"}},
        {"last line without an end", header + a + bare(b), {"/a.htm", "/b.htm"}},
        {"blank lines and leading blanks between lines are skipped",
         header + a + "\r\n\r\n \t  " + b, {"/a.htm", "/b.htm"}},
        {"0x1A between lines ends the file", header + a + "\x1A" + b, {"/a.htm"}},
        {"0x1A after blanks between lines ends the file", header + a + " \r\n\x1A" + b, {"/a.htm"}},
        {"0x1A inside a line belongs to it", header + bare(a) + "\x1A" + "x\r\n" + b, {"/a.htm", "/b.htm"}},
        {"NUL inside a line belongs to it", header + bare(a) + std::string("\0x", 2) + "\r\n" + b, {"/a.htm", "/b.htm"}},
        {"empty file", "", {}},
        {"only headers", header, {}},
        {"a data line with # in its first 8 characters is dropped", header + "2026#12-01" + a.substr(10) + b,
         {"/b.htm"}},
        {"lines of fewer than 11 tokens are dropped", header + "a b c d e f g h i\r\n" + b, {"/b.htm"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(urlsAfterLoading(c.bytes), c.urls) << c.what;
}

TEST(LogReader, keepsNulBytesOfALineInItsFields)
{
    TempFolder folder;
    LogAnalysis analysis;
    loadBytes(analysis, folder, std::string(kIis6Header) + iisLine({.stem = std::string("/a\0b.htm", 8)}));
    ASSERT_EQ(analysis.store().count(), 1u);
    EXPECT_EQ(cellText(analysis.store(), 0, kColUriStem), std::string("/a\0b.htm", 8));
}

TEST(LogReader, showsTheIis6FieldsInTheirColumns)
{
    TempFolder folder;
    LogAnalysis analysis;
    const std::string line = "2026-12-01 00:00:01 W3SVC1 10.0.0.1 GET /a.htm q=1 80 - 1.2.3.4 "
                             "Mozilla/4.0 200 0 0 1500 300 15 http://r/\r\n";
    loadBytes(analysis, folder, std::string(kIis6Header) + line + iisLine({.stem = "/a.gif"}));
    const std::vector<std::vector<std::string>> expected = {
        {"0", "/a.htm", "q=1", "Mozilla/4.0", "200", "0", "0", "1.2.3.4", "2026-12-01", "00:00:01", "GET",
         "10.0.0.1", "80", "1500", "300", "15", "http://r/"},
    };
    EXPECT_EQ(shownRows(analysis), expected);
}

TEST(LogReader, twoBlanksInARowShiftTheLaterFields)
{
    TempFolder folder;
    LogAnalysis analysis;
    const std::string line = "2026-12-01 00:00:01 W3SVC1 10.0.0.1 GET  /a.htm q=1 80 - 1.2.3.4 "
                             "Mozilla/4.0 200 0 0 1500 300 15 -\r\n";
    loadBytes(analysis, folder, std::string(kIis6Header) + line);
    EXPECT_EQ(cellText(analysis.store(), 0, kColUriStem), "");
    EXPECT_EQ(cellText(analysis.store(), 0, kColUriQuery), "/a.htm");
    EXPECT_EQ(cellText(analysis.store(), 0, kColClientIp), "-");
}

TEST(LogReader, readsHeadersIgnoringCaseAndStartsEachFieldsLineFromACleanMap)
{
    struct Case {
        const char* what;
        std::string header;
        std::vector<std::string> row; // columns 1, 7, 8, 16 of the data line below
    };
    const std::string data = "a b c d e f g h i j k l m n o p q r\r\n";
    const Case cases[] = {
        {"capitals", "#SOFTWARE: MICROSOFT INTERNET INFORMATION SERVICES 7.5\r\n#FIELDS: DATE C-IP CS-URI-STEM\r\n",
         {"c", "b", "a", "-"}},
        {"small letters", "#software: microsoft internet information services 7.5\r\n#fields: date c-ip cs-uri-stem\r\n",
         {"c", "b", "a", "-"}},
        {"a name given twice takes the later position",
         "#Software: Microsoft Internet Information Services 6.0\r\n#Fields: date c-ip date\r\n", {"-", "b", "c", "-"}},
        {"a second Fields line clears the slots it does not name",
         "#Software: Microsoft Internet Information Services 6.0\r\n#Fields: date cs(Referer)\r\n#Fields: c-ip\r\n",
         {"-", "a", "-", "-"}},
        {"without a format a Fields line changes nothing", "#Fields: date c-ip cs-uri-stem\r\n", {"-", "-", "-", "-"}},
        {"Log Parser", "#Software: Microsoft Log Parser\r\n#Fields: DateTime UriStem ClientIpAddress\r\n",
         {"r", "g", "e", "-"}},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        LogAnalysis analysis;
        loadBytes(analysis, folder, c.header + data);
        ASSERT_EQ(analysis.store().count(), 1u) << c.what;
        std::vector<std::string> row;
        for (int column : {kColUriStem, kColClientIp, kColDate, kColReferrer})
            row.push_back(cellText(analysis.store(), 0, column));
        EXPECT_EQ(row, c.row) << c.what;
    }
}

TEST(LogReader, aFieldsLineOfSixFieldsKeepsNothing)
{
    TempFolder folder;
    LogAnalysis analysis;
    auto result = loadBytes(analysis, folder,
                            "#Software: Microsoft Internet Information Services 6.0\r\n"
                            "#Fields: date time c-ip cs-method cs-uri-stem sc-status\r\n"
                            "2026-12-01 00:00:01 1.2.3.4 GET /a.htm 200\r\n");
    EXPECT_TRUE(result.read());
    EXPECT_EQ(analysis.store().count(), 0u);
    EXPECT_EQ(summaryLine(0, analysis.store().count()), gbk("用时: 0.000秒   共有 0条记录"));
}

TEST(LogReader, namesBeyondPosition255MapNothing)
{
    std::string fields = "#Fields:";
    for (int i = 1; i <= 255; ++i)
        fields += " x" + std::to_string(i);
    fields += " c-ip\r\n"; // the 256th field
    TempFolder folder;
    LogAnalysis analysis;
    loadBytes(analysis, folder, "#Software: Microsoft Internet Information Services 6.0\r\n" + fields);
    EXPECT_EQ(analysis.fieldMap()[kColClientIp], 0);
}

TEST(LogReader, dataBeforeAnyHeaderShowsOnlyCrawlerNames)
{
    TempFolder folder;
    LogAnalysis analysis;
    loadBytes(analysis, folder, iisLine({.stem = "/a.htm", .agent = "Baiduspider+(+http://x/)"}) + iisLine({.stem = "/b.htm"}));
    ASSERT_EQ(analysis.store().count(), 2u);
    for (int column = 1; column < kColumnCount; ++column) {
        const std::string first = cellText(analysis.store(), 0, column);
        EXPECT_EQ(first, column == kColUserAgent ? gbk("百度") : "-") << column;
        EXPECT_EQ(cellText(analysis.store(), 1, column), "-") << column;
    }
}

TEST(LogReader, logParserExportSplitsDateTimeAndHasNoUserAgent)
{
    const std::string bytes =
        "#Software: Microsoft Log Parser\r\n"
        "#Fields: LogFilename RecordNumber ComputerName SiteID DateTime ClientIpAddress ServerIpAddress "
        "ServerPort Method ProtocolVersion ProtocolStatus SubStatus TimeTaken BytesSent BytesReceived "
        "Win32Status UriStem UriQuery UserName\r\n"
        "D:\\ex.log 1 WEB 1 2026-12-01 10:20:30 1.2.3.4 10.0.0.1 80 GET HTTP/1.1 200 0 15 1500 300 0 /a.htm q=1 -\r\n"
        "D:\\ex.log 2 WEB 1 2026-12-01 10:20:31 1.2.3.5 10.0.0.1 80 GET HTTP/1.1 200 0 15 1500 300 0 /msnbot.htm - -\r\n";
    TempFolder folder;
    LogAnalysis analysis;
    loadBytes(analysis, folder, bytes);
    const std::vector<std::vector<std::string>> expected = {
        {"0", "/a.htm", "q=1", "-", "200", "0", "0", "1.2.3.4", "2026-12-01", "10:20:30", "GET", "10.0.0.1", "80",
         "1500", "300", "15", "-"},
        {"1", "/msnbot.htm", "-", "MSN", "200", "0", "0", "1.2.3.5", "2026-12-01", "10:20:31", "GET", "10.0.0.1",
         "80", "1500", "300", "15", "-"},
    };
    EXPECT_EQ(shownRows(analysis), expected);
    EXPECT_EQ(analysis.logFormat(), LogFormat::LogParser);
}

// Each record is cut through the field map in effect when its line was read, so the rows above
// a server restart keep their fields when the new header block changes the field order.
TEST(LogReader, rowsKeepTheFieldMapTheyWereReadWith)
{
    const std::string iis7 = "#Software: Microsoft Internet Information Services 7.5\r\n"
                             "#Fields: date time s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip "
                             "cs(User-Agent) cs(Referer) sc-status sc-substatus sc-win32-status sc-bytes cs-bytes "
                             "time-taken\r\n"
                             "2026-12-01 00:00:02 10.0.0.1 GET /seven.htm - 80 - 5.6.7.8 Mozilla/5.0 - 404 0 2 10 20 30\r\n";
    TempFolder folder;
    LogAnalysis analysis;
    loadBytes(analysis, folder, std::string(kIis6Header) + iisLine({.stem = "/six.htm"}) + iis7);
    EXPECT_EQ(columnTexts(analysis, kColUriStem), (std::vector<std::string>{"/six.htm", "/seven.htm"}));
    EXPECT_EQ(columnTexts(analysis, kColStatus), (std::vector<std::string>{"200", "404"}));
    EXPECT_EQ(columnTexts(analysis, kColReferrer), (std::vector<std::string>{"-", "-"}));
    EXPECT_EQ(columnTexts(analysis, kColUserAgent), (std::vector<std::string>{"Mozilla/4.0", "Mozilla/5.0"}));
}

TEST(LogReader, fieldMapAndFormatCarryOverToTheNextLoad)
{
    TempFolder folder;
    LogAnalysis analysis;
    loadBytes(analysis, folder, std::string(kIis6Header) + iisLine({.stem = "/a.htm"}), {}, "first.log");
    loadBytes(analysis, folder, iisLine({.stem = "/b.htm"}), {}, "second.log");
    EXPECT_EQ(columnTexts(analysis, kColUriStem), std::vector<std::string>{"/b.htm"});
    EXPECT_EQ(analysis.logFormat(), LogFormat::IIS);
}

TEST(LogReader, showsDashForFieldsBeyondAShortLine)
{
    TempFolder folder;
    LogAnalysis analysis;
    // 12 tokens with the prefix: the agent at position 11 is the last; 12 and above read "-".
    loadBytes(analysis, folder, std::string(kIis6Header) + "2026-12-01 00:00:01 W3SVC1 10.0.0.1 GET /a.htm - 80 - 1.2.3.4 UA\r\n");
    ASSERT_EQ(analysis.store().count(), 1u);
    EXPECT_EQ(cellText(analysis.store(), 0, kColUserAgent), "UA");
    EXPECT_EQ(cellText(analysis.store(), 0, kColStatus), "-");
    EXPECT_EQ(cellText(analysis.store(), 0, kColReferrer), "-");
    EXPECT_EQ(cellText(analysis.store(), 0, kColClientIp), "1.2.3.4");
}

TEST(LogReader, reportsMissingFilesAndFoldersAsNoFile)
{
    TempFolder folder;
    LogAnalysis analysis;
    loadBytes(analysis, folder, std::string(kIis6Header) + iisLine({.stem = "/a.htm"}));
    ASSERT_EQ(analysis.store().count(), 1u);
    EXPECT_EQ(analysis.load(folder.file("missing.log"), {}).outcome.value(), LogFile::Missing);
    EXPECT_EQ(analysis.store().count(), 0u);
    EXPECT_EQ(analysis.load(folder.path(), {}).outcome.value(), LogFile::Missing);
    EXPECT_EQ(analysis.store().count(), 0u);
    EXPECT_TRUE(analysis.clickColumn(kColDate).ok());
    EXPECT_TRUE(analysis.store().order().empty());
}

TEST(LogReader, namesFileErrorsAsTheWindowShowsThem)
{
    EXPECT_EQ(fileErrorText(EACCES), "File access denied");
    EXPECT_EQ(fileErrorText(EPERM), "File access denied");
    EXPECT_EQ(fileErrorText(EIO), "I/O error 5");
}

TEST(LogReader, refusesAFileWithoutReadPermission)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads any file";
    TempFolder folder;
    const std::string path = folder.write("locked.log", std::string(kIis6Header) + iisLine({.stem = "/a.htm"}));
    chmod(path.c_str(), 0);
    LogAnalysis analysis;
    auto result = analysis.load(path, {});
    EXPECT_FALSE(result.outcome.ok());
    EXPECT_EQ(result.outcome.status().message(), "File access denied");
    EXPECT_EQ(analysis.store().count(), 0u);
}

TEST(LogReader, survivesLongLinesGarbageAndBlankRuns)
{
    std::string longReferrer(20 << 20, 'r');
    std::string garbage;
    std::uint32_t state = 12345;
    for (int i = 0; i < (3 << 20); ++i) {
        state = state * 1103515245 + 12345;
        garbage += static_cast<char>(state >> 24);
    }
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"a 20 MB line with no line end", std::string(kIis6Header) + iisLine({.stem = "/a.htm"}).substr(0, 60) + " " + longReferrer},
        {"binary garbage", std::string(kIis6Header) + garbage + iisLine({.stem = "/a.htm"})},
        {"runs of blanks", std::string(kIis6Header) + std::string(1000, ' ') + "x" + std::string(5 << 20, ' ') + "\r\n"},
        {"a 20 MB line of one character", std::string(20 << 20, 'x')},
    };
    for (const Case& c : cases) {
        for (bool piped : {false, true}) {
            TempFolder folder;
            LogAnalysis analysis;
            auto result = piped ? loadThroughPipe(analysis, folder, c.bytes) : loadBytes(analysis, folder, c.bytes);
            EXPECT_TRUE(result.read()) << c.what;
            const RecordStore& store = analysis.store();
            for (std::uint32_t r = 0; r < store.count(); ++r) {
                ASSERT_EQ(store.recordAt(r), r) << c.what;
                EXPECT_GE(tokenCount(store.record(r).line()), 11u) << c.what;
            }
        }
    }
}

TEST(LogReader, keepsTheWholeOfAVeryLongLine)
{
    const std::string referrer(20 << 20, 'r');
    std::string line = iisLine({.stem = "/a.htm"});
    line.replace(line.size() - 3, 1, referrer); // the last field, "-", becomes 20 MB long
    const std::string bytes = std::string(kIis6Header) + line + iisLine({.stem = "/b.htm"});
    for (bool piped : {false, true}) {
        TempFolder folder;
        LogAnalysis analysis;
        piped ? loadThroughPipe(analysis, folder, bytes) : loadBytes(analysis, folder, bytes);
        ASSERT_EQ(analysis.store().count(), 2u);
        EXPECT_EQ(cellText(analysis.store(), 0, kColReferrer).size(), referrer.size());
        EXPECT_EQ(cellText(analysis.store(), 1, kColUriStem), "/b.htm");
    }
}

TEST(LogReader, readsLinesThatStraddleReadBlocks)
{
    // Several blocks' worth of lines of varied lengths: every line must arrive whole and once.
    std::string bytes = kIis6Header;
    std::vector<std::string> expected;
    for (int i = 0; i < 60000; ++i) {
        std::string stem = "/p" + std::to_string(i) + std::string(static_cast<size_t>(i % 97), 'x') + ".htm";
        bytes += iisLine({.stem = stem});
        if (i % 7 == 0)
            bytes += "\r\n  \r\n";
        expected.push_back(stem);
    }
    EXPECT_EQ(urlsAfterLoading(bytes), expected);
}

TEST(LogReader, aHeaderBlockAfterManyLinesSwitchesTheMapWhereItStands)
{
    std::string bytes = kIis6Header;
    for (int i = 0; i < 40000; ++i)
        bytes += iisLine({.stem = "/six.htm"});
    bytes += "#Software: Microsoft Internet Information Services 7.5\r\n#Fields: c-ip cs-uri-stem\r\n";
    for (int i = 0; i < 40000; ++i)
        bytes += "/seven.htm 1 2 3 4 5 6 7 8 9 10\r\n";
    TempFolder folder;
    LogAnalysis analysis;
    loadBytes(analysis, folder, bytes);
    auto urls = columnTexts(analysis, kColUriStem);
    ASSERT_EQ(urls.size(), 80000u);
    EXPECT_EQ(urls.front(), "/six.htm");
    EXPECT_EQ(urls[39999], "/six.htm");
    EXPECT_EQ(urls[40000], "1");
    EXPECT_EQ(cellText(analysis.store(), 40000, kColClientIp), "/seven.htm");
}

TEST(LogReader, listsLogFilesIgnoringCase)
{
    TempFolder folder;
    for (const char* name : {"a.log", "B.LOG", "c.txt", "d.logx", "e.Log"})
        folder.write(name, "");
    mkdir(folder.file("dir.log").c_str(), 0755);
    auto names = listLogFiles(folder.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"B.LOG", "a.log", "dir.log", "e.Log"}));
    EXPECT_TRUE(listLogFiles(folder.file("missing")).empty());
}

TEST(LogReader, readsLinesBeyondTheFourGibMarkOfASparseFile)
{
    TempFolder folder;
    const std::string path = folder.write("big.log", std::string(kIis6Header) + iisLine({.stem = "/before.htm"}));
    const off_t hole = (off_t(4) << 30) + 12345;
    ASSERT_EQ(truncate(path.c_str(), hole), 0);
    {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out << iisLine({.stem = "/after.htm"}) << iisLine({.stem = "/last.htm"});
    }
    LogAnalysis analysis;
    ASSERT_TRUE(analysis.load(path, {}).read());
    EXPECT_EQ(columnTexts(analysis, kColUriStem), (std::vector<std::string>{"/before.htm", "/after.htm", "/last.htm"}));
}

TEST(LogReader, staysConsistentWhenTheFileIsTruncatedOrDeletedWhileRead)
{
    std::string bytes = kIis6Header;
    while (bytes.size() < (40u << 20))
        bytes += iisLine({.stem = "/page.htm"});
    for (bool deleteIt : {false, true}) {
        TempFolder folder;
        const std::string path = folder.write("live.log", bytes);
        LogAnalysis analysis;
        std::thread other([&] {
            if (deleteIt)
                unlink(path.c_str());
            else
                truncate(path.c_str(), 10 << 20);
        });
        auto result = analysis.load(path, {});
        other.join();
        const RecordStore& store = analysis.store();
        if (result.read()) {
            for (std::uint32_t row = 0; row < store.count(); ++row)
                ASSERT_EQ(cellText(store, row, kColUriStem), "/page.htm");
        } else {
            EXPECT_EQ(store.count(), 0u);
        }
    }
}
