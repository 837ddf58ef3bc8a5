#include "logs/RecordsJsonLines.h"

#include "crawlers/CrawlerRegistry.h"
#include "crawlers/CrawlerTable.h"
#include "logs/LogTokens.h"
#include "platform/JsonText.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <unordered_map>

namespace quill {
namespace {

enum class Kind {
    Text,
    Number,
    Milliseconds, // written as nanoseconds, as event.duration is
    HttpVersion,  // "HTTP/1.1" written as "1.1"
    HostName,     // a Host header without its ":port"
};

// Where a value comes from: a column's slot, or past kFromExtra an ExtraField.
constexpr int kFromExtra = 100;

struct JsonField {
    std::string_view member;
    int source;
    Kind kind;
};

constexpr JsonField kFields[] = {
    {"source.address", kColClientIp, Kind::Text},
    {"http.request.method", 10, Kind::Text},
    {"url.path", kColUriStem, Kind::Text},
    {"url.query", kColUriQuery, Kind::Text},
    {"http.response.status_code", kColStatus, Kind::Number},
    {"iis.sub_status", 5, Kind::Number},
    {"iis.win32_status", 6, Kind::Number},
    {"http.response.bytes", kColBytesSent, Kind::Number},
    {"http.request.bytes", 14, Kind::Number},
    {"event.duration", kColTimeTaken, Kind::Milliseconds},
    {"destination.address", kColServerIp, Kind::Text},
    {"destination.port", 12, Kind::Number},
    {"user.name", kFromExtra + kExtraUserName, Kind::Text},
    {"user_agent.original", kColUserAgent, Kind::Text},
    {"http.request.referrer", kColReferrer, Kind::Text},
    {"http.version", kFromExtra + kExtraVersion, Kind::HttpVersion},
    {"url.domain", kFromExtra + kExtraHost, Kind::HostName},
    {"host.name", kFromExtra + kExtraComputerName, Kind::Text},
    {"iis.site_name", kFromExtra + kExtraSiteName, Kind::Text},
};

constexpr int kColTime = 9;
constexpr unsigned kMaxPosition = 255;

unsigned positionOf(const FieldMap& map, int source)
{
    return source >= kFromExtra ? map.extras[static_cast<size_t>(source - kFromExtra)] : map[source];
}

// Tokens 1..last of a stored line; a position past the line's end reads "-".
void cutTokens(std::string_view line, unsigned last, std::array<std::string_view, kMaxPosition + 1>& tokens)
{
    const char* p = line.data();
    const char* end = p + line.size();
    unsigned position = 1;
    for (; position <= last; ++position) {
        const auto* blank = static_cast<const char*>(std::memchr(p, ' ', static_cast<size_t>(end - p)));
        const char* stop = blank ? blank : end;
        tokens[position] = std::string_view(p, static_cast<size_t>(stop - p));
        if (!blank)
            break;
        p = blank + 1;
    }
    for (++position; position <= last; ++position)
        tokens[position] = kMissingToken;
}

bool isDigits(std::string_view text)
{
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return !text.empty();
}

// A decimal count times `scale` within a signed 64-bit number; nothing for any other text.
bool parseCount(std::string_view text, std::uint64_t scale, std::uint64_t& value)
{
    if (!isDigits(text) || text.size() > 19)
        return false;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) / scale)
        return false;
    value *= scale;
    return true;
}

// "2026-12-01" and "00:00:04" (a fraction of a second may follow).
bool isDate(std::string_view d)
{
    return d.size() == 10 && isDigits(d.substr(0, 4)) && d[4] == '-' && isDigits(d.substr(5, 2)) && d[7] == '-' &&
           isDigits(d.substr(8, 2));
}
bool isTime(std::string_view t)
{
    return t.size() >= 8 && isDigits(t.substr(0, 2)) && t[2] == ':' && isDigits(t.substr(3, 2)) && t[5] == ':' &&
           isDigits(t.substr(6, 2)) && (t.size() == 8 || (t[8] == '.' && isDigits(t.substr(9))));
}

std::string_view withoutPort(std::string_view host)
{
    const size_t colon = host.rfind(':');
    if (colon == std::string_view::npos || !isDigits(host.substr(colon + 1)))
        return host;
    const std::string_view name = host.substr(0, colon);
    // "[::1]:8080" loses its port; a bare IPv6 address keeps every part.
    return name.find(':') == std::string_view::npos || name.ends_with(']') ? name : host;
}

