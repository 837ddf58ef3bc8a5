// Rows of a mapped log show the bytes the file held when it was loaded, or nothing and a message.
#include "logs/LogTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace quill;
using namespace quill::test;

namespace {

// About 4 MiB of numbered requests, so the file spans many pages and blocks.
std::string numberedLog(const std::string& stemPrefix)
{
    std::string bytes = kIis6Header;
    for (int i = 0; bytes.size() < (4u << 20); ++i)
        bytes += iisLine({.stem = stemPrefix + std::to_string(i) + ".htm"});
    return bytes;
}

void appendTo(const std::string& path, const std::string& bytes)
{
    FILE* file = std::fopen(path.c_str(), "ab");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

void overwriteInPlace(const std::string& path, const std::string& bytes, off_t at)
{
    const int fd = open(path.c_str(), O_WRONLY);
    ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), at), static_cast<ssize_t>(bytes.size()));
    close(fd);
}

} // namespace

TEST(FileChange, rowsOfAFileChangedAfterTheLoadGoWithAMessage)
{
    const std::string original = numberedLog("/page");
    const std::string other = numberedLog("/PAGE");
    ASSERT_EQ(other.size(), original.size());
    struct Case {
        const char* what;
        std::function<void(const TempFolder&, const std::string&)> change;
        bool rowsStay;
    };
    const Case cases[] = {
        // what the web server does all day: the loaded bytes stay as they were
        {"appended", [](const TempFolder&, const std::string& path) { appendTo(path, iisLine({.stem = "/new.htm"})); }, true},
        {"touched", [](const TempFolder&, const std::string& path) { utimes(path.c_str(), nullptr); }, true},
        // the mapping keeps the old file alive when a new one takes its name
        {"replaced by a new file",
         [&](const TempFolder& folder, const std::string& path) {
             ASSERT_EQ(std::rename(folder.write("new.log", other).c_str(), path.c_str()), 0);
         },
         true},
        // these change or remove bytes that rows show
        {"cut short", [](const TempFolder&, const std::string& path) { ASSERT_EQ(truncate(path.c_str(), 1 << 20), 0); }, false},
        {"emptied", [](const TempFolder&, const std::string& path) { ASSERT_EQ(truncate(path.c_str(), 0), 0); }, false},
        {"rewritten in place at the same size",
         [&](const TempFolder&, const std::string& path) { overwriteInPlace(path, other, 0); }, false},
        {"emptied and filled again with more",
         [&](const TempFolder&, const std::string& path) {
             TempFolder::writeFile(path, other);
             appendTo(path, other);
         },
         false},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string path = folder.write("live.log", original);
        LogAnalysis analysis;
        ASSERT_TRUE(analysis.load(path, {}).read()) << c.what;
        const std::uint32_t count = analysis.store().count();
        c.change(folder, path);

        const std::vector<std::string> urls = columnTexts(analysis, kColUriStem);
        const Status rows = analysis.confirmRows();
        EXPECT_EQ(rows.ok(), c.rowsStay) << c.what;
        if (rows.ok()) {
            ASSERT_EQ(urls.size(), count) << c.what;
            EXPECT_EQ(urls.front(), "/page0.htm") << c.what;
            EXPECT_EQ(urls.back(), "/page" + std::to_string(count - 1) + ".htm") << c.what;
            EXPECT_TRUE(analysis.clickColumn(kColUriStem).ok()) << c.what;
        } else {
            EXPECT_EQ(rows.message(), fileChangedText()) << c.what;
            EXPECT_EQ(analysis.store().count(), 0u) << c.what;
            EXPECT_TRUE(analysis.clickColumn(kColUriStem).ok()) << c.what; // nothing left to sort
        }
    }
}

TEST(FileChange, aSortOfRowsWhoseFileChangedFails)
{
    TempFolder folder;
    const std::string path = folder.write("live.log", numberedLog("/page"));
    LogAnalysis analysis;
    ASSERT_TRUE(analysis.load(path, {}).read());
    ASSERT_EQ(truncate(path.c_str(), 4096), 0);
    const Status sorted = analysis.clickColumn(kColUriStem);
    EXPECT_EQ(sorted.message(), fileChangedText());
    EXPECT_EQ(analysis.store().count(), 0u);
    EXPECT_TRUE(analysis.store().order().empty());
    EXPECT_FALSE(analysis.sortDescending()); // the refused click did not turn the direction
}

TEST(FileChange, rowsReadFromAStreamNeverChange)
{
    TempFolder folder;
    LogAnalysis analysis;
    ASSERT_TRUE(loadThroughPipe(analysis, folder, numberedLog("/page")).read());
    EXPECT_TRUE(analysis.confirmRows().ok());
    EXPECT_EQ(cellText(analysis.store(), 0, kColUriStem), "/page0.htm");
}
