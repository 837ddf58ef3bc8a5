#include "verify/LogVerification.h"
#include "crawlers/CountCrawlerVisits.h"

#include "logs/LogAnalysis.h"
#include "support/LogFixtures.h"
#include "support/TempFolder.h"

#include "platform/CodePage.h"

#include "crawlers/CrawlerRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace quill;
using quill::test::TempFolder;

namespace {

const CrawlerId kGooglebot = crawlerOfRow(1), kBaiduspider = crawlerOfRow(2), kQihoo = crawlerOfRow(8);

std::string logLine(const char* address, const char* agent, const char* path = "/")
{
    return test::iisLine({.dateTime = "2026-11-30 00:00:00", .serverIp = "192.168.1.10", .stem = path,
                          .client = address, .agent = agent, .bytesSent = "100", .bytesReceived = "50"});
}

std::string sampleLog()
{
    return std::string(test::kIis6Header) + logLine("66.249.66.1", "Googlebot/2.1") + logLine("10.0.0.1", "Mozilla/5.0") +
           logLine("66.249.66.1", "Googlebot/2.1", "/a") + logLine("10.0.0.2", "Baiduspider") +
           logLine("66.249.66.1", "Baiduspider") + logLine("10.0.0.3", "qihoobot") +
           "#Remark: Googlebot came by\r\n" + logLine("-", "Googlebot");
}

TEST(LogVerification, storeCrawlerRecordsBecomeDistinctRequests)
{
    TempFolder folder;
    LogAnalysis analysis;
    FilterSnapshot filters;
    ASSERT_TRUE(analysis.load(folder.write("ex.log", sampleLog()), filters).read());
    const StoreRequests requests = storeRequests(analysis.store());
    EXPECT_EQ(requests.requests, (std::vector<VerificationRequest>{{"66.249.66.1", kGooglebot},
                                                                   {"10.0.0.2", kBaiduspider},
                                                                   {"66.249.66.1", kBaiduspider},
                                                                   {"10.0.0.3", kQihoo},
                                                                   {"-", kGooglebot}}));
    EXPECT_EQ(requests.requestOfRecord, (std::vector<std::uint32_t>{0, kNoRequest, 0, 1, 2, 3, 4}));

    VerificationRun run;
    run.results.resize(5);
    run.results[0].verdict = Verdict::Verified;
    run.results[1].verdict = Verdict::Fake;
    run.results[3].verdict = Verdict::NotVerifiable;
    EXPECT_EQ(recordVerdicts(requests, run),
              (std::vector<Verdict>{Verdict::Verified, Verdict::None, Verdict::Verified, Verdict::Fake, Verdict::None,
                                    Verdict::NotVerifiable, Verdict::None}));
}

// Records that followed the load add their new pairs after the others: the same requests as
// when all were there from the start.
TEST(LogVerification, followedRecordsAddTheirNewPairsAtTheEnd)
{
    TempFolder folder;
    const std::string log = sampleLog();
    const size_t cut = log.find("10.0.0.2");
    const size_t lineStart = log.rfind('\n', cut) + 1;
    const std::string path = folder.write("ex.log", log.substr(0, lineStart));
    LogAnalysis analysis;
    ASSERT_TRUE(analysis.load(path, {}, true).read());
    StoreRequests requests = storeRequests(analysis.store());
    FollowedLog followed(*analysis.followStart());
    TempFolder::writeFile(path, log);
    FollowBatch batch;
    ASSERT_EQ(followed.step(batch, size_t(1) << 30).end, FollowEnd::None);
    ASSERT_TRUE(analysis.appendFollowed(std::move(batch)).ok());
    addStoreRequests(requests, analysis.store());

    LogAnalysis whole;
    ASSERT_TRUE(whole.load(folder.write("whole.log", log), {}).read());
    const StoreRequests all = storeRequests(whole.store());
    EXPECT_EQ(requests.requests, all.requests);
    EXPECT_EQ(requests.requestOfRecord, all.requestOfRecord);
}

TEST(LogVerification, fileVisitsCountStatisticsLinesByAddress)
{
    TempFolder folder;
    // a second header block moves the address one field to the right; a bare CR ends a line too
    const std::string moved = "#Software: Microsoft Internet Information Services 6.0\n"
                              "#Fields: date time extra s-sitename s-ip cs-method cs-uri-stem cs-uri-query s-port "
                              "cs-username c-ip cs(User-Agent)\n"
                              "2026-11-30 00:00:00 x W3SVC1 192.168.1.10 GET / - 80 - 10.0.0.9 Baiduspider\r";
    const std::string path = folder.write("ex.log", sampleLog() + moved);
    const auto visits = collectFileVisits(path, std::atomic<bool>(false));
    ASSERT_TRUE(visits);
    EXPECT_EQ(visits->fileName, "ex.log");
    EXPECT_TRUE(visits->read.ok());
    // qihoobot has no statistics column, so its line is not a statistics visit
    EXPECT_EQ(visits->requests, (std::vector<VerificationRequest>{{"66.249.66.1", kGooglebot},
                                                                  {"10.0.0.2", kBaiduspider},
                                                                  {"66.249.66.1", kBaiduspider},
                                                                  {"10.0.0.9", kBaiduspider}}));
    EXPECT_EQ(visits->visits, (std::vector<std::int64_t>{2, 1, 1, 1}));
    EXPECT_EQ(visits->unaddressed[1], 2); // the remark line and the line without an address (Google column)

    std::vector<VerificationResult> results(4);
    results[0].verdict = Verdict::Verified;
    results[1].verdict = Verdict::Fake;
    results[2].verdict = Verdict::Verified;
    results[3].verdict = Verdict::Unknown;
    const VerifiedCounts counts = countVerdicts(*visits, results);
    EXPECT_EQ(counts.verified, (StatisticsCounts{1, 2, 0, 0, 0, 0, 0}));
    EXPECT_EQ(counts.fake, (StatisticsCounts{1, 0, 0, 0, 0, 0, 0}));
    // The undecided visit and those without an address are 未验证: every counted line is in one group.
    EXPECT_EQ(counts.unchecked, (StatisticsCounts{1, 2, 0, 0, 0, 0, 0}));
    const auto plain = countCrawlerVisits(path, std::atomic<bool>(false));
    ASSERT_TRUE(plain && plain->counts);
    for (size_t column = 0; column < counts.verified.size(); ++column)
        EXPECT_EQ(counts.verified[column] + counts.fake[column] + counts.unchecked[column], (*plain->counts)[column])
            << "column " << column;
}

TEST(LogVerification, unreadableFileGivesItsErrorAndAbandonGivesNothing)
{
    TempFolder folder;
    const auto missing = collectFileVisits(folder.file("none.log"), std::atomic<bool>(false));
    ASSERT_TRUE(missing);
    EXPECT_FALSE(missing->read.ok());
    EXPECT_FALSE(collectFileVisits(folder.write("ex.log", sampleLog()), std::atomic<bool>(true)));
}

} // namespace

