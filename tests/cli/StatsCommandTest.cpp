#include "platform/CodePage.h"
#include "support/RunProcess.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

using namespace quill;
using quill::test::ProcessResult;
using quill::test::runCli;
using quill::test::TempFolder;

TEST(StatsCommand, printsOneRowPerLogAsTheListShowsIt)
{
    TempFolder folder;
    folder.write("ex090101.log", "#Software: IIS\r\nGET / 200 Googlebot\r\nGET / 200 Baiduspider\r\n");
    folder.write(gbk("统计") + ".log", std::string(1536, 'x') + "\r\nmsnbot\r\n");
    folder.write("empty.log", "");
    std::filesystem::create_directory(folder.file("old.log"));
    std::filesystem::create_symlink(folder.file("missing"), folder.file("gone.log"));

    ProcessResult utf8 = runCli({"stats", folder.path()});
    EXPECT_EQ(utf8.exitCode, 1); // every row printed, but gone.log could not be counted
    std::istringstream lines(utf8.out);
    std::vector<std::string> sorted;
    for (std::string line; std::getline(lines, line);)
        sorted.push_back(line);
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::string>{
                          "empty.log\t0.0K\t0\t0\t0\t0\t0\t0\t0\t",
                          "ex090101.log\t0.1K\t1\t1\t0\t0\t0\t0\t0\t",
                          "gone.log\t0.0K\t\t\t\t\t\t\t\t",
                          "统计.log\t1.5K\t0\t0\t0\t0\t0\t0\t1\t",
                      }));
    EXPECT_NE(utf8.err.find("gone.log: "), std::string::npos);

    ProcessResult raw = runCli({"stats", "--raw", folder.path()});
    EXPECT_NE(raw.out.find(gbk("统计") + ".log\t1.5K\t"), std::string::npos);
}

TEST(StatsCommand, usageErrorsAndAMissingFolder)
{
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
    } cases[] = {
        {{"stats"}, 2},
        {{"stats", "a", "b"}, 2},
        {{"stats", "--bogus"}, 2},
        {{"stats", "/nonexistent/quillmark/logs"}, 0},
    };
    for (const auto& c : cases) {
        const ProcessResult run = runCli(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.back();
        EXPECT_EQ(run.out, "") << c.arguments.back();
    }
}
