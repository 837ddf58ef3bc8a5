#include "logs/HeaderStep.h"

#include "platform/GbkText.h"

#include <string>
#include <utility>

namespace quill {
namespace {

struct NamedSlot {
    std::string_view name;
    int column; // -1: recognised but maps nowhere
};

// W3C names in the order they are compared.
constexpr NamedSlot kW3cNames[] = {
    {"date", 8},           {"time", 9},           {"s-sitename", -1},     {"s-ip", 11},
    {"cs-method", 10},     {"cs-uri-stem", 1},    {"cs-uri-query", 2},    {"s-port", 12},
    {"cs-username", -1},   {"c-ip", 7},           {"cs(User-Agent)", 3},  {"sc-status", 4},
    {"sc-substatus", 5},   {"sc-win32-status", 6}, {"sc-bytes", 13},      {"cs-bytes", 14},
    {"time-taken", 15},    {"cs(Referer)", 16},
};

struct NamedExtra {
    std::string_view name;
    ExtraField field;
};

// Fields no column shows, kept for the rows handed to other tools.
constexpr NamedExtra kW3cExtras[] = {
    {"cs-username", kExtraUserName}, {"s-sitename", kExtraSiteName}, {"s-computername", kExtraComputerName},
    {"cs-host", kExtraHost},         {"cs-version", kExtraVersion},
};
constexpr std::pair<std::string_view, std::pair<ExtraField, int>> kLogParserExtras[] = {
    {"UserName", {kExtraUserName, 20}},
    {"ComputerName", {kExtraComputerName, 3}},
    {"ProtocolVersion", {kExtraVersion, 11}},
};

struct LogParserName {
    std::string_view name;
    int count; // how many (column, position) pairs follow
    std::pair<int, int> columnPositions[2];
};

// Log Parser exports have a fixed column order, DateTime written as two tokens.
constexpr LogParserName kLogParserNames[] = {
    {"LogFilename", 0, {}},          {"RecordNumber", 0, {}},         {"ComputerName", 0, {}},
    {"SiteID", 0, {}},               {"DateTime", 2, {{8, 5}, {9, 6}}},
    {"ClientIpAddress", 1, {{7, 7}}}, {"ServerIpAddress", 1, {{11, 8}}}, {"ServerPort", 1, {{12, 9}}},
    {"Method", 1, {{10, 10}}},       {"ProtocolVersion", 0, {}},      {"ProtocolStatus", 1, {{4, 12}}},
    {"SubStatus", 1, {{5, 13}}},     {"TimeTaken", 1, {{15, 14}}},    {"BytesSent", 1, {{13, 15}}},
    {"BytesReceived", 1, {{14, 16}}}, {"Win32Status", 1, {{6, 17}}},  {"UriStem", 1, {{1, 18}}},
    {"UriQuery", 1, {{2, 19}}},      {"UserName", 0, {}},
};

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && upperAscii(a) == upperAscii(b);
}

template <typename Visit>
void forEachToken(std::string_view prefixed, Visit visit)
{
    size_t position = 0;
    size_t begin = 0;
    while (true) {
        size_t blank = prefixed.find(' ', begin);
        visit(position, prefixed.substr(begin, blank == std::string_view::npos ? blank : blank - begin));
        if (blank == std::string_view::npos)
            return;
        begin = blank + 1;
        ++position;
    }
}

void readW3cFields(std::string_view prefixed, FieldMap& map)
{
    forEachToken(prefixed, [&](size_t p, std::string_view token) {
        // Position p of the header is position p - 1 of a data line; only 1..255 fit a slot.
        if (p < 2 || p - 1 > 255)
            return;
        for (const NamedSlot& named : kW3cNames) {
            if (named.column >= 0 && equalsIgnoreCase(token, named.name))
                map.positions[static_cast<size_t>(named.column)] = static_cast<std::uint8_t>(p - 1);
        }
        for (const NamedExtra& named : kW3cExtras) {
            if (equalsIgnoreCase(token, named.name))
                map.extras[named.field] = static_cast<std::uint8_t>(p - 1);
        }
    });
}

void readLogParserFields(std::string_view prefixed, FieldMap& map)
{
    forEachToken(prefixed, [&](size_t p, std::string_view token) {
        if (p < 1)
            return;
        for (const auto& [name, extra] : kLogParserExtras) {
            if (equalsIgnoreCase(token, name))
                map.extras[extra.first] = static_cast<std::uint8_t>(extra.second);
        }
        for (const LogParserName& named : kLogParserNames) {
            if (!equalsIgnoreCase(token, named.name))
                continue;
            for (int i = 0; i < named.count; ++i) {
                auto [column, position] = named.columnPositions[i];
                map.positions[static_cast<size_t>(column)] = static_cast<std::uint8_t>(position);
            }
        }
    });
    map.positions[kColUserAgent] = 0;
}

} // namespace

void applyHeaderLine(std::string_view rawLine, LogFormat& format, FieldMap& map)
{
    const std::string prefixed = "- " + std::string(rawLine);
    if (containsIgnoreCase(prefixed, "#Software:")) {
        if (containsIgnoreCase(prefixed, "Microsoft Internet Information Services"))
            format = LogFormat::IIS;
        else if (containsIgnoreCase(prefixed, "Microsoft Log Parser"))
            format = LogFormat::LogParser;
    }
    if (format == LogFormat::None || !containsIgnoreCase(prefixed, "#Fields:"))
        return;
    map = FieldMap{};
    if (format == LogFormat::IIS)
        readW3cFields(prefixed, map);
    else
        readLogParserFields(prefixed, map);
}

} // namespace quill