class RowWriter {
public:
    explicit RowWriter(std::string& out) : m_out(out) { m_out += '{'; }
    ~RowWriter() { m_out += "}\n"; }

    std::string& member(std::string_view name)
    {
        if (!m_first)
            m_out += ',';
        m_first = false;
        m_out += '"';
        m_out += name;
        m_out += "\":";
        return m_out;
    }
    void text(std::string_view name, std::string_view gbk) { appendGbkJsonString(member(name), gbk); }
    void number(std::string_view name, std::uint64_t value)
    {
        char digits[24];
        const auto [end, ignored] = std::to_chars(digits, digits + sizeof digits, value);
        member(name).append(digits, end);
    }

private:
    std::string& m_out;
    bool m_first = true;
};

void writeField(RowWriter& row, const JsonField& field, std::string_view value)
{
    std::uint64_t count = 0;
    switch (field.kind) {
    case Kind::Text:
        row.text(field.member, value);
        return;
    case Kind::Number:
    case Kind::Milliseconds:
        // A damaged count is no number: left out rather than written as text a typed column refuses.
        if (parseCount(value, field.kind == Kind::Milliseconds ? 1000000 : 1, count))
            row.number(field.member, count);
        return;
    case Kind::HttpVersion:
        row.text(field.member, value.starts_with("HTTP/") ? value.substr(5) : value);
        return;
    case Kind::HostName:
        row.text(field.member, withoutPort(value));
        return;
    }
}

// Names crawlers by their user agent once per distinct agent.
class CrawlerNames {
public:
    CrawlerId ofAgent(std::string_view agent)
    {
        auto [it, added] = m_known.try_emplace(agent, kNoCrawler);
        if (added)
            it->second = identifyUserAgent(agent);
        return it->second;
    }

private:
    std::unordered_map<std::string_view, CrawlerId> m_known;
};

void writeCrawler(RowWriter& row, const LogRecord& record, std::string_view agent, CrawlerNames& names)
{
    const int tableRow = record.crawlerRow();
    const CrawlerId crawler = tableRow != 0 ? crawlerOfRow(tableRow) : names.ofAgent(agent);
    if (crawler != kNoCrawler)
        row.text("quillmarkbox.crawler.key", crawlerEntry(crawler).key);
    // The name the crawler column shows where the crawler table named the row.
    if (tableRow != 0)
        row.text("quillmarkbox.crawler.name", crawlerDisplayName(tableRow));
    else if (crawler != kNoCrawler)
        row.text("quillmarkbox.crawler.name", crawlerEntry(crawler).name);
    if (crawler != kNoCrawler)
        row.text("quillmarkbox.crawler.group", crawlerGroupWord(crawlerEntry(crawler).group));
}

bool isAbsent(std::string_view value) { return value.empty() || value == kMissingToken; }

} // namespace

void appendJsonLines(const RecordStore& store, size_t begin, size_t end, std::span<const std::string_view> verdicts,
                     std::string& out)
{
    CrawlerNames names;
    std::array<std::string_view, kMaxPosition + 1> tokens;
    for (size_t row = begin; row < end; ++row) {
        const std::uint32_t recordNumber = store.recordAt(static_cast<std::uint32_t>(row));
        const LogRecord& record = store.record(recordNumber);
        const FieldMap& map = store.mapOf(record);
        unsigned last = std::max<unsigned>(map[kColDate], map[kColTime]);
        for (const JsonField& field : kFields)
            last = std::max(last, positionOf(map, field.source));
        cutTokens(record.line(), last, tokens);
        tokens[0] = kMissingToken;

        RowWriter json(out);
        const std::string_view date = tokens[map[kColDate]];
        const std::string_view time = tokens[map[kColTime]];
        if (isDate(date) && isTime(time)) {
            std::string& stamp = json.member("@timestamp");
            stamp += '"';
            stamp.append(date).append("T").append(time).append("Z\"");
        }
        for (const JsonField& field : kFields) {
            const std::string_view value = tokens[positionOf(map, field.source)];
            if (!isAbsent(value))
                writeField(json, field, value);
        }
        writeCrawler(json, record, tokens[map[kColUserAgent]], names);
        if (recordNumber < verdicts.size() && !verdicts[recordNumber].empty())
            json.text("quillmarkbox.crawler.verdict", verdicts[recordNumber]);
    }
}

} // namespace quill
