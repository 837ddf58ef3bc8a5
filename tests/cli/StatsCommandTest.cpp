#include "platform/CodePage.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

using namespace quill;
using quill::test::TempFolder;

namespace {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string quoted(const std::string& argument) { return "'" + argument + "'"; }

CliRun runCli(const std::string& arguments)
{
    TempFolder errors;
    const std::string command = std::string(QUILLMARK_CLI_PATH) + " " + arguments + " 2>" + quoted(errors.file("err"));
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    while (size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
        run.out.append(buffer, got);
    int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errors.file("err"), std::ios::binary);
    run.err.assign(std::istreambuf_iterator<char>(err), {});
    return run;
}

} // namespace

TEST(StatsCommand, printsOneRowPerLogAsTheListShowsIt)
{
    TempFolder folder;
    folder.write("ex090101.log", "#Software: IIS\r\nGET / 200 Googlebot\r\nGET / 200 Baiduspider\r\n");
    folder.write(gbk("统计") + ".log", std::string(1536, 'x') + "\r\nmsnbot\r\n");
    folder.write("empty.log", "");
    std::filesystem::create_directory(folder.file("old.log"));
    std::filesystem::create_symlink(folder.file("missing"), folder.file("gone.log"));

    CliRun utf8 = runCli("stats " + quoted(folder.path()));
    EXPECT_EQ(utf8.exitCode, 0);
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

    CliRun raw = runCli("stats --raw " + quoted(folder.path()));
    EXPECT_NE(raw.out.find(gbk("统计") + ".log\t1.5K\t"), std::string::npos);
}

TEST(StatsCommand, usageErrorsAndAMissingFolder)
{
    const struct {
        const char* arguments;
        int exitCode;
    } cases[] = {
        {"stats", 2},
        {"stats a b", 2},
        {"stats --bogus", 2},
        {"stats /nonexistent/quillmark/logs", 0},
    };
    for (const auto& c : cases) {
        CliRun run = runCli(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments;
        EXPECT_EQ(run.out, "") << c.arguments;
    }
}
