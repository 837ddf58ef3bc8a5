#include "logs/LogTestSupport.h"
#include "platform/CodePage.h"
#include "support/RunProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace quill;
using namespace quill::test;

namespace {

std::vector<std::string> outputLines(const std::string& out)
{
    std::vector<std::string> lines;
    std::istringstream stream(out);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

std::string field(const std::string& line, int column)
{
    std::istringstream stream(line);
    std::string text;
    for (int i = 0; i <= column; ++i)
        std::getline(stream, text, '\t');
    return text;
}

} // namespace

TEST(LoadCommand, rejectsBadUsageWithExitCodeTwo)
{
    const std::vector<std::vector<std::string>> cases = {
        {}, {"load"}, {"nonsense"}, {"load", "--on"}, {"load", "--on", "nobox", "x.log"},
        {"load", "--click", "17", "x.log"}, {"load", "--click", "-1", "x.log"}, {"load", "--bogus", "x.log"},
    };
    for (const auto& args : cases) {
        ProcessResult result = runCli(args);
        EXPECT_EQ(result.exitCode, 2) << (args.empty() ? "" : args.back());
        EXPECT_NE(result.err.find("usage"), std::string::npos);
    }
}

TEST(LoadCommand, aLeadByteBeforeATabOrCrNeverSplitsARow)
{
    // TAB and CR are never the second byte of a pair, so they are escaped wherever they stand.
    TempFolder folder;
    const std::string path =
        folder.write("lead.log", std::string(kIis6Header) + iisLine({.stem = "/a\x81\tb.htm"}) +
                                     iisLine({.stem = "/c\xB0\rd.htm", .agent = "Mozilla\xFE\t/4.0"}) + iisLine({.stem = "/e.htm", .agent = "UA\x81\r"}));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"load", path}, std::vector<std::string>{"load", "--raw", path}}) {
        const ProcessResult result = runCli(args);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const std::vector<std::string> lines = outputLines(result.out);
        ASSERT_EQ(lines.size(), 3u) << args[1];
        for (const std::string& line : lines) {
            EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 16) << args[1] << ": " << line;
            EXPECT_EQ(line.find('\r'), std::string::npos) << args[1];
        }
    }
}

TEST(LoadCommand, reportsAMissingFile)
{
    TempFolder folder;
    ProcessResult result = runCli({"load", folder.file("nope.log")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "no such file: " + folder.file("nope.log") + "\n");
}

TEST(LoadCommand, printsEveryRowAndTheSummary)
{
    TempFolder folder;
    const std::string path =
        folder.write("a.log", std::string(kIis6Header) + iisLine({.stem = "/a.htm", .agent = "Googlebot/2.1"}) + iisLine({.stem = "/b.gif"}));
    ProcessResult result = runCli({"load", path});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "0\t/a.htm\t-\tGoogle\t200\t0\t0\t1.2.3.4\t2026-12-01\t00:00:01\tGET\t10.0.0.1\t80\t1500\t300\t15\t-\n");
    EXPECT_EQ(result.err.substr(0, 8), "用时: ");
    EXPECT_NE(result.err.find("秒   共有 1条记录\n"), std::string::npos);
}

TEST(LoadCommand, appliesFilterBoxesSearchAndClicks)
{
    TempFolder folder;
    std::string gbkStem = gbk("日志");
    gbkStem.insert(0, 1, '/').append(".htm");
    const std::string path = folder.write(
        "a.log", std::string(kIis6Header) + iisLine({.stem = "/a.gif", .client = "1.1.1.1", .agent = "UA", .timeTaken = "300"}) +
                     iisLine({.stem = gbkStem, .client = "2.2.2.2", .agent = "UA", .timeTaken = "20"}) + iisLine({.stem = "/c.htm", .client = "3.3.3.3", .agent = "UA", .timeTaken = "100"}));
    ProcessResult all = runCli({"load", "--off", "images", "--click", "15", path});
    std::vector<std::string> urls;
    for (const std::string& line : outputLines(all.out))
        urls.push_back(field(line, 1));
    EXPECT_EQ(urls, (std::vector<std::string>{"/a.gif", "/c.htm", "/日志.htm"}));

    ProcessResult search = runCli({"load", "--search", "日志", path});
    ASSERT_EQ(outputLines(search.out).size(), 1u);
    EXPECT_EQ(field(outputLines(search.out)[0], 1), "/日志.htm");
}

