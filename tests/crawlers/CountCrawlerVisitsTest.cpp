#include "crawlers/CountCrawlerVisits.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace quill;
using quill::test::TempFolder;

namespace {

std::optional<CrawlerFileStats> count(const std::string& path)
{
    const std::atomic<bool> never{false};
    return countCrawlerVisits(path, never);
}

template <size_t N>
std::string bytesOf(const char (&literal)[N])
{
    return std::string(literal, N - 1);
}

// Counts in list order: Baidu, Google, Soso, Youdao, Yahoo, Sogou, MSN.
constexpr StatisticsCounts kNone{};

} // namespace

TEST(CountCrawlerVisits, countsEveryLineOfSmallFiles)
{
    const struct {
        const char* what;
        std::string bytes;
        StatisticsCounts counts;
    } cases[] = {
        {"empty file", "", kNone},
        {"no line end", "GET / 200 Googlebot/2.1", {0, 1, 0, 0, 0, 0, 0}},
        {"CR only", "a Baiduspider\rb BAIDUSPIDER\r\rc baiduspider\r", {3, 0, 0, 0, 0, 0, 0}},
        {"CR LF and LF", "#Software: msnbot\r\nGooglebot Baiduspider\nx Sosospider+y\r\n", {0, 1, 1, 0, 0, 0, 1}},
        {"NUL bytes are ordinary bytes", bytesOf("a\0 Yahoo\n\0\0\nb\0Sogou"), {0, 0, 0, 0, 1, 1, 0}},
        {"a lead byte before a line end", "Yahoo\x81\n\x81\nYoudaoBot\r\x81\r\nqihoobot msnbot", {0, 0, 0, 1, 1, 0, 1}},
        {"trail byte G", "\x81Googlebot\n\x81\x81Googlebot", {0, 1, 0, 0, 0, 0, 0}},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        std::string path = folder.write("case.log", c.bytes);
        auto stats = count(path);
        ASSERT_TRUE(stats && stats->counts) << c.what;
        EXPECT_EQ(*stats->counts, c.counts) << c.what;
        EXPECT_EQ(stats->fileName, "case.log");
        EXPECT_EQ(stats->sizeText, statisticsSizeText(c.bytes.size())) << c.what;
    }
}

TEST(CountCrawlerVisits, linesLongerThanAReadBlockCountOnce)
{
    // A 50 MB line holding two tokens, then lines that straddle every block boundary.
    std::string bytes = "Baiduspider";
    bytes.append(50'000'000, 'x');
    bytes += "Googlebot\r\n";
    for (int i = 0; i < 60'000; ++i)
        bytes += (i % 3 ? "GET /p.asp 200 Mozilla/4.0+(compatible;+msnbot/1.1)\r\n" : "GET / 200 -\r\n");
    bytes += "Sogou";
    TempFolder folder;
    auto stats = count(folder.write("long.log", bytes));
    ASSERT_TRUE(stats && stats->counts);
    EXPECT_EQ(*stats->counts, (StatisticsCounts{0, 1, 0, 0, 0, 1, 40'000}));
    EXPECT_EQ(stats->sizeText, statisticsSizeText(bytes.size()));
}

TEST(CountCrawlerVisits, unreadableEntriesGetARowWithoutCounts)
{
    TempFolder folder;
    const std::string dangling = folder.file("gone.log");
    std::filesystem::create_symlink(folder.file("missing"), dangling);
    const std::string pipe = folder.file("pipe.log");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::string failingRead = folder.file("memory.log"); // opens, then every read fails
    std::filesystem::create_symlink("/proc/self/mem", failingRead);

    for (const std::string& path : {dangling, pipe, failingRead}) {
        auto stats = count(path);
        ASSERT_TRUE(stats) << path;
        EXPECT_FALSE(stats->counts) << path;
        EXPECT_FALSE(stats->read.ok()) << path;
        EXPECT_EQ(stats->sizeText, "0.0K") << path;
        EXPECT_EQ(stats->fileName, path.substr(folder.path().size() + 1));
    }
}

TEST(CountCrawlerVisits, anAbandonedCountGivesNoRow)
{
    TempFolder folder;
    const std::string path = folder.write("big.log", std::string(3'000'000, 'x'));
    const std::atomic<bool> abandon{true};
    EXPECT_FALSE(countCrawlerVisits(path, abandon));
}
