// Loads that cannot be finished end with a message and an empty store, never with an abort or a hang.
#include "logs/LogTestSupport.h"
#include "support/PipeWriter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quill;
using namespace quill::test;

namespace {

struct Loaded {
    Result<LogFile> outcome = LogFile::Read;
    std::uint32_t count = 0;
    LogFormat format = LogFormat::None;
};

Loaded loadWithLimits(const std::string& path, const LoadLimits& limits)
{
    RecordStore store;
    LogFormat format = LogFormat::None;
    FieldMap map;
    Loaded loaded;
    loaded.outcome = readLogFile(path, {}, format, map, store, nullptr, limits);
    loaded.count = store.count();
    loaded.format = format;
    return loaded;
}

// Writes `bytes` into a pipe at `path` from a thread while the load reads it.
Loaded loadPipeWithLimits(const TempFolder& folder, const std::string& bytes, const LoadLimits& limits)
{
    std::signal(SIGPIPE, SIG_IGN); // the load may stop reading early
    const std::string path = folder.file("pipe.log");
    mkfifo(path.c_str(), 0600);
    std::thread writer([&] { std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size())); });
    Loaded loaded = loadWithLimits(path, limits);
    writer.join();
    unlink(path.c_str());
    return loaded;
}

std::string longLine(size_t bytes)
{
    std::string line = iisLine({.stem = "/long.htm"});
    line.insert(line.size() - 2, std::string(bytes - (line.size() - 2), 'r'));
    return line;
}

} // namespace

TEST(LoadLimits, aLineLongerThanTheLimitFailsTheLoadInAFileAsInAStream)
{
    const size_t limit = 64 << 10;
    const std::string header = kIis6Header;
    const std::string a = iisLine({.stem = "/a.htm"});
    struct Case {
        const char* what;
        std::string bytes;
        bool fits;
    };
    const Case cases[] = {
        {"a line of the limit", header + a + longLine(limit) + a, true},
        {"one byte more in the middle", header + a + longLine(limit + 1) + a, false},
        {"one byte more at the end, without a line end", header + a + longLine(limit + 1).substr(0, limit + 1), false},
        {"a first line of ten times the limit", std::string(10 * limit, 'x') + "\r\n" + header + a, false},
        {"a first line of NUL bytes", std::string(10 * limit, '\0'), false},
    };
    for (const Case& c : cases) {
        for (bool piped : {false, true}) {
            TempFolder folder;
            const Loaded loaded = piped ? loadPipeWithLimits(folder, c.bytes, {limit})
                                        : loadWithLimits(folder.write("ex.log", c.bytes), {limit});
            const std::string what = std::string(c.what) + (piped ? ", piped" : ", mapped");
            EXPECT_EQ(loaded.outcome.ok(), c.fits) << what;
            if (c.fits) {
                EXPECT_EQ(loaded.count, 3u) << what;
            } else {
                EXPECT_EQ(loaded.outcome.status().message(), "Line too long: more than 65536 bytes") << what;
                EXPECT_EQ(loaded.count, 0u) << what;
                EXPECT_EQ(loaded.format, LogFormat::None) << what; // header state as before the load
            }
        }
    }
}

TEST(LoadLimits, whatStandsAfterTheEndMarkCountsForNothingInLaterBlocksToo)
{
    // The blocks after the one holding the 0x1A may already be read and split when it is found:
    // their lines, header lines and too long lines must change nothing.
    const size_t limit = 64 << 10;
    std::string after;
    while (after.size() < (size_t(9) << 20)) // past the next two blocks
        after += iisLine({.stem = "/after.htm"});
    const std::string bytes = std::string(kIis6Header) + iisLine({.stem = "/a.htm"}) + "\x1A" + after +
                              "#Fields: cs-uri-stem\r\n" + longLine(limit + 1) + after;
    for (bool piped : {false, true}) {
        TempFolder folder;
        const Loaded loaded =
            piped ? loadPipeWithLimits(folder, bytes, {limit}) : loadWithLimits(folder.write("ex.log", bytes), {limit});
        EXPECT_TRUE(loaded.outcome.ok()) << (piped ? "piped" : "mapped");
        EXPECT_EQ(loaded.count, 1u) << (piped ? "piped" : "mapped");
        EXPECT_EQ(loaded.format, LogFormat::IIS) << (piped ? "piped" : "mapped");
    }
}

