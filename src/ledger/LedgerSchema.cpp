#include "ledger/LedgerSchema.h"

#include "ledger/LedgerPacks.h"
#include "platform/CodePage.h"

#include <array>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {
namespace {

// Step i brings a file of version i to version i + 1: its statements, then what it fills in from
// the tables already there. Steps are never changed once released.
struct Migration {
    const char* sql;
    Status (*fill)(SqliteDatabase& db);
};

constexpr std::array<Migration, kLedgerSchemaVersion> kMigrations = {{
    // 0 -> 1: the first ledger.
    {R"sql(
CREATE TABLE crawler (
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL UNIQUE,
  crawler_group TEXT NOT NULL
);
CREATE TABLE url_path (
  id INTEGER PRIMARY KEY,
  path TEXT NOT NULL UNIQUE
);
CREATE TABLE day_total (
  day INTEGER PRIMARY KEY,
  requests INTEGER NOT NULL,
  crawler_requests INTEGER NOT NULL,
  fake_requests INTEGER NOT NULL
);
CREATE TABLE crawl (
  day INTEGER NOT NULL,
  crawler_id INTEGER NOT NULL,
  verdict INTEGER NOT NULL,
  path_id INTEGER NOT NULL,
  has_query INTEGER NOT NULL,
  status INTEGER NOT NULL,
  hits INTEGER NOT NULL,
  bytes INTEGER NOT NULL,
  time_taken INTEGER NOT NULL,
  PRIMARY KEY (day, crawler_id, verdict, path_id, has_query, status)
) WITHOUT ROWID;
CREATE TABLE crawl_status (
  day INTEGER NOT NULL,
  crawler_id INTEGER NOT NULL,
  verdict INTEGER NOT NULL,
  status INTEGER NOT NULL,
  hits INTEGER NOT NULL,
  PRIMARY KEY (day, crawler_id, verdict, status)
) WITHOUT ROWID;
CREATE TABLE crawl_hour (
  day INTEGER NOT NULL,
  hour INTEGER NOT NULL,
  crawler_id INTEGER NOT NULL,
  verdict INTEGER NOT NULL,
  hits INTEGER NOT NULL,
  PRIMARY KEY (day, hour, crawler_id, verdict)
) WITHOUT ROWID;
CREATE TABLE fake_visit (
  day INTEGER NOT NULL,
  crawler_id INTEGER NOT NULL,
  address TEXT NOT NULL,
  path_id INTEGER NOT NULL,
  hits INTEGER NOT NULL,
  PRIMARY KEY (day, crawler_id, address, path_id)
) WITHOUT ROWID;
CREATE TABLE log_file (
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL,
  file_size INTEGER NOT NULL,
  head_bytes INTEGER NOT NULL,
  head_hash INTEGER NOT NULL,
  read_to INTEGER NOT NULL,
  log_format INTEGER NOT NULL,
  field_map BLOB NOT NULL,
  data_lines INTEGER NOT NULL,
  undated_lines INTEGER NOT NULL,
  added_at TEXT NOT NULL
);
CREATE INDEX log_file_head ON log_file (head_hash);
CREATE TABLE url_day_pack (
  day INTEGER PRIMARY KEY,
  urls INTEGER NOT NULL,
  pack BLOB NOT NULL
);
)sql",
     nullptr},
    // 1 -> 2: the URL view's sums per path over thirds of months, months and every day.
    {R"sql(
CREATE TABLE url_span_pack (
  span INTEGER PRIMARY KEY,
  first_day INTEGER NOT NULL,
  last_day INTEGER NOT NULL,
  urls INTEGER NOT NULL,
  pack BLOB NOT NULL
);
)sql",
     rebuildSpanPacks},
}};

std::string newerVersionText(std::int64_t version)
{
    return gbk("抓取档案来自更新版本的程序 (结构版本 ") + std::to_string(version) + gbk("，本程序只认识到 ") +
           std::to_string(kLedgerSchemaVersion) + gbk(")，文件没有改动");
}

struct Header {
    std::int64_t applicationId = 0;
    std::int64_t version = 0;
    std::int64_t objects = 0;
};

