#include "ledger/LedgerAdd.h"

#include "ledger/CrawlTally.h"
#include "ledger/LedgerLogText.h"
#include "ledger/LedgerTables.h"
#include "logsource/LogFiles.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <sys/stat.h>

namespace quill {
namespace {

// A file another program adds at the same moment is looked at again, this many times at most.
constexpr int kAttempts = 3;

std::string baseName(const std::string& path)
{
    const size_t slash = path.rfind(kPathSeparator);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The files a path stands for: itself, or a folder's log files.
std::vector<std::string> filesOf(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return {path};
    std::vector<std::string> files;
    for (const DirectoryEntry& entry : findLogEntries(path))
        if (!entry.isDirectory)
            files.push_back(joinPath(path, entry.name));
    return files;
}

struct FileRead {
    FileFacts facts;
    LogReadEnd end;
};

Result<FileRead> readFile(LedgerLogText& reader, std::uint64_t from, const HeaderState& state,
                          const AddOptions& options, VerdictCache& cache, const std::atomic<bool>& stop)
{
    CrawlTally tallies[2] = {CrawlTally(options.verify), CrawlTally(options.verify)};
    Result<LogReadEnd> end = reader.read(
        from, state,
        [&](unsigned thread, const LogBlock& block) {
            CrawlTally& tally = tallies[thread];
            forEachDataLine(block, [&](std::string_view line, const FieldMap& map) { tally.addDataLine(line, map); });
        },
        stop);
    if (!end.ok())
        return end.status();
    tallies[0].merge(tallies[1]);
    std::vector<Verdict> verdicts;
    if (options.verify) {
        const std::vector<VerificationRequest> requests = tallies[0].checkRequests();
        const VerificationRun run = verifyCrawlers(requests, options.verifier, cache, stop);
        if (!run.status.ok())
            return run.status;
        if (run.cancelled || stop.load())
            return Status::failure(kCancelledText);
        for (const VerificationResult& result : run.results)
            verdicts.push_back(result.verdict);
    }
    return FileRead{tallies[0].facts(verdicts), end.value()};
}

// Adds one file; a failure of the ledger comes back as a failed status, one of the file in the
// report.
Result<AddedFile> addFile(Ledger& ledger, const std::string& path, const AddOptions& options, VerdictCache& cache,
                          const std::atomic<bool>& stop)
{
    AddedFile added;
    added.path = path;
    auto failed = [&](std::string error) {
        added.outcome = AddOutcome::Failed;
        added.error = std::move(error);
        return added;
    };
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        Result<std::unique_ptr<LedgerLogText>> opened = LedgerLogText::open(path, stop);
        if (!opened.ok())
            return failed(opened.status().message());
        LedgerLogText& reader = *opened.value();
        const Result<std::string> head = reader.head(kHeadBytes);
        if (!head.ok())
            return failed(head.status().message());
        Result<std::optional<LogFileRecord>> found = ledger.findFile(head.value(), baseName(path));
        if (!found.ok())
            return found.status();

        LogFileRecord record;
        if (found.value()) {
            record = *found.value();
            if (record.fileSize == reader.fileSize())
                return added; // Known: read to where it was, and no byte came since
            if (!reader.isArchive() && reader.fileSize() < record.readTo) {
                added.outcome = AddOutcome::Shrunk;
                return added;
            }
        }
        const std::uint64_t from = record.readTo;
        Result<FileRead> read = readFile(reader, from, record.state, options, cache, stop);
        if (!read.ok())
            return failed(read.status().message());
        const FileFacts& facts = read.value().facts;
        if (read.value().end.readTo <= from && record.id != 0)
            return added; // Known: nothing after the place it was read to, or only an unfinished line
        added.outcome = record.id == 0 ? AddOutcome::Added : AddOutcome::Grew;
        added.lines = facts.dataLines;
        record.name = baseName(path);
        record.fileSize = reader.fileSize();
        record.headBytes = head.value().size();
        record.headHash = headHash(head.value());
        record.readTo = read.value().end.readTo;
        record.state = read.value().end.state;
        record.dataLines += facts.dataLines;
        record.undatedLines += facts.undatedLines;
        Result<bool> written = ledger.addFile(record, from, facts, options.writeStage);
        if (!written.ok())
            return written.status();
        if (written.value())
            return added;
        // Another program added this file meanwhile: look again from what it left.
    }
    return failed(gbk("另一个程序同时在添加这个文件，请稍后再试"));
}

} // namespace

Status addLogs(Ledger& ledger, const std::vector<std::string>& paths, const AddOptions& options,
               const std::atomic<bool>& stop, const std::function<void(const AddedFile&)>& report)
{
    VerdictCache cache(options.verify ? options.verdictCachePath : std::string(), options.verifier.now());
    Status outcome;
    for (const std::string& path : paths) {
        for (const std::string& file : filesOf(path)) {
            if (stop.load())
                break;
            Result<AddedFile> added = addFile(ledger, file, options, cache, stop);
            if (!added.ok()) {
                outcome = added.status();
                break;
            }
            if (stop.load() && added.value().outcome == AddOutcome::Failed)
                break; // stopped while reading it: left out, as it never started
            if (report)
                report(added.value());
        }
        if (!outcome.ok() || stop.load())
            break;
    }
    if (options.verify)
        (void)cache.save(options.verifier.now()); // a cache that cannot be written only costs a later check
    return outcome;
}

std::string addedFileText(const AddedFile& file)
{
    switch (file.outcome) {
    case AddOutcome::Added:
        return gbk("新增 ") + groupedNumber(static_cast<std::int64_t>(file.lines)) + gbk(" 行");
    case AddOutcome::Grew:
        return gbk("文件增长，新增 ") + groupedNumber(static_cast<std::int64_t>(file.lines)) + gbk(" 行");
    case AddOutcome::Known:
        return gbk("已在档案中，没有新行");
    case AddOutcome::Shrunk:
        return gbk("文件比上次读取时短，没有添加");
    case AddOutcome::Failed:
        return gbk("无法读取: ") + file.error;
    }
    return {};
}

} // namespace quill
