#pragma once
// A thin owner of one SQLite connection and its prepared statements. sqlite3.h stays inside the
// .cpp; failures come back as Status values carrying words a user can act on.

#include "platform/Status.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace quill {

enum class OpenMode { ReadWrite, ReadOnly };

class SqliteStatement {
public:
    SqliteStatement() = default;
    SqliteStatement(sqlite3_stmt* statement, sqlite3* db) : m_statement(statement), m_db(db) {}
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;

    // Parameters count from 1. Texts and blobs are copied.
    SqliteStatement& bind(int index, std::int64_t value);
    SqliteStatement& bind(int index, std::string_view text);
    SqliteStatement& bindBlob(int index, std::string_view bytes);

    // True while a row is ready; false at the end. A failure ends the rows and is kept in status().
    bool step();
    // Runs a statement that returns no rows (or whose rows are not wanted), then resets it.
    Status run();
    // Makes the statement ready to run again; bindings stay.
    void reset();
    const Status& status() const { return m_status; }

    int columns() const;
    std::string columnName(int column) const;
    bool isNull(int column) const;
    std::int64_t integer(int column) const;
    std::string_view text(int column) const; // valid until the next step
    std::string_view blob(int column) const;  // valid until the next step
    bool readOnly() const;

private:
    sqlite3_stmt* m_statement = nullptr;
    sqlite3* m_db = nullptr;
    Status m_status;
};

class SqliteDatabase {
public:
    // Opens (ReadWrite: creates when missing) the database file at `path`. A busy database is
    // waited for up to `busyTimeoutMs`.
    static Result<std::unique_ptr<SqliteDatabase>> open(const std::string& path, OpenMode mode, int busyTimeoutMs);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // Runs one or more statements separated by ";".
    Status exec(std::string_view sql);
    Result<SqliteStatement> prepare(std::string_view sql);
    // The first column of the first row of `sql`; nothing when there is no row.
    Result<std::optional<std::int64_t>> queryInteger(std::string_view sql);

    // Reads the blob in `column` of the row `rowid` of `table` into `into` (its memory reused);
    // false when the table has no such row.
    Result<bool> readBlob(const char* table, const char* column, std::int64_t rowid, std::string& into);

    std::int64_t lastInsertId() const;
    // A failure of the last call as words for the user (GBK), the file name included where it helps.
    Status lastFailure(std::string_view doing) const;
    const std::string& path() const { return m_path; }

private:
    SqliteDatabase(sqlite3* db, std::string path) : m_db(db), m_path(std::move(path)) {}

    sqlite3* m_db;
    std::string m_path;
};

// The user's words (GBK) for an SQLite result code, followed by SQLite's own message.
std::string sqliteFailureText(int code, std::string_view detail);

} // namespace quill