TEST(LoadLimits, anEndlessFirstLineFromAPipeStopsAtTheLimit)
{
    TempFolder folder;
    PipeWriter zeros(folder.file("zeros.log"), std::string(size_t(1) << 20, '\0'), PipeWriter::Then::Repeat);
    const Loaded loaded = loadWithLimits(folder.file("zeros.log"), {size_t(16) << 20});
    EXPECT_EQ(loaded.outcome.status().message(), "Line too long: more than 16777216 bytes");
    EXPECT_EQ(loaded.count, 0u);
}

#if !defined(__SANITIZE_ADDRESS__) // the sanitizer's shadow memory leaves no address space to limit
// Loads an endless pipe of zero bytes with room for the threads and a few buffers, far less than
// a line of 1 GiB needs; exits 0 when the load reported running out of memory and left the store
// empty.
[[noreturn]] void loadZerosInLittleAddressSpace()
{
    int ends[2];
    if (pipe(ends) != 0)
        std::_Exit(3);
    std::thread([writeEnd = ends[1]] {
        const std::string zeros(size_t(1) << 20, '\0');
        while (write(writeEnd, zeros.data(), zeros.size()) > 0) {
        }
    }).detach();
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    statm >> pages;
    const rlim_t room = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (320u << 20);
    const rlimit limit{room, room};
    if (setrlimit(RLIMIT_AS, &limit) != 0)
        std::_Exit(3);
    const Loaded loaded = loadWithLimits("/proc/self/fd/" + std::to_string(ends[0]), {});
    std::_Exit(loaded.outcome.status().message() == kOutOfMemoryText && loaded.count == 0 ? 0 : 1);
}

TEST(LoadLimitsDeathTest, runningOutOfAddressSpaceIsAnError)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(loadZerosInLittleAddressSpace(), testing::ExitedWithCode(0), "");
}
#endif

TEST(LoadLimits, aPipeWithoutWriterEndsTheLoadWithAMessage)
{
    TempFolder folder;
    const std::string path = folder.file("quiet.log");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    LogAnalysis analysis;
    const LogAnalysis::LoadResult result = analysis.load(path, {});
    EXPECT_EQ(result.outcome.status().message(), "No program writes to this pipe");
    EXPECT_EQ(analysis.store().count(), 0u);
}

TEST(LoadLimits, aPipeWhoseWriterIsQuietForAWhileIsReadWhole)
{
    TempFolder folder;
    const std::string path = folder.file("slow.log");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const std::string bytes = kIis6Header + iisLine({.stem = "/a.htm"}) + iisLine({.stem = "/b.htm"});
    std::thread writer([&] {
        std::ofstream out(path, std::ios::binary);
        std::this_thread::sleep_for(std::chrono::milliseconds(1500)); // longer than the wait for a writer
        out << bytes;
    });
    LogAnalysis analysis;
    const LogAnalysis::LoadResult result = analysis.load(path, {});
    writer.join();
    EXPECT_TRUE(result.read()) << result.outcome.status().message();
    EXPECT_EQ(columnTexts(analysis, kColUriStem), (std::vector<std::string>{"/a.htm", "/b.htm"}));
}

TEST(LoadLimits, moreFieldMapsThanIdsFailTheLoad)
{
    // Each "#Fields" line below maps the URI stem to another position: a map of its own.
    auto layouts = [](int count) {
        std::string bytes = "#Software: Microsoft Internet Information Services 6.0\r\n";
        for (int i = 0; i < count; ++i) {
            bytes += "#Fields:";
            for (int k = 0; k < i; ++k)
                bytes += " x";
            bytes += " cs-uri-stem\r\n/a.htm 1 2 3 4 5 6 7 8 9 10 11 12\r\n";
        }
        return bytes;
    };
    TempFolder folder;
    // The map in force before the first header is one of them.
    const Loaded fits = loadWithLimits(folder.write("fits.log", layouts(3)), {size_t(1) << 30, 4});
    EXPECT_TRUE(fits.outcome.ok());
    EXPECT_EQ(fits.count, 3u);
    const Loaded tooMany = loadWithLimits(folder.write("many.log", layouts(4)), {size_t(1) << 30, 4});
    EXPECT_EQ(tooMany.outcome.status().message(), "More than 4 different field layouts (\"#Fields\" lines) in one file");
    EXPECT_EQ(tooMany.count, 0u);
}
