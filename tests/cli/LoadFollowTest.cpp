#include "logs/LogTestSupport.h"
#include "support/Archives.h"
#include "support/RunProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <functional>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace quill;
using namespace quill::test;

namespace {

std::string stemOf(int i) { return "/p" + std::to_string(1000000 + i) + (i % 5 == 0 ? ".gif" : ".htm"); }

std::string lines(int from, int to)
{
    std::string bytes;
    for (int i = from; i < to; ++i)
        bytes += iisLine({.stem = stemOf(i)});
    return bytes;
}

// The URI stem column of every printed row, and whether the row numbers run 0, 1, 2, ...
std::vector<std::string> printedStems(const std::string& out, bool& numbered)
{
    std::vector<std::string> stems;
    std::istringstream stream(out);
    numbered = true;
    for (std::string line; std::getline(stream, line);) {
        std::istringstream fields(line);
        std::string number, stem;
        std::getline(fields, number, '\t');
        std::getline(fields, stem, '\t');
        numbered = numbered && number == std::to_string(stems.size());
        stems.push_back(stem);
    }
    return stems;
}

bool waitForRows(const RunningProcess& process, size_t rows)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string out = process.out();
        if (static_cast<size_t>(std::count(out.begin(), out.end(), '\n')) >= rows)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace

// At 1,000 and 50,000 lines a second, every kept line is printed once, in order, numbered on
// from the loaded rows; SIGINT and SIGTERM end it with everything printed and the count said.
TEST(LoadFollow, printsEveryLineAsItIsWrittenUntilASignal)
{
    for (const auto& [rate, signal] : {std::pair{1000, SIGINT}, std::pair{50000, SIGTERM}}) {
        SCOPED_TRACE(rate);
        constexpr int kLoaded = 500;
        TempFolder folder;
        const std::string path = folder.write("u_ex261208.log", kIis6Header + lines(0, kLoaded));
        RunningProcess cli({QUILLMARK_CLI_PATH, "load", "--follow", path});
        const int total = kLoaded + rate * 2;
        std::thread writer([&, rate = rate] {
            std::ofstream out(path, std::ios::binary | std::ios::app);
            auto next = std::chrono::steady_clock::now();
            for (int i = kLoaded; i < total; i += rate / 100) {
                const std::string bytes = lines(i, std::min(total, i + rate / 100));
                out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
                out.flush();
                next += std::chrono::milliseconds(10);
                std::this_thread::sleep_until(next);
            }
        });
        std::vector<std::string> expected;
        for (int i = 0; i < total; ++i)
            if (i % 5 != 0)
                expected.push_back(stemOf(i));
        const bool allPrinted = waitForRows(cli, expected.size());
        writer.join();
        cli.signal(signal);
        const ProcessResult result = cli.finish();
        ASSERT_TRUE(allPrinted);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        bool numbered = false;
        EXPECT_EQ(printedStems(result.out, numbered), expected);
        EXPECT_TRUE(numbered);
        EXPECT_NE(result.err.find("共有 " + std::to_string(expected.size()) + "条记录"), std::string::npos) << result.err;
    }
}

TEST(LoadFollow, endsWhenTheFileIsRotatedAwayOrChanged)
{
    const struct {
        const char* what;
        std::function<void(const TempFolder&, const std::string&)> change;
        const char* message;
        int exitCode;
    } cases[] = {
        {"renamed away", [](const TempFolder& folder, const std::string& path) {
             std::filesystem::rename(path, folder.file("u_ex261208.old"));
         },
         "日志文件已被移走，跟踪停止", 0},
        {"replaced", [](const TempFolder& folder, const std::string& path) {
             std::filesystem::rename(folder.write("new.log", kIis6Header), path);
         },
         "日志文件已被替换，跟踪停止", 0},
        {"cut short", [](const TempFolder&, const std::string& path) { std::filesystem::resize_file(path, 10); },
         "日志文件被截短，跟踪停止", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        const std::string path = folder.write("u_ex261208.log", kIis6Header + lines(1, 3));
        RunningProcess cli({QUILLMARK_CLI_PATH, "load", "--follow", path});
        ASSERT_TRUE(waitForRows(cli, 2));
        c.change(folder, path);
        const ProcessResult result = cli.finish();
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 2);
    }
}

TEST(LoadFollow, followsOnlyWhatCanGrowAndPrintsRowsInFileOrder)
{
    TempFolder folder;
    const std::string path = folder.write("u_ex1.log", kIis6Header + lines(1, 3));
    for (const char* other : {"--click", "--count", "--csv", "--verify"}) {
        std::vector<std::string> args = {"load", "--follow", other};
        if (std::string(other) == "--click")
            args.push_back("15");
        args.push_back(path);
        EXPECT_EQ(runCli(args).exitCode, 2) << other;
    }
    const ProcessResult archive = runCli({"load", "--follow", folder.write("u_ex2.log.gz", gzipBytes(kIis6Header + lines(1, 3)))});
    EXPECT_EQ(archive.exitCode, 1);
    EXPECT_EQ(std::count(archive.out.begin(), archive.out.end(), '\n'), 2); // its rows, then why it stops
    EXPECT_NE(archive.err.find("Only a plain file can be followed"), std::string::npos) << archive.err;
}
