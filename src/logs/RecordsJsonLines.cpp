#include "logs/RecordsJsonLines.h"

#include "crawlers/CrawlerRegistry.h"
#include "crawlers/CrawlerTable.h"
#include "logs/LogTokens.h"
#include "logs/RecordColumns.h"
#include "platform/JsonText.h"

#include <array>
#include <charconv>
#include <cstdint>
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

// Columns the rest of the log analysis does not read by name.
constexpr int kColSubStatus = 5, kColWin32Status = 6, kColTime = 9, kColMethod = 10, kColServerPort = 12,
              kColBytesReceived = 14;

// Where a value comes from: a column's slot, or past kFromExtra an ExtraField.
constexpr int kFromExtra = 100;

struct JsonField {
    std::string_view member; // quoted, with its colon
    int source;
    Kind kind;
};

constexpr JsonField kFields[] = {
    {R"("source.address":)", kColClientIp, Kind::Text},
    {R"("http.request.method":)", kColMethod, Kind::Text},
    {R"("url.path":)", kColUriStem, Kind::Text},
    {R"("url.query":)", kColUriQuery, Kind::Text},
    {R"("http.response.status_code":)", kColStatus, Kind::Number},
    {R"("iis.sub_status":)", kColSubStatus, Kind::Number},
    {R"("iis.win32_status":)", kColWin32Status, Kind::Number},
    {R"("http.response.bytes":)", kColBytesSent, Kind::Number},
    {R"("http.request.bytes":)", kColBytesReceived, Kind::Number},
    {R"("event.duration":)", kColTimeTaken, Kind::Milliseconds},
    {R"("destination.address":)", kColServerIp, Kind::Text},
    {R"("destination.port":)", kColServerPort, Kind::Number},
    {R"("user.name":)", kFromExtra + kExtraUserName, Kind::Text},
    {R"("user_agent.original":)", kColUserAgent, Kind::Text},
    {R"("http.request.referrer":)", kColReferrer, Kind::Text},
    {R"("http.version":)", kFromExtra + kExtraVersion, Kind::HttpVersion},
    {R"("url.domain":)", kFromExtra + kExtraHost, Kind::HostName},
    {R"("host.name":)", kFromExtra + kExtraComputerName, Kind::Text},
    {R"("iis.site_name":)", kFromExtra + kExtraSiteName, Kind::Text},
};

unsigned positionOf(const FieldMap& map, int source)
{
    return source >= kFromExtra ? map.extras[static_cast<size_t>(source - kFromExtra)] : map[source];
}

// Tokens 1..last of a stored line, a position past the line's end reading "-"; true when the line
// holds no byte JSON escapes, so its tokens need no escaping.
bool cutTokens(std::string_view line, unsigned last, std::array<std::string_view, kMaxTokenPosition>& tokens)
{
    std::uint32_t starts[kMaxTokenPosition + 1];
    LineBytes bytes;
    const unsigned found = last == 0 ? 0 : tokenStarts(line, last, starts, bytes);
    for (unsigned position = 1; position < found; ++position)
        tokens[position] = line.substr(starts[position], starts[position + 1] - 1 - starts[position]);
    if (found > 0) { // the last token found may still be followed by more
        const std::string_view rest = line.substr(starts[found]);
        tokens[found] = rest.substr(0, rest.find(' '));
    }
    for (unsigned position = found + 1; position <= last; ++position)
        tokens[position] = kMissingToken;
    return bytes.plain;
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

// Bytes a JSON string cannot hold as they are, and GBK bytes, which need converting.
constexpr std::array<bool, 256> kNeedsMore = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[static_cast<size_t>(c)] = c < 0x20 || c == '"' || c == '\\' || c >= 0x80;
    return table;
}();

class RowWriter {
public:
    RowWriter(std::string& out, bool plainLine) : m_out(out), m_plainLine(plainLine) { m_out += '{'; }
    ~RowWriter() { m_out += "}\n"; }

