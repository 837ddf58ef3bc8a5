#include "crawlers/CountCrawlerVisits.h"
#include "logs/LogTestSupport.h"
#include "platform/CodePage.h"
#include "support/Archives.h"

#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

namespace {

// A log with headers, crawler lines, a GBK stem and lines that straddle archive blocks.
std::string sampleLog()
{
    std::string log = kIis6Header;
    for (int i = 0; i < 3000; ++i) {
        const std::string agent = i % 3 == 0 ? "Baiduspider+(+http://www.baidu.com/search/spider.htm)"
                                  : i % 3 == 1 ? "Googlebot/2.1" : "Mozilla/4.0";
        log += iisLine({.stem = "/p" + std::to_string(i) + (i % 7 == 0 ? gbk("页") : std::string()) + ".htm", .client = "1.2.3." +
                            std::to_string(i % 250), .agent = agent, .timeTaken = std::to_string(i)});
    }
    return log;
}

std::optional<CrawlerFileStats> countFile(const std::string& path)
{
    const std::atomic<bool> never{false};
    return countCrawlerVisits(path, never);
}

} // namespace

TEST(ArchiveLoad, archivesLoadAndCountAsTheLogInside)
{
    const std::string log = sampleLog();
    const std::string half = log.substr(0, log.size() / 2);
    const std::string rest = log.substr(log.size() / 2);
    const size_t lineEnd = log.find("\r\n", log.size() / 2);
    TempFolder folder;
    const std::string plain = folder.write("plain.log", log);
    LogAnalysis reference;
    ASSERT_TRUE(reference.load(plain, {}).read());
    const auto expectedRows = shownRows(reference);
    ASSERT_EQ(expectedRows.size(), 3000u);
    const auto expectedStats = countFile(plain);

    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"ex.log.gz", gzipBytes(log)},
        {"fast.log.gz", gzipBytes(log, 1)},
        {"UPPER.LOG.GZ", gzipBytes(log, 9)},
        {"members.log.gz", gzipBytes(half) + gzipBytes(rest)},
        {"padded.log.gz", gzipBytes(log) + std::string(512, '\0')},
        {"one.zip", zipBytes({{"ex.log", log}})},
        // Entries that are not logs are skipped; a log entry without a last line end does not run
        // into the next one.
        {"parts.zip", zipBytes({{"readme.txt", "x y z"}, {"a.log", log.substr(0, lineEnd)},
                                {"sub/B.LOG", log.substr(lineEnd + 2)}})},
    };
    for (const auto& c : cases) {
        const std::string path = folder.write(c.name, c.bytes);
        LogAnalysis analysis;
        const auto result = analysis.load(path, {});
        ASSERT_TRUE(result.read()) << c.name << ": " << result.outcome.status().message();
        EXPECT_EQ(shownRows(analysis), expectedRows) << c.name;

        const auto stats = countFile(path);
        ASSERT_TRUE(stats && stats->counts) << c.name << ": " << (stats ? stats->read.message() : "");
        EXPECT_EQ(stats->counts, expectedStats->counts) << c.name;
        EXPECT_EQ(stats->fileName, c.name);
    }
    // The size shown is the size of the log inside.
    EXPECT_EQ(countFile(folder.file("ex.log.gz"))->sizeText, expectedStats->sizeText);
}

TEST(ArchiveLoad, aDamagedArchiveIsAClearErrorAndARowWithNameAndSize)
{
    const std::string log = sampleLog();
    std::string badCrc = gzipBytes(log);
    badCrc[badCrc.size() - 6] ^= 0x55; // inside the CRC of the trailer
    std::string badData = gzipBytes(log);
    badData[badData.size() / 2] ^= 0x55;
    std::string badZip = zipBytes({{"ex.log", log}});
    badZip[badZip.size() / 3] ^= 0x55; // in the deflated data: the entry's CRC no longer holds
    const std::string damaged = gbk("压缩文件已损坏: ");

    const struct {
        const char* name;
        std::string bytes;
        std::string message; // GBK, from its start
    } cases[] = {
        {"empty.log.gz", "", damaged},
        {"cut.log.gz", gzipBytes(log).substr(0, 2000), damaged},
        {"nogzip.log.gz", log, damaged},
        {"crc.log.gz", badCrc, damaged},
        {"data.log.gz", badData, damaged},
        {"garbage.log.gz", gzipBytes(log) + "trailing", damaged},
        {"empty.zip", "", damaged},
        {"cut.zip", zipBytes({{"ex.log", log}}).substr(0, 3000), damaged},
        {"crc.zip", badZip, damaged},
        {"nolog.zip", zipBytes({{"ex.txt", log}}), gbk("压缩文件中没有 .log 文件")},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        const std::string path = folder.write(c.name, c.bytes);
        LogAnalysis analysis;
        const auto result = analysis.load(path, {});
        ASSERT_FALSE(result.outcome.ok()) << c.name;
        EXPECT_EQ(result.outcome.status().message().substr(0, c.message.size()), c.message) << c.name;
        EXPECT_EQ(analysis.store().count(), 0u) << c.name;

        const auto stats = countFile(path);
        ASSERT_TRUE(stats) << c.name;
        EXPECT_FALSE(stats->counts) << c.name;
        EXPECT_EQ(stats->fileName, c.name);
        EXPECT_EQ(stats->sizeText, statisticsSizeText(c.bytes.size())) << c.name;
        EXPECT_EQ(stats->read.message().substr(0, c.message.size()), c.message) << c.name;
    }
}

