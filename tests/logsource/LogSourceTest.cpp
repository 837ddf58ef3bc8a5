#include "logsource/LogSource.h"

#include "logsource/LineSplitter.h"
#include "support/Archives.h"
#include "support/PipeWriter.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

using namespace quill;
using namespace quill::test;

namespace {

constexpr const char* kLog = "GET /a.htm 200 Baiduspider\r\nGET /b.htm 200 Googlebot\r\n";

// All the log's bytes, or the error that ended the read.
std::string readAll(LogSource& source)
{
    LineSplitter lines(source.stream(), {});
    std::string all;
    LineBlock block;
    while (true) {
        const Result<bool> got = lines.next(block);
        if (!got.ok())
            return "error: " + got.status().message();
        if (!got.value())
            return all;
        all.append(block.data, block.size);
    }
}

} // namespace

TEST(LogSource, opensFilesAndPipesAndSaysWhyElse)
{
    TempFolder folder;
    const std::string gzipped = gzipBytes(kLog);
    folder.write("plain.log", kLog);
    folder.write("packed.log.gz", gzipped);
    folder.write("packed.zip", zipBytes({{"inside.log", kLog}}));
    std::filesystem::create_directory(folder.file("folder.log"));
    std::filesystem::create_symlink("/dev/zero", folder.file("zero.log"));
    mkfifo(folder.file("quiet.log").c_str(), 0600);
    PipeWriter pipe(folder.file("pipe.log"), kLog);
    PipeWriter gzipPipe(folder.file("pipe.log.gz"), gzipped);
    PipeWriter zipPipe(folder.file("pipe.zip"), zipBytes({{"inside.log", kLog}}));

    const struct {
        const char* name;
        LogPathState state;
        std::string failure; // empty: the log reads as kLog
        bool mapped;
    } cases[] = {
        {"plain.log", LogPathState::Log, "", true},
        {"packed.log.gz", LogPathState::Log, "", false},
        {"packed.zip", LogPathState::Log, "", false},
        {"pipe.log", LogPathState::Log, "", false},
        {"pipe.log.gz", LogPathState::Log, "", false},
        {"missing.log", LogPathState::Missing, "", false},
        {"folder.log", LogPathState::Folder, "", false},
        {"zero.log", LogPathState::Log, "Not a regular file or a pipe", false},
        {"quiet.log", LogPathState::Log, "No program writes to this pipe", false},
        {"pipe.zip", LogPathState::Log, "A ZIP archive cannot be read from a pipe", false},
    };
    for (const auto& c : cases) {
        Result<OpenedLog> opened = openLog(folder.file(c.name));
        if (!c.failure.empty()) {
            EXPECT_EQ(opened.status().message(), c.failure) << c.name;
            continue;
        }
        ASSERT_TRUE(opened.ok()) << c.name << ": " << opened.status().message();
        EXPECT_EQ(opened.value().state, c.state) << c.name;
        if (c.state != LogPathState::Log)
            continue;
        LogSource& source = *opened.value().source;
        EXPECT_EQ(source.map() != nullptr, c.mapped) << c.name;
        EXPECT_EQ(readAll(source), kLog) << c.name;
    }
    EXPECT_EQ(noLogText(LogPathState::Missing), "I/O error 2");
}

TEST(LogSource, anAbandonEndsTheWaitForAQuietWriter)
{
    TempFolder folder;
    // Connected, but never a byte: without the abandon the read would wait for ever.
    PipeWriter pipe(folder.file("quiet.log"), "", PipeWriter::Then::StayQuiet);
    std::atomic<bool> abandon{false};
    Result<OpenedLog> opened = openLog(folder.file("quiet.log"), &abandon);
    ASSERT_TRUE(opened.ok()) << opened.status().message();
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        abandon = true;
    });
    EXPECT_EQ(readAll(*opened.value().source), std::string("error: ") + kCancelledText);
    closer.join();
}

TEST(LogSource, anAbandonEndsTheWaitForAWriter)
{
    TempFolder folder;
    mkfifo(folder.file("quiet.log").c_str(), 0600);
    const std::atomic<bool> abandon{true};
    EXPECT_EQ(openLog(folder.file("quiet.log"), &abandon).status().message(), kCancelledText);
}

TEST(LogSource, readsAPlainFileFromAnyOffsetAndFindsItsWholeLines)
{
    TempFolder folder;
    const std::string longLine(200000, 'x');
    const struct {
        std::string bytes;
        std::uint64_t wholeLinesEnd;
    } cases[] = {
        {"a\r\nb\r\n", 6},
        {"a\r\nb\r", 5},
        {"a\nbc", 2},
        {"abc", 0},
        {"", 0},
        {"a\n" + longLine, 2}, // the line end stands more than one piece back
    };
    for (const auto& c : cases) {
        const std::string path = folder.write("ex.log", c.bytes);
        Result<OpenedLog> opened = openLog(path);
        ASSERT_TRUE(opened.ok());
        LogSource& source = *opened.value().source;
        ASSERT_TRUE(source.readsAtOffsets());
        EXPECT_EQ(source.wholeLinesEnd(c.bytes.size()).value(), c.wholeLinesEnd) << c.bytes.substr(0, 8);
        EXPECT_EQ(source.identity(), *fileIdentityAt(path));
    }
    const std::string path = folder.write("ex.log", "0123456789");
    Result<OpenedLog> opened = openLog(path);
    ASSERT_TRUE(opened.ok());
    LogSource& source = *opened.value().source;
    std::unique_ptr<ByteSource> middle = source.range(3, 7);
    char bytes[16];
    EXPECT_EQ(middle->read(bytes, sizeof bytes).value(), 4u);
    EXPECT_EQ(std::string_view(bytes, 4), "3456");
    EXPECT_EQ(middle->read(bytes, sizeof bytes).value(), 0u);
    EXPECT_EQ(source.range(8, 100)->read(bytes, sizeof bytes).value(), 2u); // up to the end it has
    EXPECT_FALSE(opened.value().source->isPipe());
}