namespace {

TEST(LogVerification, onlyFakesKeepsDisplayRowsAndVerdictColumnSortsAsText)
{
    TempFolder folder;
    LogAnalysis analysis;
    ASSERT_TRUE(analysis.load(folder.write("ex.log", sampleLog()), FilterSnapshot{}).read());
    const std::vector<Verdict> verdicts = {Verdict::Fake,    Verdict::None, Verdict::Verified, Verdict::Fake,
                                           Verdict::Unknown, Verdict::NotVerifiable, Verdict::Fake};
    EXPECT_EQ(rowsWithVerdict(analysis.store(), verdicts, Verdict::Fake), (std::vector<std::uint32_t>{0, 3, 6}));
    EXPECT_TRUE(rowsWithVerdict(analysis.store(), {Verdict::Fake}, Verdict::Fake).empty()); // stale verdicts

    // the column sorts by the GBK words, byte by byte, and the fakes follow the new order
    analysis.clickKeyedColumn(kColumnCount, verdictSortKeys(verdicts));
    std::vector<std::string> shown;
    for (std::uint32_t row = 0; row < analysis.store().count(); ++row)
        shown.push_back(verdictText(verdicts[analysis.store().recordAt(row)]));
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end(), std::greater<>())); // first click: descending
    EXPECT_EQ(rowsWithVerdict(analysis.store(), verdicts, Verdict::Fake).size(), 3u);
    analysis.clickKeyedColumn(kColumnCount, verdictSortKeys(verdicts));
    // ascending: the empty verdict first, then 伪装 (0xCE 0xB1) in file order, ..., 已验证 (0xD2) last
    std::vector<std::uint32_t> order;
    for (std::uint32_t row = 0; row < analysis.store().count(); ++row)
        order.push_back(analysis.store().recordAt(row));
    EXPECT_EQ(order, (std::vector<std::uint32_t>{1, 0, 3, 6, 4, 5, 2}));
}

TEST(LogVerification, progressTextGroupsThousands)
{
    EXPECT_EQ(verificationProgressText(1234, 5000), gbk("验证 1,234/5,000"));
    EXPECT_EQ(verificationProgressText(0, 12), gbk("验证 0/12"));
    EXPECT_EQ(verificationProgressText(999, 1000000), gbk("验证 999/1,000,000"));
}

} // namespace
