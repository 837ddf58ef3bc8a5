#pragma once
// The ledger file's tables, their version number and the steps that bring an older file up to
// date. docs/ledger.md describes the tables for people who open the file with other tools.

#include "ledger/SqliteDatabase.h"

#include <cstdint>
#include <memory>
#include <string>

namespace quill {

// The version this program writes; a file of a later version is left alone.
inline constexpr int kLedgerSchemaVersion = 2;
// "QMLG" in the file header: tells a ledger from any other SQLite file.
inline constexpr std::int64_t kLedgerApplicationId = 0x514D4C47;

enum class LedgerAccess {
    Read,  // views and queries: the file must exist and is never written
    Write, // adds: created when missing, brought to the current version
};

struct LedgerOpenOptions {
    LedgerAccess access = LedgerAccess::Read;
    int busyTimeoutMs = 30000; // how long to wait while another program writes the file
};

// Opens the ledger at `path`. Fails, leaving the file as it was, when it is no SQLite file, another
// program's database, of a newer version, read-only (for Write), missing (for Read) or busy for
// longer than the time-out.
Result<std::unique_ptr<SqliteDatabase>> openLedgerDatabase(const std::string& path, const LedgerOpenOptions& options);

} // namespace quill
