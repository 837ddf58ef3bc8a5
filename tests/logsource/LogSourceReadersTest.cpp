// Every reader of logs over the same hostile paths: the load, the statistics, the verified
// statistics, the statistics by registry crawler and the command lines that run them all end, and
// all say the same.
#include "crawlers/CrawlerStatistics.h"
#include "logs/LogAnalysis.h"
#include "logs/RegistryVisits.h"
#include "logs/RowTexts.h"
#include "logsource/ByteSource.h"
#include "logsource/ReadLimits.h"
#include "platform/FileSystem.h"
#include "platform/QueueDispatcher.h"
#include "support/Archives.h"
#include "support/LogFixtures.h"
#include "support/PipeWriter.h"
#include "support/RunProcess.h"
#include "support/TempFolder.h"
#include "verify/VerifiedStatsWorker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <grp.h>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace quill;
using namespace quill::test;

namespace {

// A log without a "#Fields" line: its crawler lines carry no address, so the verified statistics
// ask no DNS server.
const std::string kLog =
    iisLine({.stem = "/a.htm", .bytesSent = "1", .bytesReceived = "2", .timeTaken = "3"}) +
    iisLine({.dateTime = "2026-12-01 00:00:02", .stem = "/b.htm", .agent = "Baiduspider", .bytesSent = "1",
             .bytesReceived = "2", .timeTaken = "3"});

struct Outcome {
    enum class Kind { Read, Failed, Nothing };
    Kind kind = Kind::Nothing;
    std::string detail; // what was shown of a read log, or the message

    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& outcome)
{
    static const char* kinds[] = {"read", "failed", "nothing"};
    return out << kinds[static_cast<int>(outcome.kind)] << ": " << outcome.detail.substr(0, 300);
}

Outcome read(std::string shown) { return {Outcome::Kind::Read, std::move(shown)}; }
Outcome failed(std::string message) { return {Outcome::Kind::Failed, std::move(message)}; }

// A reader of the folder holding one log entry, `name`; `launcher` goes before a command line.
using Reader = std::function<Outcome(const std::string& folder, const std::string& name,
                                     const std::vector<std::string>& launcher)>;

Outcome viaLoad(const std::string& folder, const std::string& name, const std::vector<std::string>&)
{
    LogAnalysis analysis;
    const LogAnalysis::LoadResult result = analysis.load(joinPath(folder, name), {});
    if (!result.outcome.ok())
        return failed(result.outcome.status().message());
    if (!result.read())
        return {};
    std::string shown;
    for (std::uint32_t row = 0; row < analysis.store().count(); ++row)
        for (const std::string& text : rowTexts(analysis.store(), row))
            shown += text + "\t";
    return read(shown);
}

// The outcome of a statistics list holding the rows of one log (the verified statistics give two).
Outcome rowsOutcome(const std::vector<CrawlerFileStats>& rows)
{
    if (rows.empty())
        return {};
    if (!rows[0].counts)
        return failed(rows[0].read.message());
    std::string shown;
    for (const CrawlerFileStats& row : rows) {
        const auto texts = statisticsRowTexts(row);
        for (size_t i = 1; i < texts.size(); ++i) // the name differs from path to path
            shown += texts[i] + "\t";
    }
    return read(shown);
}

Outcome viaStatistics(const std::string& folder, const std::string&, const std::vector<std::string>&)
{
    QueueDispatcher ui;
    std::vector<CrawlerFileStats> rows;
    bool done = false;
    CrawlerStatistics statistics(ui, {[&](const CrawlerFileStats& row) { rows.push_back(row); }, [&] { done = true; }});
    statistics.start(folder);
    while (!done)
        ui.runOne(std::chrono::seconds(1));
    return rowsOutcome(rows);
}

Outcome viaVerifiedStatistics(const std::string& folder, const std::string&, const std::vector<std::string>&)
{
    QueueDispatcher ui;
    TempFolder cache;
    std::vector<CrawlerFileStats> rows;
    bool done = false;
    const std::atomic<bool> stop{false};
    VerifiedStatsWorker worker(folder, stop, {}, cache.file("verdicts.txt"), ui,
                               {[&](const VerifiedFileStats& row) {
                                    for (VerifiedGroup group : {VerifiedGroup::Verified, VerifiedGroup::Fake})
                                        rows.push_back({row.fileName, row.sizeText,
                                                        row.counts ? std::optional(groupCounts(*row.counts, group))
                                                                   : std::nullopt,
                                                        row.read});
                                },
                                {},
                                [&](const std::string&) { done = true; }});
    while (!done)
        ui.runOne(std::chrono::seconds(1));
    return rowsOutcome(rows);
}

Outcome viaRegistryStatistics(const std::string& folder, const std::string&, const std::vector<std::string>&)
{
    QueueDispatcher ui;
    std::vector<RegistryFileStats> rows;
    bool done = false;
    const std::atomic<bool> stop{false};
    RegistryStatsWorker worker(folder, stop, ui, {[&](const RegistryFileStats& row) { rows.push_back(row); },
                                                  [&] { done = true; }});
    while (!done)
        ui.runOne(std::chrono::seconds(1));
    if (rows.empty())
        return {};
    if (!rows[0].counts)
        return failed(rows[0].read.message());
    std::string shown = rows[0].sizeText;
    for (std::int64_t count : *rows[0].counts)
        shown += "\t" + std::to_string(count);
    return read(shown);
}

ProcessResult runCliAs(const std::vector<std::string>& launcher, const std::vector<std::string>& args)
{
    std::vector<std::string> argv = launcher;
    argv.push_back(QUILLMARK_CLI_PATH);
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv);
}

