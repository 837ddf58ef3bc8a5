#include "ledger/SqliteDatabase.h"

#include "platform/CodePage.h"

#include <cerrno>
#include <sqlite3.h>
#include <utility>

namespace quill {

std::string sqliteFailureText(int code, std::string_view detail)
{
    const char* words = "读写抓取档案时出错";
    switch (code & 0xFF) {
    case SQLITE_NOTADB:
        words = "这不是抓取档案文件 (不是 SQLite 数据库)";
        break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        words = "抓取档案正被另一个程序使用，请稍后再试";
        break;
    case SQLITE_READONLY:
        words = "抓取档案文件是只读的";
        break;
    case SQLITE_FULL:
        words = "磁盘已满，抓取档案没有改动";
        break;
    case SQLITE_CANTOPEN:
        words = "无法打开抓取档案文件";
        break;
    case SQLITE_CORRUPT:
        words = "抓取档案文件已损坏";
        break;
    case SQLITE_NOMEM:
        words = "内存不足";
        break;
    case SQLITE_INTERRUPT:
        words = "已取消";
        break;
    default:
        break;
    }
    std::string text = gbk(words);
    if (!detail.empty())
        text += " (" + std::string(detail) + ")";
    return text;
}

namespace {

// The failure of the last call on `db`, with the errno it left (SQLite keeps none for a write that
// failed at a commit). A write the system refused for want of space, or past a size limit, is a
// full disk, whatever SQLite calls it.
Status failureOf(sqlite3* db, int lastErrno, std::string_view doing = {})
{
    std::string detail = sqlite3_errmsg(db);
    if (!doing.empty())
        detail = std::string(doing) + ": " + detail;
    int code = sqlite3_extended_errcode(db);
    const int system = sqlite3_system_errno(db) != 0 ? sqlite3_system_errno(db) : lastErrno;
    if ((code & 0xFF) == SQLITE_IOERR && (system == ENOSPC || system == EFBIG || system == EDQUOT))
        code = SQLITE_FULL;
    return Status::failure(sqliteFailureText(code, detail));
}

} // namespace

SqliteStatement::~SqliteStatement() { sqlite3_finalize(m_statement); }

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : m_statement(std::exchange(other.m_statement, nullptr)), m_db(other.m_db), m_status(std::move(other.m_status))
{
}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_statement);
        m_statement = std::exchange(other.m_statement, nullptr);
        m_db = other.m_db;
        m_status = std::move(other.m_status);
    }
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, std::int64_t value)
{
    sqlite3_bind_int64(m_statement, index, value);
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, std::string_view text)
{
    sqlite3_bind_text64(m_statement, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    return *this;
}

SqliteStatement& SqliteStatement::bindBlob(int index, std::string_view bytes)
{
    sqlite3_bind_blob64(m_statement, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
    return *this;
}

bool SqliteStatement::step()
{
    errno = 0;
    const int code = sqlite3_step(m_statement);
    const int lastErrno = errno;
    if (code == SQLITE_ROW)
        return true;
    if (code != SQLITE_DONE)
        m_status = failureOf(m_db, lastErrno);
    return false;
}

Status SqliteStatement::run()
{
    while (step()) {
    }
    Status outcome = std::move(m_status);
    m_status = {};
    reset();
    return outcome;
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_statement);
    m_status = {};
}

int SqliteStatement::columns() const { return sqlite3_column_count(m_statement); }

std::string SqliteStatement::columnName(int column) const
{
    const char* name = sqlite3_column_name(m_statement, column);
    return name ? name : "";
}

bool SqliteStatement::isNull(int column) const { return sqlite3_column_type(m_statement, column) == SQLITE_NULL; }

std::int64_t SqliteStatement::integer(int column) const { return sqlite3_column_int64(m_statement, column); }

std::string_view SqliteStatement::text(int column) const
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return bytes ? std::string_view(bytes, static_cast<size_t>(sqlite3_column_bytes(m_statement, column)))
                 : std::string_view();
}

std::string_view SqliteStatement::blob(int column) const
{
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
    return bytes ? std::string_view(bytes, static_cast<size_t>(sqlite3_column_bytes(m_statement, column)))
                 : std::string_view();
}

bool SqliteStatement::readOnly() const { return sqlite3_stmt_readonly(m_statement) != 0; }

Result<std::unique_ptr<SqliteDatabase>> SqliteDatabase::open(const std::string& path, OpenMode mode,
                                                             int busyTimeoutMs)
{
    sqlite3* db = nullptr;
    const int flags = (mode == OpenMode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) |
                      SQLITE_OPEN_NOMUTEX;
    const int code = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (code != SQLITE_OK) {
        std::string text = sqliteFailureText(code, db ? sqlite3_errmsg(db) : "");
        sqlite3_close(db);
        return Status::failure(std::move(text));
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, busyTimeoutMs);
    return std::unique_ptr<SqliteDatabase>(new SqliteDatabase(db, path));
}

SqliteDatabase::~SqliteDatabase() { sqlite3_close_v2(m_db); }

Status SqliteDatabase::exec(std::string_view sql)
{
    const std::string text(sql);
    errno = 0;
    if (sqlite3_exec(m_db, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        return failureOf(m_db, errno);
    return {};
}

Result<SqliteStatement> SqliteDatabase::prepare(std::string_view sql)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.data(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK)
        return lastFailure("");
    return SqliteStatement(statement, m_db);
}

Result<std::optional<std::int64_t>> SqliteDatabase::queryInteger(std::string_view sql)
{
    Result<SqliteStatement> statement = prepare(sql);
    if (!statement.ok())
        return statement.status();
    SqliteStatement& query = statement.value();
    if (query.step())
        return std::optional<std::int64_t>(query.integer(0));
    if (!query.status().ok())
        return query.status();
    return std::optional<std::int64_t>();
}

Result<bool> SqliteDatabase::readBlob(const char* table, const char* column, std::int64_t rowid, std::string& into)
{
    sqlite3_blob* blob = nullptr;
    errno = 0;
    if (sqlite3_blob_open(m_db, "main", table, column, rowid, 0, &blob) != SQLITE_OK) {
        const bool missing = sqlite3_errcode(m_db) == SQLITE_ERROR &&
                             std::string_view(sqlite3_errmsg(m_db)).starts_with("no such rowid");
        Status failure = failureOf(m_db, errno);
        sqlite3_blob_close(blob);
        if (missing)
            return false;
        return failure;
    }
    into.resize(static_cast<size_t>(sqlite3_blob_bytes(blob)));
    errno = 0;
    const int read = sqlite3_blob_read(blob, into.data(), static_cast<int>(into.size()), 0);
    const int lastErrno = errno;
    Status failure = read == SQLITE_OK ? Status() : failureOf(m_db, lastErrno);
    sqlite3_blob_close(blob);
    if (!failure.ok())
        return failure;
    return true;
}

std::int64_t SqliteDatabase::lastInsertId() const { return sqlite3_last_insert_rowid(m_db); }

Status SqliteDatabase::lastFailure(std::string_view doing) const { return failureOf(m_db, 0, doing); }

} // namespace quill
