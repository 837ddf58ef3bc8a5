// quillmarkbox-cli html, run as a whole process.

#include "platform/CodePage.h"
#include "support/RunProcess.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>


using quill::gbk;
using quill::test::ProcessResult;
using quill::test::runCli;

namespace {

const char* const kPage = "<html><head><title>\xCA\xD7\xD2\xB3</title>\r\n"
                          "<meta name=keywords content=\"a\\b\"></head>\n"
                          "<body><ul><li><a href=\"/X.htm\">\xD0\xC2&nbsp;\xCE\xC5</a><li>two\tcells</ul></body></html>";

} // namespace

TEST(HtmlCommand, printsTheTreeWithTwoBlanksPerLevel)
{
    quill::test::TempFolder folder;
    std::string path = folder.write("page.htm", kPage);
    ProcessResult run = runCli({"html", "tree", path});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "HTML\t<head><title>首页</title>\\r\\n<meta name=keywords content=\"a\\\\b\"></head>\\n"
                       "<body><ul><li><a href=\"/X.htm\">新&nbsp;闻</a><li>two\\tcells</ul></body>\n"
                       "  HEAD\t<title>首页</title>\\r\\n<meta name=keywords content=\"a\\\\b\">\n"
                       "    TITLE\t首页\n"
                       "    META\t\n"
                       "  BODY\t<ul><li><a href=\"/X.htm\">新&nbsp;闻</a><li>two\\tcells</ul>\n"
                       "    UL\t<li><a href=\"/X.htm\">新&nbsp;闻</a><li>two\\tcells\n"
                       "      LI\t<a href=\"/X.htm\">新&nbsp;闻</a>\n"
                       "        A\t新&nbsp;闻\n"
                       "      LI\ttwo\\tcells\n"
                       "@DOCUMENT\t\n");
}

TEST(HtmlCommand, printsTheWalkLines)
{
    quill::test::TempFolder folder;
    std::string path = folder.write("page.htm", kPage);
    ProcessResult head = runCli({"html", "head", path});
    EXPECT_EQ(head.exitCode, 0);
    EXPECT_EQ(head.out, "网页标题:   首页\n网页关键词:     a\\\\b\n");
    ProcessResult links = runCli({"html", "links", path});
    EXPECT_EQ(links.exitCode, 0);
    EXPECT_EQ(links.out, "新 闻: /x.htm\n");
    ProcessResult raw = runCli({"html", "links", "--raw", path});
    EXPECT_EQ(raw.out, "\xD0\xC2 \xCE\xC5: /x.htm\n");
}

TEST(HtmlCommand, reportsMissingFilesAndBadUsage)
{
    quill::test::TempFolder folder;
    EXPECT_EQ(runCli({"html", "tree", folder.file("none.htm")}).exitCode, 1);
    EXPECT_EQ(runCli({"html", "tree", folder.path()}).exitCode, 1);
    EXPECT_EQ(runCli({"html"}).exitCode, 2);
    EXPECT_EQ(runCli({"html", "walk", folder.file("none.htm")}).exitCode, 2);
    EXPECT_EQ(runCli({"html", "tree", "a", "b"}).exitCode, 2);
    EXPECT_EQ(runCli({"html", "tree", "--deep"}).exitCode, 2);
}

TEST(HtmlCommand, pagesPastTheParserBoundsFailWithAMessage)
{
    quill::test::TempFolder folder;
    std::string anchors;
    while (anchors.size() < (std::size_t(32) << 20) - 3)
        anchors += "<a>";
    const struct {
        std::string bytes;
        std::string message;
    } cases[] = {
        {anchors, "页面元素超过 500000 个，不作分析\n"},
        {std::string((std::size_t(32) << 20) + 1, ' '), "页面大于 32 MiB，不作分析\n"},
    };
    for (const auto& c : cases) {
        const std::string path = folder.write("page.htm", c.bytes);
        for (const char* walk : {"tree", "head", "links"}) {
            const ProcessResult run = runCli({"html", walk, path});
            EXPECT_EQ(run.exitCode, 1) << walk;
            EXPECT_EQ(run.out, "") << walk;
            EXPECT_EQ(run.err, c.message) << walk;
        }
    }
    // A device that never ends is read only past the bound.
    const ProcessResult zero = runCli({"html", "links", "/dev/zero"});
    EXPECT_EQ(zero.exitCode, 1);
    EXPECT_EQ(zero.err, "页面大于 32 MiB，不作分析\n");
}