TEST(LoadCommand, escapesFieldsAndWritesGbkWithRaw)
{
    TempFolder folder;
    // "\x95\x5C" is one double-byte character whose second byte is a backslash.
    const std::string stem = "/a\\b\t" + std::string("\x95\x5C") + gbk("页");
    const std::string line = iisLine({.stem = stem, .agent = "UA", .timeTaken = "3"});
    const std::string path = folder.write("a.log", std::string(kIis6Header) + line);

    ProcessResult utf8 = runCli({"load", path});
    EXPECT_EQ(field(utf8.out, 1), "/a\\\\b\\t" + gbkToUtf8("\x95\x5C") + "页");

    ProcessResult raw = runCli({"load", "--raw", path});
    EXPECT_EQ(field(raw.out, 1), "/a\\\\b\\t\x95\x5C" + gbk("页"));
    EXPECT_NE(raw.err.find(gbk("共有 1条记录")), std::string::npos);
}

TEST(LoadCommand, carriesTheFieldMapFromOneFileToTheNext)
{
    TempFolder folder;
    const std::string first = folder.write("1.log", std::string(kIis6Header) + iisLine({.stem = "/first.htm"}));
    const std::string second = folder.write("2.log", iisLine({.stem = "/second.htm"}));
    ProcessResult result = runCli({"load", first, second});
    EXPECT_EQ(result.exitCode, 0);
    ASSERT_EQ(outputLines(result.out).size(), 1u);
    EXPECT_EQ(field(result.out, 1), "/second.htm");
}

TEST(LoadCommand, loadsTheBundledSamples)
{
    for (const char* name : {"ex261130.log", "ex261201.log", "ex261202.log", "logparser_261201.log"}) {
        ProcessResult result = runCli({"load", std::string(QUILLMARK_SAMPLES_DIR) + "/" + name});
        EXPECT_EQ(result.exitCode, 0) << name;
        const auto lines = outputLines(result.out);
        EXPECT_GT(lines.size(), 100u) << name;
        for (const std::string& line : lines) {
            EXPECT_EQ(field(line, 1).substr(0, 1), "/") << name << ": " << line;
            EXPECT_EQ(field(line, 8).substr(0, 6), "2026-1") << name << ": " << line;
            EXPECT_TRUE(field(line, 10) == "GET" || field(line, 10) == "POST") << name << ": " << line;
            EXPECT_TRUE(field(line, 4) == "200" || field(line, 4) == "304" || field(line, 4) == "404" ||
                        field(line, 4) == "500")
                << name << ": " << line;
        }
    }
}

TEST(LoadCommand, printsNoRowOfAFileChangedBetweenLoadAndPrinting)
{
    std::string original = kIis6Header;
    std::string other = kIis6Header;
    for (int i = 0; i < 20000; ++i) {
        original += iisLine({.stem = "/page" + std::to_string(i) + ".htm"});
        other += iisLine({.stem = "/PAGE" + std::to_string(i) + ".htm"});
    }
    struct Case {
        const char* what;
        std::function<void(const std::string& path)> change;
        bool printed;
    };
    const Case cases[] = {
        {"appended", [](const std::string& path) { std::ofstream(path, std::ios::app) << iisLine({.stem = "/new.htm"}); }, true},
        {"cut short", [](const std::string& path) { ASSERT_EQ(truncate(path.c_str(), 1 << 20), 0); }, false},
        {"rewritten", [&](const std::string& path) { TempFolder::writeFile(path, other); }, false},
    };
    for (const bool csv : {false, true}) {
        for (const Case& c : cases) {
            TempFolder folder;
            const std::string path = folder.write("live.log", original);
            const std::string hold = folder.file("hold");
            ASSERT_EQ(mkfifo(hold.c_str(), 0600), 0);
            setenv("QUILLMARK_HOLD_BEFORE_ROWS", hold.c_str(), 1);
            ProcessResult result;
            std::thread command([&] { result = runCli(csv ? std::vector<std::string>{"load", "--csv", path}
                                                              : std::vector<std::string>{"load", path}); });
            // The command opens the pipe once it has loaded; it goes on when the pipe closes.
            int fd = -1;
            for (int tries = 0; fd < 0 && tries < 3000; ++tries) {
                fd = open(hold.c_str(), O_WRONLY | O_NONBLOCK);
                if (fd < 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            EXPECT_GE(fd, 0) << c.what;
            c.change(path);
            close(fd);
            command.join();
            unsetenv("QUILLMARK_HOLD_BEFORE_ROWS");

            if (c.printed) {
                EXPECT_EQ(result.exitCode, 0) << c.what;
                EXPECT_EQ(outputLines(result.out).size(), csv ? 20001u : 20000u) << c.what;
            } else {
                EXPECT_EQ(result.exitCode, 1) << c.what;
                EXPECT_EQ(result.out, "") << c.what;
                EXPECT_EQ(result.err, gbkToUtf8(fileChangedText()) + "\n") << c.what;
            }
        }
    }
}
