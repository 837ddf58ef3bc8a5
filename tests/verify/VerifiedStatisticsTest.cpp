#include "verify/UncheckedNotice.h"
#include "verify/VerifiedStatistics.h"

#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace quill;

TEST(UncheckedNotice, saysHowManyAddressesWentUncheckedAndWhyWhenTheDnsWasOutOfReach)
{
    const struct {
        size_t unchecked;
        bool outOfReach;
        const char* text;
    } cases[] = {
        {0, false, ""},
        {0, true, ""}, // everything came from the cache or the lists
        {5, false, "5 个地址未验证"},
        {1234, true, "DNS 无法连接：1,234 个地址未验证"},
        {1000000, true, "DNS 无法连接：1,000,000 个地址未验证"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(gbkToUtf8(uncheckedNotice(c.unchecked, c.outOfReach)), c.text) << c.unchecked;

    VerificationRun run;
    run.results.resize(4);
    run.results[0].verdict = Verdict::Unknown;
    run.results[1].verdict = Verdict::Verified;
    run.results[2].verdict = Verdict::NotVerifiable; // no published check: not a failure of this run
    run.results[3].verdict = Verdict::Unknown;
    EXPECT_EQ(uncheckedCount(run), 2u);
    EXPECT_FALSE(dnsUnreachable(run));
    run.dnsDown = true;
    EXPECT_TRUE(dnsUnreachable(run));
    run.dnsDown = false;
    run.noReply = true; // too few checks to count as down, yet no reply came
    EXPECT_TRUE(dnsUnreachable(run));
    run.noReply = false;
    run.status = Status::failure("bad server");
    EXPECT_TRUE(dnsUnreachable(run));
    run.cancelled = true;
    EXPECT_FALSE(dnsUnreachable(run));
}

TEST(VerifiedStatistics, theListAndTheTableShowEveryGroupAndNoCountWhereNoneWasMade)
{
    VerifiedFileStats counted{"ex1.log", "1.5K", VerifiedCounts{}, {}};
    counted.counts->verified = {1, 2, 0, 0, 0, 0, 0};
    counted.counts->fake = {3, 0, 0, 0, 0, 0, 4};
    counted.counts->unchecked = {0, 5, 0, 0, 0, 0, 0};
    const VerifiedFileStats unread{"ex2.log", "0.0K", std::nullopt, Status::failure("cannot read")};

    std::vector<std::string> captions;
    for (const StatisticsListColumn& column : verifiedListColumns())
        captions.push_back(gbkToUtf8(column.caption));
    EXPECT_EQ(captions, (std::vector<std::string>{"日志文件名", "大小", "验证", "百度", "GOOGlE", "Soso", "有道", "雅虎",
                                                  "Sogou", "MSN", "其它"}));
    const auto utf8 = [](std::vector<std::string> texts) {
        for (std::string& text : texts)
            text = gbkToUtf8(text);
        return texts;
    };
    EXPECT_EQ(utf8(verifiedListRowTexts(counted, VerifiedGroup::Fake)),
              (std::vector<std::string>{"ex1.log", "1.5K", "伪装", "3", "0", "0", "0", "0", "0", "4", ""}));
    EXPECT_EQ(utf8(verifiedListRowTexts(unread, VerifiedGroup::Unchecked)),
              (std::vector<std::string>{"ex2.log", "0.0K", "未验证", "", "", "", "", "", "", "", ""}));

    // The table: one line per file, the groups side by side.
    const std::vector<std::string> tableCaptions = utf8(verifiedStatisticsCaptions());
    ASSERT_EQ(tableCaptions.size(), 23u);
    EXPECT_EQ(tableCaptions[2], "百度 已验证");
    EXPECT_EQ(tableCaptions[9], "百度 伪装");
    EXPECT_EQ(tableCaptions[22], "MSN 未验证");
    EXPECT_EQ(verifiedStatisticsTexts(counted),
              (std::vector<std::string>{"ex1.log", "1.5K", "1", "2", "0", "0", "0", "0", "0", "3", "0", "0", "0", "0",
                                        "0", "4", "0", "5", "0", "0", "0", "0", "0"}));
    EXPECT_EQ(verifiedStatisticsTexts(unread), (std::vector<std::string>{"ex2.log", "0.0K", "", "", "", "", "", "", "",
                                                                         "", "", "", "", "", "", "", "", "", "", "",
                                                                         "", "", ""}));
}

TEST(VerifiedStatistics, progressNamesTheFileAndThePartOfItsChecksDone)
{
    const struct {
        VerifiedStatsProgress progress;
        const char* text;
    } cases[] = {
        {{1, 3, 0, 0}, "文件 1/3"}, // read, nothing asked yet
        {{2, 5, 2, 5}, "文件 2/5  验证 40%"},
        {{5, 5, 999, 1000}, "文件 5/5  验证 99%"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(gbkToUtf8(verifiedStatsProgressText(c.progress)), c.text);
}