    // `name` is the member's name in quotes and the colon: "\"url.path\":".
    std::string& member(std::string_view name)
    {
        if (!m_first)
            m_out += ',';
        m_first = false;
        m_out.append(name);
        return m_out;
    }
    void text(std::string_view name, std::string_view gbk)
    {
        std::string& out = member(name);
        for (char c : gbk) {
            if (kNeedsMore[static_cast<unsigned char>(c)]) {
                appendGbkJsonString(out, gbk);
                return;
            }
        }
        out += '"';
        out.append(gbk);
        out += '"';
    }
    // A value cut from the line.
    void field(std::string_view name, std::string_view gbk)
    {
        if (!m_plainLine) {
            text(name, gbk);
            return;
        }
        std::string& out = member(name);
        out += '"';
        out.append(gbk);
        out += '"';
    }
    void number(std::string_view name, std::uint64_t value)
    {
        char digits[24];
        const auto [end, ignored] = std::to_chars(digits, digits + sizeof digits, value);
        member(name).append(digits, end);
    }

private:
    std::string& m_out;
    bool m_plainLine;
    bool m_first = true;
};

void writeField(RowWriter& row, const JsonField& field, std::string_view value)
{
    std::uint64_t count = 0;
    const bool milliseconds = field.kind == Kind::Milliseconds;
    switch (field.kind) {
    case Kind::Text:
        row.field(field.member, value);
        return;
    case Kind::Number:
    case Kind::Milliseconds:
        // Most counts stand as they are: digits without a leading zero, too few to overflow.
        if (isDigits(value) && (value.size() == 1 || value[0] != '0') && value.size() <= (milliseconds ? 12 : 18)) {
            std::string& out = row.member(field.member);
            out.append(value);
            if (milliseconds && value != "0")
                out.append("000000");
            return;
        }
        // A damaged count is no number: left out rather than written as text a typed column refuses.
        if (parseCount(value, milliseconds ? 1000000 : 1, count))
            row.number(field.member, count);
        return;
    case Kind::HttpVersion:
        row.field(field.member, value.starts_with("HTTP/") ? value.substr(5) : value);
        return;
    case Kind::HostName:
        row.field(field.member, withoutPort(value));
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
        row.text(R"("quillmarkbox.crawler.key":)", crawlerEntry(crawler).key);
    // The name the crawler column shows where the crawler table named the row.
    if (tableRow != 0)
        row.text(R"("quillmarkbox.crawler.name":)", crawlerDisplayName(tableRow));
    else if (crawler != kNoCrawler)
        row.text(R"("quillmarkbox.crawler.name":)", crawlerEntry(crawler).name);
    if (crawler != kNoCrawler)
        row.text(R"("quillmarkbox.crawler.group":)", crawlerGroupWord(crawlerEntry(crawler).group));
}

bool isAbsent(std::string_view value) { return value.empty() || value == kMissingToken; }

} // namespace

void appendJsonLines(const RecordStore& store, size_t begin, size_t end, std::span<const std::string_view> verdicts,
                     std::string& out)
{
    CrawlerNames names;
    RowsText text;
    text.take(store, begin, end);
    std::array<std::string_view, kMaxTokenPosition> tokens;
    for (size_t row = begin; row < end; ++row) {
        const std::uint32_t recordNumber = store.recordAt(static_cast<std::uint32_t>(row));
        const LogRecord& record = store.record(recordNumber);
        const FieldMap& map = store.mapOf(record);
        unsigned last = std::max<unsigned>(map[kColDate], map[kColTime]);
        for (const JsonField& field : kFields)
            last = std::max(last, positionOf(map, field.source));
        const bool plain = cutTokens(text.line(record), last, tokens);
        tokens[0] = kMissingToken;

        RowWriter json(out, plain);
        const std::string_view date = tokens[map[kColDate]];
        const std::string_view time = tokens[map[kColTime]];
        if (isDate(date) && isTime(time)) {
            std::string& stamp = json.member(R"("@timestamp":")");
            stamp.append(date).append("T").append(time).append("Z\"");
        }
        for (const JsonField& field : kFields) {
            const std::string_view value = tokens[positionOf(map, field.source)];
            if (!isAbsent(value))
                writeField(json, field, value);
        }
        writeCrawler(json, record, tokens[map[kColUserAgent]], names);
        if (recordNumber < verdicts.size() && !verdicts[recordNumber].empty())
            json.text(R"("quillmarkbox.crawler.verdict":)", verdicts[recordNumber]);
        if (row == begin) // the rows of a log are much alike: room for the rest at once
            out.reserve(out.size() * (end - begin) * 9 / 8);
    }
}

} // namespace quill