TEST(ArchiveLoad, foldersListLogsAndArchivesInNameOrder)
{
    TempFolder folder;
    const std::string log = sampleLog();
    for (const char* name : {"ex26129.log", "ex261210.log", "EX26128.log", "ex261211.log.gz", "notes.txt", "x.gz",
                             "a.log.gz.bak"})
        folder.write(name, "");
    folder.write("logs.zip", zipBytes({{"ex.log", "x"}}));
    folder.write("other.zip", zipBytes({{"ex.txt", "x"}})); // holds no log: not listed
    folder.write("broken.zip", "not a zip");                // listed, so that its error shows
    mkdir(folder.file("dir.log").c_str(), 0755);
    EXPECT_EQ(listLogFiles(folder.path()),
              (std::vector<std::string>{"broken.zip", "dir.log", "EX26128.log", "ex26129.log", "ex261210.log",
                                        "ex261211.log.gz", "logs.zip"}));
}

TEST(ArchiveLoad, zipEntriesThatShareOrOverstateTheirDataAreRefused)
{
    const std::string log = sampleLog();
    const RawZipEntry a = deflatedEntry("a.log", log.substr(0, log.size() / 2));
    const RawZipEntry b = deflatedEntry("b.log", log.substr(log.size() / 2));
    RawZipEntry boasting = deflatedEntry("x.log", "x\r\n");
    boasting.size = 1u << 30; // a few bytes said to inflate to 1 GiB
    RawZipEntry modest = deflatedEntry("m.log", log);
    modest.size = 100; // inflates to far more than it says

    const std::string refused = gbk("压缩文件已损坏: ");
    const struct {
        const char* name;
        std::string bytes;
        std::string message; // GBK, from its start; empty: loads
    } cases[] = {
        {"in-order.zip", rawZip({a, b}), {}},
        // Three entries over one copy of the log, each quoting the next one's header.
        {"overlap.zip", overlappingZip(log, 3), refused + gbk("条目的数据相互重叠或次序颠倒")},
        {"reversed.zip", rawZip({a, b}, {1, 0}), refused + gbk("条目的数据相互重叠或次序颠倒")},
        {"listed-twice.zip", rawZip({a, b}, {0, 1, 1}), refused},
        {"boasting.zip", rawZip({boasting}), refused + gbk("条目声明的大小超过压缩数据的 1100 倍")},
        {"modest.zip", rawZip({modest}), refused},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        const std::string path = folder.write(c.name, c.bytes);
        LogAnalysis analysis;
        const auto result = analysis.load(path, {});
        const auto stats = countFile(path);
        ASSERT_TRUE(stats) << c.name;
        if (c.message.empty()) {
            EXPECT_TRUE(result.read()) << c.name << ": " << result.outcome.status().message();
            EXPECT_EQ(analysis.store().count(), 3000u) << c.name;
            EXPECT_TRUE(stats->counts) << c.name << ": " << stats->read.message();
            continue;
        }
        ASSERT_FALSE(result.outcome.ok()) << c.name;
        EXPECT_EQ(result.outcome.status().message().substr(0, c.message.size()), c.message) << c.name;
        EXPECT_EQ(analysis.store().count(), 0u) << c.name;
        EXPECT_FALSE(stats->counts) << c.name;
        EXPECT_EQ(stats->read.message().substr(0, c.message.size()), c.message) << c.name;
    }
}
