#include "logs/FollowedLog.h"

#include "logs/LogTestSupport.h"
#include "support/Archives.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

using namespace quill;
using namespace quill::test;

namespace {

void append(const std::string& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::app).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Follows `analysis`'s last load one step, adding what it read to the store.
FollowStep followOnce(LogAnalysis& analysis, FollowedLog& log)
{
    FollowBatch batch;
    FollowStep step = log.step(batch, size_t(1) << 30);
    if (step.end == FollowEnd::None) {
        auto added = analysis.appendFollowed(std::move(batch));
        EXPECT_TRUE(added.ok());
    }
    return step;
}

} // namespace

// Whatever pieces a log grows by, the rows of the load and of following it are those of one
// load of the whole file, in file order.
TEST(FollowedLog, rowsOfALoadAndWhatFollowsAreThoseOfOneLoadOfTheWhole)
{
    const std::string line1 = iisLine({.stem = "/a.htm", .agent = "Baiduspider"});
    const std::string line2 = iisLine({.stem = "/b.htm"});
    const std::string gif = iisLine({.stem = "/c.gif"});
    const struct {
        const char* what;
        std::string loaded;
        std::vector<std::string> pieces; // appended one after another, each followed by a step
    } cases[] = {
        {"whole lines", kIis6Header + line1, {line2, gif + line1}},
        {"a line written in pieces", kIis6Header + line1, {line2.substr(0, 20), line2.substr(20, 30), line2.substr(50)}},
        {"the load's last line still being written", kIis6Header + line1 + line2.substr(0, 25), {line2.substr(25)}},
        {"CR and LF of one line end in two writes", kIis6Header, {line1.substr(0, line1.size() - 1), "\n", line2}},
        {"blank lines and leading blanks", kIis6Header + line1, {"\r\n\r\n   " + line2, "\t\t" + line1}},
        {"an empty file that gets its header later", "", {kIis6Header, line1 + line2}},
        {"a new field layout", kIis6Header + line1,
         {"#Fields: date time c-ip cs-method cs-uri-stem sc-status cs(User-Agent) s-ip s-port sc-bytes time-taken\r\n",
          "2026-12-01 00:00:02 5.6.7.8 GET /d.htm 404 Googlebot 10.0.0.1 80 99 7\r\n"}},
        {"an end mark stops the log", kIis6Header + line1, {line2 + "\x1A" + line1, line2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        const std::string path = folder.write("ex.log", c.loaded);
        LogAnalysis analysis;
        ASSERT_TRUE(analysis.load(path, {}, true).read());
        std::optional<FollowStart> start = analysis.followStart();
        ASSERT_TRUE(start);
        FollowedLog log(std::move(*start));
        std::string whole = c.loaded;
        for (const std::string& piece : c.pieces) {
            append(path, piece);
            whole += piece;
            EXPECT_EQ(followOnce(analysis, log).end, FollowEnd::None);
        }
        LogAnalysis fresh;
        ASSERT_TRUE(fresh.load(folder.write("whole.log", whole), {}).read());
        EXPECT_EQ(shownRows(analysis), shownRows(fresh));
        EXPECT_EQ(analysis.fieldMap(), fresh.fieldMap());
    }
}

TEST(FollowedLog, aLoadToBeFollowedLeavesTheLineStillBeingWritten)
{
    TempFolder folder;
    const std::string line = iisLine({.stem = "/a.htm"});
    const std::string path = folder.write("ex.log", kIis6Header + line + line.substr(0, 60));
    LogAnalysis plain;
    ASSERT_TRUE(plain.load(path, {}).read());
    EXPECT_EQ(plain.store().count(), 2u); // the described load takes the piece as a line
    EXPECT_FALSE(plain.followStart());
    LogAnalysis following;
    ASSERT_TRUE(following.load(path, {}, true).read());
    EXPECT_EQ(following.store().count(), 1u);
    ASSERT_TRUE(following.followStart());
    EXPECT_EQ(following.followStart()->end.offset, std::string(kIis6Header).size() + line.size());
}

TEST(FollowedLog, archivesPipesAndEndMarksAreNotFollowed)
{
    TempFolder folder;
    const std::string bytes = kIis6Header + iisLine({.stem = "/a.htm"});
    LogAnalysis analysis;
    const std::string pipe = folder.file("pipe.log");
    mkfifo(pipe.c_str(), 0600);
    std::thread writer([&] { std::ofstream(pipe, std::ios::binary) << bytes; });
    ASSERT_TRUE(analysis.load(pipe, {}, true).read());
    writer.join();
    EXPECT_EQ(analysis.store().count(), 1u);
    EXPECT_FALSE(analysis.followStart()) << "a pipe";
    ASSERT_TRUE(analysis.load(folder.write("packed.log.gz", gzipBytes(bytes)), {}, true).read());
    EXPECT_FALSE(analysis.followStart()) << "an archive";
    ASSERT_TRUE(analysis.load(folder.write("end.log", bytes + "\x1A" + bytes), {}, true).read());
    EXPECT_FALSE(analysis.followStart()) << "an end mark";
}

// A file that no longer holds what was read ends the following, and says how.
TEST(FollowedLog, endsWhenTheFileIsCutRewrittenReplacedOrRemoved)
{
    const std::string line1 = iisLine({.stem = "/a.htm"});
    const std::string line2 = iisLine({.stem = "/b.htm"});
    const struct {
        const char* what;
        std::function<void(const TempFolder&, const std::string&)> change;
        FollowEnd end;
    } cases[] = {
        {"cut short", [&](const TempFolder&, const std::string& path) { std::filesystem::resize_file(path, 100); },
         FollowEnd::CutShort},
        {"emptied and filled again, longer",
         [&](const TempFolder&, const std::string& path) {
             TempFolder::writeFile(path, std::string(kIis6Header) + iisLine({.stem = "/x.htm"}) + line2 + line2);
         },
         FollowEnd::Rewritten},
        {"rewritten in place at its end",
         [&](const TempFolder&, const std::string& path) {
             std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
             file.seekp(-5, std::ios::end);
             file.write("99 -\n", 5);
         },
         FollowEnd::Rewritten},
        {"another file renamed over it",
         [&](const TempFolder& folder, const std::string& path) {
             std::filesystem::rename(folder.write("other.log", std::string(kIis6Header) + line1 + line2), path);
         },
         FollowEnd::Replaced},
        {"renamed away", [&](const TempFolder& folder, const std::string& path) {
             std::filesystem::rename(path, folder.file("ex.log.old"));
         },
         FollowEnd::Gone},
        {"removed", [&](const TempFolder&, const std::string& path) { std::filesystem::remove(path); }, FollowEnd::Gone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        const std::string path = folder.write("ex.log", kIis6Header + line1);
        LogAnalysis analysis;
        ASSERT_TRUE(analysis.load(path, {}, true).read());
        FollowedLog log(*analysis.followStart());
        append(path, line2);
        ASSERT_EQ(followOnce(analysis, log).end, FollowEnd::None);
        c.change(folder, path);
        FollowBatch batch;
        EXPECT_EQ(log.step(batch, size_t(1) << 30).end, c.end);
        EXPECT_TRUE(batch.records.empty());
    }
}

TEST(FollowedLog, aFileReplacedBetweenTheLoadAndTheFirstStepIsNotRead)
{
    TempFolder folder;
    const std::string path = folder.write("ex.log", kIis6Header + iisLine({.stem = "/a.htm"}));
    LogAnalysis analysis;
    ASSERT_TRUE(analysis.load(path, {}, true).read());
    std::filesystem::rename(folder.write("new.log", kIis6Header + iisLine({.stem = "/b.htm"}) + iisLine({.stem = "/c.htm"})), path);
    FollowedLog log(*analysis.followStart());
    FollowBatch batch;
    EXPECT_EQ(log.step(batch, size_t(1) << 30).end, FollowEnd::Replaced);
}

TEST(FollowedLog, aLongBacklogComesInSteps)
{
    TempFolder folder;
    const std::string path = folder.write("ex.log", kIis6Header);
    LogAnalysis analysis;
    ASSERT_TRUE(analysis.load(path, {}, true).read());
    FollowedLog log(*analysis.followStart());
    std::string lines;
    for (int i = 0; i < 4000; ++i)
        lines += iisLine({.stem = "/p" + std::to_string(i) + ".htm"});
    append(path, lines);
    FollowBatch batch;
    FollowStep step = log.step(batch, lines.size() / 3);
    EXPECT_TRUE(step.more);
    EXPECT_GT(batch.records.size(), 0u);
    EXPECT_LT(batch.records.size(), 4000u);
    while (step.more)
        step = log.step(batch, lines.size() / 3);
    ASSERT_EQ(batch.records.size(), 4000u);
    EXPECT_EQ(batch.records.back().line().substr(0, 20), iisLine({.stem = "/p3999.htm"}).substr(0, 20));
    EXPECT_EQ(batch.offset, std::string(kIis6Header).size() + lines.size());
}