Outcome viaLoadCommand(const std::string& folder, const std::string& name, const std::vector<std::string>& launcher)
{
    const std::string path = joinPath(folder, name);
    const ProcessResult run = runCliAs(launcher, {"load", "--raw", path});
    if (run.exitCode == 0)
        return read(run.out);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(run.out, "");
    if (run.err == "no such file: " + path + "\n")
        return {};
    return failed(run.err.substr(0, run.err.size() - 1));
}

// The one row of a stats command's output (after `captionLines`), its name left out; a row
// without counts gives the message it printed on stderr, and the command then exits 1.
Outcome statsRowOutcome(const ProcessResult& run, const std::string& name, int captionLines = 0)
{
    const std::string prefix = name + ": ";
    const bool uncounted = run.err.starts_with(prefix);
    EXPECT_EQ(run.exitCode, uncounted ? 1 : 0) << run.err;
    std::string row = run.out;
    for (int i = 0; i < captionLines && !row.empty(); ++i)
        row.erase(0, row.find('\n') + 1);
    if (row.empty())
        return {};
    if (uncounted)
        return failed(run.err.substr(prefix.size(), run.err.size() - prefix.size() - 1));
    return read(row.substr(row.find('\t') + 1));
}

Outcome viaStatsCommand(const std::string& folder, const std::string& name, const std::vector<std::string>& launcher)
{
    return statsRowOutcome(runCliAs(launcher, {"stats", "--raw", folder}), name);
}

Outcome viaVerifiedStatsCommand(const std::string& folder, const std::string& name,
                                const std::vector<std::string>& launcher)
{
    TempFolder cache;
    chmod(cache.path().c_str(), 0777);
    return statsRowOutcome(runCliAs(launcher, {"stats", "--verify", "--cache", cache.file("verdicts.txt"), "--raw", folder}),
                           name);
}

struct NamedReader {
    const char* name; // the test's name
    Reader read;
    bool command;
};

Outcome viaStatsByGroupCommand(const std::string& folder, const std::string& name, const std::vector<std::string>& launcher)
{
    return statsRowOutcome(runCliAs(launcher, {"stats", "--by", "group", "--raw", folder}), name, 1);
}

const NamedReader kReaders[] = {
    {"Load", viaLoad, false},
    {"Statistics", viaStatistics, false},
    {"VerifiedStatistics", viaVerifiedStatistics, false},
    {"RegistryStatistics", viaRegistryStatistics, false},
    {"LoadCommand", viaLoadCommand, true},
    {"StatsCommand", viaStatsCommand, true},
    {"StatsVerifyCommand", viaVerifiedStatsCommand, true},
    {"StatsByGroupCommand", viaStatsByGroupCommand, true},
};
constexpr size_t kInProcessReaders = 4;

std::string readerName(const testing::TestParamInfo<NamedReader>& info) { return info.param.name; }
void PrintTo(const NamedReader& reader, std::ostream* out) { *out << reader.name; }

enum class Expect { SameAsPlainLog, Nothing, Failure };

struct HostilePath {
    const char* what;
    const char* name;
    // Puts the entry into the folder; what it returns lives while the entry is read.
    std::function<std::shared_ptr<void>(const TempFolder& folder, const std::string& path)> make;
    Expect expect;
    std::string message;
};

std::shared_ptr<void> pipeWith(const std::string& path, std::string bytes)
{
    return std::make_shared<PipeWriter>(path, std::move(bytes));
}

std::shared_ptr<void> nothingMore() { return nullptr; }

} // namespace

// One reader per test, so that they run side by side: reading a line of 1 GiB takes a while.
class LogSourceReaders : public testing::TestWithParam<NamedReader> {
protected:
    // The reader's outcome for the plain log, which the readable hostile paths must give too.
    Outcome plainOutcome() const
    {
        TempFolder plain;
        plain.write("x.log", kLog);
        return GetParam().read(plain.path(), "x.log", {});
    }

