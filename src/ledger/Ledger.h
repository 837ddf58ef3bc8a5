#pragma once
// The ledger file open for adding: its records of the log files read so far, and the write of one
// file's sums, all or nothing, in one transaction.

#include "ledger/LedgerFacts.h"
#include "ledger/LedgerSchema.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace quill {

// What the ledger knows of a log file it has read.
struct LogFileRecord {
    std::int64_t id = 0; // 0: not in the ledger yet
    std::string name;    // the file's name without its folder (a file-system name)
    std::uint64_t fileSize = 0;
    std::uint64_t headBytes = 0;  // how much of the log text headHash covers (at most kHeadBytes)
    std::int64_t headHash = 0;
    std::uint64_t readTo = 0;     // text offset after the last line read
    HeaderState state;            // the header state at readTo
    std::uint64_t dataLines = 0;
    std::uint64_t undatedLines = 0;
};

// The head of a log text that fingerprints it.
inline constexpr size_t kHeadBytes = 64 * 1024;

// A 64-bit hash of a log's head (FNV-1a: stable across versions and machines).
std::int64_t headHash(std::string_view head);

// Where a write has got to, for a test that ends the process there.
enum class WriteStage { Begun, FactsWritten, RecordWritten };

class Ledger {
public:
    static Result<std::unique_ptr<Ledger>> open(const std::string& path, LedgerOpenOptions options = {});
    ~Ledger();

    SqliteDatabase& database() { return *m_db; }

    // The record of the file whose head is `head` and whose name is `name`: the same head, or a
    // file of that name that was shorter than kHeadBytes when read and begins with the head it
    // had then (it has grown since).
    Result<std::optional<LogFileRecord>> findFile(std::string_view head, const std::string& name);
    // The record with this id, as it stands now.
    Result<std::optional<LogFileRecord>> fileById(std::int64_t id);

    // In one transaction: checks that the file's record still reads `expectedReadTo` (0 and no
    // record for a new file; otherwise another program has added it meanwhile and nothing is
    // written: the result is false), adds `facts` and saves `record` (its id set for a new file).
    // `stage` runs at each step of the write.
    Result<bool> addFile(LogFileRecord& record, std::uint64_t expectedReadTo, const FileFacts& facts,
                         const std::function<void(WriteStage)>& stage = {});

private:
    explicit Ledger(std::unique_ptr<SqliteDatabase> db) : m_db(std::move(db)) {}
    Status writeFacts(const FileFacts& facts);
    Result<std::int64_t> crawlerId(int crawler);
    Status loadPaths();
    Result<std::vector<std::int64_t>> pathIds(const std::vector<std::string>& paths);
    Status saveRecord(LogFileRecord& record);

    std::unique_ptr<SqliteDatabase> m_db;
    std::unordered_map<std::string, std::int64_t> m_pathIds; // url_path as of m_pathsVersion
    std::optional<std::int64_t> m_pathsVersion;
    std::unordered_map<int, std::int64_t> m_crawlerIds;
};

} // namespace quill
