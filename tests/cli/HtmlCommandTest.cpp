// quillmarkbox-cli html, run as a whole process.

#include "platform/CodePage.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

using quill::gbk;

namespace {

struct CliRun {
    int status = -1;
    std::string out;
};

CliRun runCli(const std::string& arguments)
{
    CliRun run;
    std::string command = std::string(QUILLMARK_CLI_PATH) + " " + arguments + " 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, got);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

const char* const kPage = "<html><head><title>\xCA\xD7\xD2\xB3</title>\r\n"
                          "<meta name=keywords content=\"a\\b\"></head>\n"
                          "<body><ul><li><a href=\"/X.htm\">\xD0\xC2&nbsp;\xCE\xC5</a><li>two\tcells</ul></body></html>";

} // namespace

TEST(HtmlCommand, printsTheTreeWithTwoBlanksPerLevel)
{
    quill::test::TempFolder folder;
    std::string path = folder.write("page.htm", kPage);
    CliRun run = runCli("html tree " + path);
    EXPECT_EQ(run.status, 0);
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
    CliRun head = runCli("html head " + path);
    EXPECT_EQ(head.status, 0);
    EXPECT_EQ(head.out, "网页标题:   首页\n网页关键词:     a\\\\b\n");
    CliRun links = runCli("html links " + path);
    EXPECT_EQ(links.status, 0);
    EXPECT_EQ(links.out, "新 闻: /x.htm\n");
    CliRun raw = runCli("html links --raw " + path);
    EXPECT_EQ(raw.out, "\xD0\xC2 \xCE\xC5: /x.htm\n");
}

TEST(HtmlCommand, reportsMissingFilesAndBadUsage)
{
    quill::test::TempFolder folder;
    EXPECT_EQ(runCli("html tree " + folder.file("none.htm")).status, 1);
    EXPECT_EQ(runCli("html tree " + folder.path()).status, 1);
    EXPECT_EQ(runCli("html").status, 2);
    EXPECT_EQ(runCli("html walk " + folder.file("none.htm")).status, 2);
    EXPECT_EQ(runCli("html tree a b").status, 2);
    EXPECT_EQ(runCli("html tree --deep").status, 2);
}