    void expectOutcome(const HostilePath& path, const Outcome& plain) const
    {
        TempFolder folder;
        const std::shared_ptr<void> keep = path.make(folder, folder.file(path.name));
        const Outcome outcome = GetParam().read(folder.path(), path.name, {});
        switch (path.expect) {
        case Expect::SameAsPlainLog:
            EXPECT_EQ(outcome, plain) << path.what;
            break;
        case Expect::Nothing:
            EXPECT_EQ(outcome, Outcome{}) << path.what;
            break;
        case Expect::Failure:
            EXPECT_EQ(outcome, failed(path.message)) << path.what;
            break;
        }
    }
};

TEST_P(LogSourceReaders, endHostilePathsAsEveryReaderDoes)
{
    const std::vector<HostilePath> paths = {
        {"a pipe without a writer", "x.log",
         [](const TempFolder&, const std::string& path) {
             mkfifo(path.c_str(), 0600);
             return nothingMore();
         },
         Expect::Failure, "No program writes to this pipe"},
        {"a pipe with a writer", "x.log",
         [](const TempFolder&, const std::string& path) { return pipeWith(path, kLog); }, Expect::SameAsPlainLog, ""},
        {"/dev/zero linked as a log", "x.log",
         [](const TempFolder&, const std::string& path) {
             std::filesystem::create_symlink("/dev/zero", path);
             return nothingMore();
         },
         Expect::Failure, "Not a regular file or a pipe"},
        {"a folder named like a log", "x.log",
         [](const TempFolder&, const std::string& path) {
             std::filesystem::create_directory(path);
             return nothingMore();
         },
         Expect::Nothing, ""},
        {"a damaged gzip file", "x.log.gz",
         [](const TempFolder&, const std::string& path) {
             const std::string packed = gzipBytes(kLog);
             TempFolder::writeFile(path, packed.substr(0, packed.size() - 12));
             return nothingMore();
         },
         Expect::Failure, damagedArchiveText("unexpected end of data")},
        {"a gzip log that is a pipe", "x.log.gz",
         [](const TempFolder&, const std::string& path) { return pipeWith(path, gzipBytes(kLog)); },
         Expect::SameAsPlainLog, ""},
        {"a ZIP archive that is a pipe", "x.zip",
         [](const TempFolder&, const std::string& path) { return pipeWith(path, zipBytes({{"x.log", kLog}})); },
         Expect::Failure, "A ZIP archive cannot be read from a pipe"},
    };
    const Outcome plain = plainOutcome();
    ASSERT_EQ(plain.kind, Outcome::Kind::Read) << plain;
    for (const HostilePath& path : paths)
        expectOutcome(path, plain);
}

INSTANTIATE_TEST_SUITE_P(, LogSourceReaders, testing::ValuesIn(kReaders), readerName);

// A line of 1 GiB is read by the command lines only: each reads it and holds it, and between
// them they run every other reader's reading of a file.
class LogSourceCommands : public LogSourceReaders {};

TEST_P(LogSourceCommands, failAGzipLogHoldingALineLongerThanTheLimit)
{
    expectOutcome({"a gzip log holding a line longer than the limit", "x.log.gz",
                   [](const TempFolder&, const std::string& path) {
                       const size_t unit = size_t(1) << 20;
                       TempFolder::writeFile(path, repeatedGzip(std::string(unit, 'x'), kMaxLineBytes / unit + 1));
                       return nothingMore();
                   },
                   Expect::Failure, lineTooLongText(kMaxLineBytes)},
                  {});
}

INSTANTIATE_TEST_SUITE_P(, LogSourceCommands, testing::ValuesIn(std::begin(kReaders) + kInProcessReaders, std::end(kReaders)), readerName);

// The superuser reads any file, so as root the readers run as nobody: the command lines through
// setpriv, the others in a child process (forked where it stands, so it reads the test's folder).
class LogSourceReadersDeathTest : public LogSourceReaders {};

TEST_P(LogSourceReadersDeathTest, denyAFileWithoutReadPermission)
{
    GTEST_FLAG_SET(death_test_style, "fast");
    TempFolder folder;
    chmod(folder.path().c_str(), 0755);
    const std::string path = folder.write("x.log", kLog);
    chmod(path.c_str(), 0200);
    const Outcome denied = failed("File access denied");
    const NamedReader& reader = GetParam();
    if (geteuid() != 0) {
        EXPECT_EQ(reader.read(folder.path(), "x.log", {}), denied);
    } else if (reader.command) {
        const std::vector<std::string> asNobody = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        EXPECT_EQ(reader.read(folder.path(), "x.log", asNobody), denied);
    } else {
        EXPECT_EXIT(
            {
                if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0)
                    std::_Exit(3);
                std::_Exit(reader.read(folder.path(), "x.log", {}) == denied ? 0 : 1);
            },
            testing::ExitedWithCode(0), "");
    }
}

INSTANTIATE_TEST_SUITE_P(, LogSourceReadersDeathTest, testing::ValuesIn(kReaders), readerName);