Result<Header> readHeader(SqliteDatabase& db)
{
    Header header;
    for (auto [sql, into] : {std::pair{"PRAGMA application_id", &header.applicationId},
                             std::pair{"PRAGMA user_version", &header.version},
                             std::pair{"SELECT count(*) FROM sqlite_master", &header.objects}}) {
        Result<std::optional<std::int64_t>> value = db.queryInteger(sql);
        if (!value.ok())
            return value.status();
        *into = value.value().value_or(0);
    }
    return header;
}

Status checkHeader(const Header& header)
{
    if (header.version > kLedgerSchemaVersion)
        return Status::failure(newerVersionText(header.version));
    if (header.applicationId != kLedgerApplicationId && (header.objects > 0 || header.version != 0))
        return Status::failure(gbk("这个 SQLite 文件不是抓取档案，文件没有改动"));
    return {};
}

Status migrate(SqliteDatabase& db)
{
    if (Status begun = db.exec("BEGIN IMMEDIATE"); !begun)
        return begun;
    // Another program may have brought the file up to date while this one waited.
    Result<Header> header = readHeader(db);
    Status outcome = header.ok() ? checkHeader(header.value()) : header.status();
    for (std::int64_t step = header.ok() ? header.value().version : 0; outcome.ok() && step < kLedgerSchemaVersion;
         ++step) {
        const Migration& migration = kMigrations[static_cast<size_t>(step)];
        outcome = db.exec(migration.sql);
        if (outcome.ok() && migration.fill)
            outcome = migration.fill(db);
    }
    if (outcome.ok())
        outcome = db.exec("PRAGMA application_id = " + std::to_string(kLedgerApplicationId) +
                          "; PRAGMA user_version = " + std::to_string(kLedgerSchemaVersion));
    if (outcome.ok())
        outcome = db.exec("COMMIT");
    if (!outcome.ok())
        (void)db.exec("ROLLBACK");
    return outcome;
}

} // namespace

Result<std::unique_ptr<SqliteDatabase>> openLedgerDatabase(const std::string& path, const LedgerOpenOptions& options)
{
    struct stat info {};
    const bool exists = stat(path.c_str(), &info) == 0;
    if (options.access == LedgerAccess::Read && !exists)
        return Status::failure(gbk("抓取档案还不存在，请先添加日志: ") + utf8ToGbk(path));
    if (exists && !S_ISREG(info.st_mode))
        return Status::failure(gbk("抓取档案不是一个普通文件: ") + utf8ToGbk(path));
    if (options.access == LedgerAccess::Write && exists && access(path.c_str(), W_OK) != 0)
        return Status::failure(gbk("抓取档案文件是只读的，文件没有改动"));

    const OpenMode mode = options.access == LedgerAccess::Read ? OpenMode::ReadOnly : OpenMode::ReadWrite;
    Result<std::unique_ptr<SqliteDatabase>> opened = SqliteDatabase::open(path, mode, options.busyTimeoutMs);
    if (!opened.ok())
        return opened.status();
    SqliteDatabase& db = *opened.value();
    // Only reads until the file is known to be a ledger this program understands.
    Result<Header> header = readHeader(db);
    if (!header.ok())
        return header.status();
    if (Status fits = checkHeader(header.value()); !fits)
        return fits;
    if (options.access == LedgerAccess::Read) {
        // An older ledger is read as it is (the views do without what later versions add); it is
        // brought up to date by the next add.
        if (header.value().version == 0)
            return Status::failure(gbk("抓取档案还是空的，请先添加日志"));
        return opened;
    }
    // Large pages for a new file (an existing one keeps its own): a view reads whole tables of
    // sums, in a fraction of the read calls. WAL: the window keeps reading while an add writes,
    // and a killed add leaves no half.
    if (Status wal = db.exec("PRAGMA page_size = 65536; PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL"); !wal)
        return wal;
    if (header.value().version < kLedgerSchemaVersion)
        if (Status migrated = migrate(db); !migrated)
            return migrated;
    return opened;
}

} // namespace quill
