#include "ledger/Ledger.h"

#include "ledger/LedgerCrawlers.h"
#include "ledger/LedgerPacks.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <map>
#include <set>
#include <tuple>

namespace quill {
namespace {

constexpr const char* kRecordColumns = "id, name, file_size, head_bytes, head_hash, read_to, log_format, field_map, "
                                       "data_lines, undated_lines FROM log_file ";

LogFileRecord recordOf(const SqliteStatement& row)
{
    LogFileRecord record;
    record.id = row.integer(0);
    record.name = std::string(row.text(1));
    record.fileSize = static_cast<std::uint64_t>(row.integer(2));
    record.headBytes = static_cast<std::uint64_t>(row.integer(3));
    record.headHash = row.integer(4);
    record.readTo = static_cast<std::uint64_t>(row.integer(5));
    const std::int64_t format = row.integer(6);
    record.state.format = format == 1 ? LogFormat::IIS : format == 2 ? LogFormat::LogParser : LogFormat::None;
    const std::string_view map = row.blob(7);
    std::memcpy(record.state.map.positions.data(), map.data(), std::min(map.size(), record.state.map.positions.size()));
    record.dataLines = static_cast<std::uint64_t>(row.integer(8));
    record.undatedLines = static_cast<std::uint64_t>(row.integer(9));
    return record;
}

std::string utcNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

int statusClass(int status) { return status >= 200 && status < 600 ? status / 100 - 2 : -1; }

// The crawls of an add as the span packs sum them (fakes left out), with the ledger's ids.
template <typename CrawlerId, typename PathId>
std::vector<SpanCrawl> spanCrawls(const FileFacts& facts, CrawlerId crawlerId, PathId pathId)
{
    std::vector<SpanCrawl> crawls;
    crawls.reserve(facts.crawls.size());
    for (const CrawlFact& fact : facts.crawls)
        if (fact.verdict != Verdict::Fake)
            crawls.push_back({fact.day, static_cast<std::uint32_t>(pathId(fact.path)),
                              static_cast<std::uint32_t>(crawlerId(fact.crawler)), statusClass(fact.status), fact.hits,
                              fact.bytes, fact.timeTaken});
    return crawls;
}

// Runs `statement` once per element of `items`, binding each with `bind`.
template <typename Items, typename Bind>
Status runEach(SqliteDatabase& db, std::string_view sql, const Items& items, Bind bind)
{
    Result<SqliteStatement> prepared = db.prepare(sql);
    if (!prepared.ok())
        return prepared.status();
    SqliteStatement& statement = prepared.value();
    for (const auto& item : items) {
        bind(statement, item);
        if (Status done = statement.run(); !done)
            return done;
    }
    return {};
}

} // namespace

std::int64_t headHash(std::string_view head)
{
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (unsigned char byte : head) {
        hash ^= byte;
        hash *= 0x100000001B3ull;
    }
    return static_cast<std::int64_t>(hash);
}

Result<std::unique_ptr<Ledger>> Ledger::open(const std::string& path, LedgerOpenOptions options)
{
    options.access = LedgerAccess::Write;
    Result<std::unique_ptr<SqliteDatabase>> db = openLedgerDatabase(path, options);
    if (!db.ok())
        return db.status();
    return std::unique_ptr<Ledger>(new Ledger(std::move(db.value())));
}

Ledger::~Ledger() = default;

Result<std::optional<LogFileRecord>> Ledger::findFile(std::string_view head, const std::string& name)
{
    Result<SqliteStatement> same =
        m_db->prepare(std::string("SELECT ") + kRecordColumns + "WHERE head_hash = ? AND head_bytes = ? ORDER BY id LIMIT 1");
    if (!same.ok())
        return same.status();
    same.value().bind(1, headHash(head)).bind(2, static_cast<std::int64_t>(head.size()));
    if (same.value().step())
        return std::optional<LogFileRecord>(recordOf(same.value()));
    if (!same.value().status().ok())
        return same.value().status();

    Result<SqliteStatement> grown =
        m_db->prepare(std::string("SELECT ") + kRecordColumns + "WHERE name = ? AND head_bytes < ? ORDER BY id");
    if (!grown.ok())
        return grown.status();
    grown.value().bind(1, name).bind(2, static_cast<std::int64_t>(head.size()));
    while (grown.value().step()) {
        LogFileRecord record = recordOf(grown.value());
        if (headHash(head.substr(0, record.headBytes)) == record.headHash)
            return std::optional<LogFileRecord>(std::move(record));
    }
    if (!grown.value().status().ok())
        return grown.value().status();
    return std::optional<LogFileRecord>();
}

Result<std::optional<LogFileRecord>> Ledger::fileById(std::int64_t id)
{
    Result<SqliteStatement> query = m_db->prepare(std::string("SELECT ") + kRecordColumns + "WHERE id = ?");
    if (!query.ok())
        return query.status();
    query.value().bind(1, id);
    if (query.value().step())
        return std::optional<LogFileRecord>(recordOf(query.value()));
    if (!query.value().status().ok())
        return query.value().status();
    return std::optional<LogFileRecord>();
}

Result<bool> Ledger::addFile(LogFileRecord& record, std::uint64_t expectedReadTo, const FileFacts& facts,
                             const std::function<void(WriteStage)>& stage)
{
    if (Status begun = m_db->exec("BEGIN IMMEDIATE"); !begun)
        return begun;
    auto fail = [&](Status why) -> Result<bool> {
        (void)m_db->exec("ROLLBACK");
        // Ids handed out inside the transaction are gone with it.
        m_pathIds.clear();
        m_pathsVersion.reset();
        m_crawlerIds.clear();
        return why;
    };
    if (stage)
        stage(WriteStage::Begun);

    // Another program may have read this file since this one looked.
    std::optional<LogFileRecord> now;
    if (record.id != 0) {
        Result<std::optional<LogFileRecord>> found = fileById(record.id);
        if (!found.ok())
            return fail(found.status());
        now = found.value();
    } else {
        Result<SqliteStatement> query = m_db->prepare("SELECT id FROM log_file WHERE head_hash = ? AND head_bytes = ?");
        if (!query.ok())
            return fail(query.status());
        query.value().bind(1, record.headHash).bind(2, static_cast<std::int64_t>(record.headBytes));
        if (query.value().step())
            now = LogFileRecord{};
        else if (!query.value().status().ok())
            return fail(query.value().status());
    }
    const bool unchanged = record.id != 0 ? now && now->readTo == expectedReadTo : !now;
    if (!unchanged) {
        (void)m_db->exec("ROLLBACK");
        return false;
    }

    if (Status written = writeFacts(facts); !written)
        return fail(written);
    if (stage)
        stage(WriteStage::FactsWritten);
    if (Status saved = saveRecord(record); !saved)
        return fail(saved);
    if (stage)
        stage(WriteStage::RecordWritten);
    if (Status committed = m_db->exec("COMMIT"); !committed)
        return fail(committed);
    return true;
}

Result<std::int64_t> Ledger::crawlerId(int crawler)
{
    if (auto known = m_crawlerIds.find(crawler); known != m_crawlerIds.end())
        return known->second;
    const LedgerCrawler& named = ledgerCrawlers()[static_cast<size_t>(crawler - 1)];
    const std::string name = gbkToUtf8(named.name);
    Result<SqliteStatement> insert =
        m_db->prepare("INSERT INTO crawler (name, crawler_group) VALUES (?, ?) ON CONFLICT (name) DO NOTHING");
    if (!insert.ok())
        return insert.status();
    if (Status done = insert.value().bind(1, name).bind(2, gbkToUtf8(named.group)).run(); !done)
        return done;
    Result<SqliteStatement> query = m_db->prepare("SELECT id FROM crawler WHERE name = ?");
    if (!query.ok())
        return query.status();
    query.value().bind(1, name);
    if (!query.value().step())
        return query.value().status().ok() ? Status::failure("crawler row missing") : query.value().status();
    return m_crawlerIds[crawler] = query.value().integer(0);
}

Status Ledger::loadPaths()
{
    // Another program's commits show in data_version; only then is the table read again.
    Result<std::optional<std::int64_t>> version = m_db->queryInteger("PRAGMA data_version");
    if (!version.ok())
        return version.status();
    if (m_pathsVersion == version.value())
        return {};
    m_pathIds.clear();
    m_crawlerIds.clear();
    Result<SqliteStatement> all = m_db->prepare("SELECT id, path FROM url_path");
    if (!all.ok())
        return all.status();
    while (all.value().step())
        m_pathIds.emplace(std::string(all.value().text(1)), all.value().integer(0));
    if (!all.value().status().ok())
        return all.value().status();
    m_pathsVersion = version.value();
    return {};
}

Result<std::vector<std::int64_t>> Ledger::pathIds(const std::vector<std::string>& paths)
{
    if (Status loaded = loadPaths(); !loaded)
        return loaded;
    Result<SqliteStatement> insert = m_db->prepare("INSERT INTO url_path (path) VALUES (?)");
    if (!insert.ok())
        return insert.status();
    std::vector<std::int64_t> ids;
    ids.reserve(paths.size());
    for (const std::string& path : paths) {
        auto [it, added] = m_pathIds.try_emplace(path, 0);
        if (added) {
            if (Status done = insert.value().bind(1, path).run(); !done) {
                m_pathIds.erase(it);
                return done;
            }
            it->second = m_db->lastInsertId();
        }
        ids.push_back(it->second);
    }
    return ids;
}

Status Ledger::writeFacts(const FileFacts& facts)
{
    Result<std::vector<std::int64_t>> paths = pathIds(facts.paths);
    if (!paths.ok())
        return paths.status();
    std::map<int, std::int64_t> crawlers;
    for (const CrawlFact& fact : facts.crawls)
        crawlers[fact.crawler] = 0;
    for (auto& [crawler, id] : crawlers) {
        Result<std::int64_t> known = crawlerId(crawler);
        if (!known.ok())
            return known.status();
        id = known.value();
    }
    auto idOf = [&](int crawler) { return crawlers.at(crawler); };
    auto pathOf = [&](std::uint32_t path) { return paths.value()[path]; };

    Status done = runEach(*m_db,
                          "INSERT INTO crawl VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT DO UPDATE SET "
                          "hits = hits + excluded.hits, bytes = bytes + excluded.bytes, "
                          "time_taken = time_taken + excluded.time_taken",
                          facts.crawls, [&](SqliteStatement& s, const CrawlFact& f) {
                              s.bind(1, f.day).bind(2, idOf(f.crawler)).bind(3, static_cast<int>(f.verdict));
                              s.bind(4, pathOf(f.path)).bind(5, f.hasQuery ? 1 : 0).bind(6, f.status);
                              s.bind(7, f.hits).bind(8, f.bytes).bind(9, f.timeTaken);
                          });
    if (!done)
        return done;

    std::map<std::tuple<int, std::int64_t, int, int>, std::int64_t> statuses;
    std::set<int> days;
    for (const CrawlFact& f : facts.crawls) {
        statuses[{f.day, idOf(f.crawler), static_cast<int>(f.verdict), f.status}] += f.hits;
        days.insert(f.day);
    }
    done = runEach(*m_db,
                   "INSERT INTO crawl_status VALUES (?, ?, ?, ?, ?) ON CONFLICT DO UPDATE SET hits = hits + excluded.hits",
                   statuses, [](SqliteStatement& s, const auto& entry) {
                       const auto& [key, hits] = entry;
                       s.bind(1, std::get<0>(key)).bind(2, std::get<1>(key)).bind(3, std::get<2>(key));
                       s.bind(4, std::get<3>(key)).bind(5, hits);
                   });
    if (!done)
        return done;
    done = runEach(*m_db,
                   "INSERT INTO crawl_hour VALUES (?, ?, ?, ?, ?) ON CONFLICT DO UPDATE SET hits = hits + excluded.hits",
                   facts.hours, [&](SqliteStatement& s, const HourFact& f) {
                       s.bind(1, f.day).bind(2, f.hour).bind(3, idOf(f.crawler)).bind(4, static_cast<int>(f.verdict));
                       s.bind(5, f.hits);
                   });
    if (!done)
        return done;
    done = runEach(*m_db,
                   "INSERT INTO fake_visit VALUES (?, ?, ?, ?, ?) ON CONFLICT DO UPDATE SET hits = hits + excluded.hits",
                   facts.fakes, [&](SqliteStatement& s, const FakeFact& f) {
                       s.bind(1, f.day).bind(2, idOf(f.crawler)).bind(3, facts.addresses[f.address]);
                       s.bind(4, pathOf(f.path)).bind(5, f.hits);
                   });
    if (!done)
        return done;
    done = runEach(*m_db,
                   "INSERT INTO day_total VALUES (?, ?, ?, ?) ON CONFLICT DO UPDATE SET "
                   "requests = requests + excluded.requests, "
                   "crawler_requests = crawler_requests + excluded.crawler_requests, "
                   "fake_requests = fake_requests + excluded.fake_requests",
                   facts.days, [](SqliteStatement& s, const DayFact& f) {
                       s.bind(1, f.day).bind(2, f.requests).bind(3, f.crawlerRequests).bind(4, f.fakeRequests);
                   });
    if (!done)
        return done;
    for (int day : days)
        if (Status rebuilt = rebuildDayPack(*m_db, day); !rebuilt)
            return rebuilt;
    return addToSpanPacks(*m_db, spanCrawls(facts, idOf, pathOf));
}

Status Ledger::saveRecord(LogFileRecord& record)
{
    const std::string_view map(reinterpret_cast<const char*>(record.state.map.positions.data()),
                               record.state.map.positions.size());
    Result<SqliteStatement> save = m_db->prepare(
        record.id == 0 ? "INSERT INTO log_file (name, file_size, head_bytes, head_hash, read_to, log_format, field_map, "
                         "data_lines, undated_lines, added_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
                       : "UPDATE log_file SET name = ?, file_size = ?, head_bytes = ?, head_hash = ?, read_to = ?, "
                         "log_format = ?, field_map = ?, data_lines = ?, undated_lines = ?, added_at = ? WHERE id = ?");
    if (!save.ok())
        return save.status();
    SqliteStatement& s = save.value();
    s.bind(1, record.name).bind(2, static_cast<std::int64_t>(record.fileSize));
    s.bind(3, static_cast<std::int64_t>(record.headBytes)).bind(4, record.headHash);
    s.bind(5, static_cast<std::int64_t>(record.readTo)).bind(6, static_cast<int>(record.state.format));
    s.bindBlob(7, map).bind(8, static_cast<std::int64_t>(record.dataLines));
    s.bind(9, static_cast<std::int64_t>(record.undatedLines)).bind(10, utcNow());
    if (record.id != 0)
        s.bind(11, record.id);
    if (Status done = s.run(); !done)
        return done;
    if (record.id == 0)
        record.id = m_db->lastInsertId();
    return {};
}

} // namespace quill
