#include "verify/VerdictCache.h"

#include "verify/CrawlerVerifier.h"

#include "platform/CodePage.h"
#include "support/DnsTestServer.h"
#include "support/TempFolder.h"

#include "crawlers/CrawlerRegistry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <sys/stat.h>

using namespace quill;
using quill::test::DnsTestServer;
using quill::test::TempFolder;

namespace {

const CrawlerId kGooglebot = crawlerOfRow(1), kBaiduspider = crawlerOfRow(2);
constexpr std::int64_t kDay = 24 * 3600;
constexpr std::int64_t kNow = 1'800'000'000;

std::string line(const char* address, const char* token, const char* verdictUtf8, std::int64_t time)
{
    return std::string(address) + "\t" + token + "\t" + gbk(verdictUtf8) + "\t" + std::to_string(time) + "\n";
}

TEST(VerdictCache, readsFreshWellFormedEntriesOnly)
{
    TempFolder folder;
    const std::string path = folder.write("cache.txt",
        line("66.249.66.1", "Googlebot", "已验证", kNow - kDay) +
        line("::ffff:10.0.0.1", "Baiduspider", "伪装", kNow - 6 * kDay) +   // stored as IPv4
        line("10.0.0.2", "Baiduspider", "伪装", kNow - 7 * kDay) +          // a week old: ask again
        line("10.0.0.3", "Googlebot", "未知", kNow) +                       // no answer is not kept
        line("10.0.0.4", "NoSuchBot", "伪装", kNow) +
        line("not-an-ip", "Googlebot", "伪装", kNow) +
        line("10.0.0.5", "Googlebot", "伪装", 0).replace(0, 0, "x") +
        "10.0.0.6\tGooglebot\t" + gbk("伪装") + "\t12abc\n" +
        "10.0.0.7\tGooglebot\n" + std::string(1000, 'A') + "\n" + std::string("\0\xFF\r\n", 4) +
        line("10.0.0.8", "Googlebot", "伪装", kNow).insert(0, "\r"));
    VerdictCache cache(path, kNow);
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_EQ(cache.find("66.249.66.1", kGooglebot, kNow), Verdict::Verified);
    EXPECT_EQ(cache.find("66.249.66.1", kBaiduspider, kNow), std::nullopt); // per crawler
    EXPECT_EQ(cache.find("10.0.0.1", kBaiduspider, kNow), Verdict::Fake);
    EXPECT_EQ(cache.find("10.0.0.1", kBaiduspider, kNow + kDay), std::nullopt); // expires while running
    EXPECT_EQ(cache.find("10.0.0.2", kBaiduspider, kNow), std::nullopt);
}

TEST(VerdictCache, savesVerdictsAndReadsThemBack)
{
    TempFolder folder;
    const std::string path = folder.file("cache.txt");
    {
        VerdictCache cache(path, kNow);
        cache.remember("66.249.66.1", kGooglebot, Verdict::Verified, kNow);
        cache.remember("10.0.0.1", kBaiduspider, Verdict::Fake, kNow);
        cache.remember("10.0.0.2", kBaiduspider, Verdict::Unknown, kNow);
        ASSERT_TRUE(cache.save(kNow).ok());
    }
    VerdictCache again(path, kNow + kDay);
    EXPECT_EQ(again.size(), 2u);
    EXPECT_EQ(again.find("66.249.66.1", kGooglebot, kNow), Verdict::Verified);
    EXPECT_EQ(again.find("10.0.0.1", kBaiduspider, kNow), Verdict::Fake);
    EXPECT_NE(test::readFile(path).find("66.249.66.1\tGooglebot\t" + gbk("已验证") + "\t1800000000\n"),
              std::string::npos);
}

TEST(VerdictCache, unwritableFileFailsWithMessageAndKeepsOldBytes)
{
    TempFolder folder;
    const std::string old = line("66.249.66.1", "Googlebot", "已验证", kNow);
    const std::string path = folder.write("cache.txt", old);
    chmod(path.c_str(), 0444);
    VerdictCache cache(path, kNow);
    EXPECT_TRUE(cache.save(kNow).ok()); // nothing new: the file is not even opened
    cache.remember("10.0.0.1", kBaiduspider, Verdict::Fake, kNow);
    const Status saved = cache.save(kNow);
    EXPECT_FALSE(saved.ok());
    EXPECT_NE(saved.message().find("Unable to write to"), std::string::npos);
    EXPECT_EQ(test::readFile(path), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1); // no temp file left
}

TEST(VerdictCache, secondRunIsServedFromTheFileWithoutQueries)
{
    TempFolder folder;
    const std::string path = folder.file("cache.txt");
    DnsTestServer dns;
    dns.addPtr("66.249.66.1", {"crawl.googlebot.com"});
    dns.addAddresses("crawl.googlebot.com", {"66.249.66.1"});
    VerifierOptions options;
    options.dns.server = dns.address();
    options.dns.timeoutMs = 150;
    std::int64_t now = kNow;
    options.now = [&] { return now; };
    const std::vector<VerificationRequest> requests = {{"66.249.66.1", kGooglebot}, {"10.9.9.9", kGooglebot}};
    std::atomic<bool> stop{false};

    auto runOnce = [&] {
        VerdictCache cache(path, now);
        auto run = verifyCrawlers(requests, options, cache, stop);
        EXPECT_TRUE(cache.save(now).ok());
        return run;
    };
    runOnce();
    EXPECT_EQ(dns.queriesReceived(), 3u);

    now += 6 * kDay;
    auto second = runOnce();
    EXPECT_EQ(dns.queriesReceived(), 3u);
    EXPECT_EQ(second.checked, 0u);
    EXPECT_TRUE(second.results[0].fromCache);
    EXPECT_EQ(second.results[0].verdict, Verdict::Verified);
    EXPECT_EQ(second.results[1].verdict, Verdict::Fake);

    now += 2 * kDay; // older than a week: asked again
    auto third = runOnce();
    EXPECT_EQ(third.checked, 2u);
    EXPECT_EQ(dns.queriesReceived(), 6u);
}

TEST(VerdictCache, timeStampsOutsideTheLifetimeAreDroppedAndNotSavedAgain)
{
    const struct {
        const char* what;
        std::string time;
    } cases[] = {
        {"the smallest 64-bit number", "-9223372036854775808"},
        {"the largest", "9223372036854775807"},
        {"a second in the future", std::to_string(kNow + 1)},
        {"a year in the future", std::to_string(kNow + 365 * kDay)},
        {"before 1970", "-1"},
        {"past the largest", "9223372036854775808"},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        const std::string path =
            folder.write("cache.txt", "10.0.0.1\tGooglebot\t" + gbk("已验证") + "\t" + c.time + "\n");
        VerdictCache cache(path, kNow);
        EXPECT_EQ(cache.find("10.0.0.1", kGooglebot, kNow), std::nullopt) << c.what;
        cache.remember("10.0.0.2", kGooglebot, Verdict::Fake, kNow);
        ASSERT_TRUE(cache.save(kNow).ok()) << c.what;
        EXPECT_EQ(test::readFile(path), line("10.0.0.2", "Googlebot", "伪装", kNow)) << c.what;
    }
}

TEST(VerdictCache, onlyRegularFilesAreReadAndOnlyTheirStart)
{
    TempFolder folder;
    // A FIFO without a writer: neither the read nor the save waits for one.
    const std::string fifo = folder.file("fifo.txt");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    VerdictCache fromFifo(fifo, kNow);
    EXPECT_EQ(fromFifo.size(), 0u);
    fromFifo.remember("10.0.0.1", kGooglebot, Verdict::Fake, kNow);
    EXPECT_FALSE(fromFifo.save(kNow).ok());

    // A device that never ends.
    EXPECT_EQ(VerdictCache("/dev/urandom", kNow).size(), 0u);

    // 1 GiB without a line end (sparse, so it costs no disk), then an entry past the part read.
    const std::string huge = folder.file("huge.txt");
    {
        std::ofstream out(huge, std::ios::binary);
        out.seekp(std::streamoff(1) << 30);
        out << "\n" << line("10.0.0.1", "Googlebot", "伪装", kNow);
    }
    VerdictCache fromHuge(huge, kNow);
    EXPECT_EQ(fromHuge.size(), 0u);
    fromHuge.remember("10.0.0.2", kGooglebot, Verdict::Fake, kNow);
    ASSERT_TRUE(fromHuge.save(kNow).ok());
    EXPECT_EQ(test::readFile(huge), line("10.0.0.2", "Googlebot", "伪装", kNow));
}

TEST(VerdictCache, runsSavingOneFileAtOnceKeepEveryVerdict)
{
    TempFolder folder;
    const std::string path = folder.file("cache.txt");
    auto address = [](int run, int i) { return "10." + std::to_string(run) + "." + std::to_string(i / 250) + "." + std::to_string(i % 250); };

    // Both runs read the file before either saves: the second save keeps the first one's verdicts.
    VerdictCache first(path, kNow);
    VerdictCache second(path, kNow);
    for (int i = 0; i < 300; ++i) {
        first.remember(address(1, i), kGooglebot, Verdict::Fake, kNow);
        second.remember(address(2, i), kBaiduspider, Verdict::Verified, kNow);
    }
    second.remember(address(1, 0), kGooglebot, Verdict::Verified, kNow + 1); // checked later: it wins
    ASSERT_TRUE(first.save(kNow + 1).ok());
    ASSERT_TRUE(second.save(kNow + 1).ok());
    VerdictCache merged(path, kNow + 1);
    EXPECT_EQ(merged.size(), 600u);
    EXPECT_EQ(merged.find(address(1, 0), kGooglebot, kNow + 1), Verdict::Verified);
    EXPECT_EQ(merged.find(address(1, 299), kGooglebot, kNow + 1), Verdict::Fake);
    EXPECT_EQ(merged.find(address(2, 299), kBaiduspider, kNow + 1), Verdict::Verified);

    // Saves at the very same time take turns: none loses another's verdicts.
    std::vector<std::thread> runs;
    for (int run = 3; run < 7; ++run)
        runs.emplace_back([&, run] {
            for (int i = 0; i < 25; ++i) {
                VerdictCache cache(path, kNow + 1);
                cache.remember(address(run, i), kGooglebot, Verdict::Fake, kNow + 1);
                EXPECT_TRUE(cache.save(kNow + 1).ok());
            }
        });
    for (std::thread& run : runs)
        run.join();
    EXPECT_EQ(VerdictCache(path, kNow + 1).size(), 600u + 100u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1); // nothing else left
}

} // namespace
