#include "report/ReportJson.h"

#include "ledger/LedgerDays.h"
#include "platform/CodePage.h"

#include <cstdio>

namespace quill {
namespace {

// A JSON string of a GBK text: UTF-8, quotes, backslashes and control characters escaped.
std::string jsonText(std::string_view gbkText)
{
    const std::string utf8 = gbkToUtf8(gbkText);
    std::string out = "\"";
    for (char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string jsonDay(int day) { return day == 0 ? "null" : "\"" + dayText(day) + "\""; }

std::string jsonClasses(const std::array<std::int64_t, kStatusClasses>& hits)
{
    return "{\"2xx\":" + std::to_string(hits[0]) + ",\"3xx\":" + std::to_string(hits[1]) +
           ",\"4xx\":" + std::to_string(hits[2]) + ",\"5xx\":" + std::to_string(hits[3]) + "}";
}

// `[item(0),item(1),...]`, one item a line.
template <typename Items, typename Item>
std::string jsonList(const Items& items, Item item)
{
    std::string out = "[";
    bool first = true;
    for (const auto& each : items) {
        out += first ? "\n    " : ",\n    ";
        out += item(each);
        first = false;
    }
    return out + (first ? "]" : "\n  ]");
}

std::string jsonUrl(const ReportUrl& url)
{
    return "{\"path\":" + jsonText(url.path) + ",\"hits\":" + std::to_string(url.hits) +
           ",\"last_crawl\":" + jsonDay(url.lastDay) + ",\"days_since\":" + std::to_string(url.daysSince) + "}";
}

} // namespace

std::string reportJson(const CrawlReport& report)
{
    std::string out = "{\n";
    auto field = [&](const char* name, const std::string& value) {
        out += out.size() > 2 ? ",\n  \"" : "  \"";
        out += name;
        out += "\": ";
        out += value;
    };
    field("from", jsonDay(report.range.from));
    field("to", jsonDay(report.range.to));
    field("requests", std::to_string(report.requests));
    field("crawler_hits", std::to_string(report.crawlerHits));
    field("urls_crawled", std::to_string(report.urlsCrawled));
    field("not_200", std::to_string(report.not200));
    field("fake_hits", std::to_string(report.fakeHits));
    field("fake_addresses", std::to_string(report.fakeAddresses));
    field("days", jsonList(report.days.rows, [&](const DayRow& row) {
              std::string crawlers = "{";
              for (size_t c = 0; c < row.hits.size(); ++c) {
                  if (row.hits[c] == 0)
                      continue;
                  crawlers += (crawlers.size() > 1 ? "," : "") + jsonText(report.days.crawlers[c].name) + ":" +
                              std::to_string(row.hits[c]);
              }
              return "{\"date\":" + jsonDay(row.day) + ",\"requests\":" + std::to_string(row.requests) +
                     ",\"crawler_requests\":" + std::to_string(row.crawlerRequests) +
                     ",\"fake_requests\":" + std::to_string(row.fakeRequests) + ",\"crawlers\":" + crawlers + "}}";
          }));
    field("crawlers", jsonList(report.crawlers, [](const ReportCrawler& c) {
              return "{\"name\":" + jsonText(c.name) + ",\"group\":" + jsonText(c.group) +
                     ",\"ai\":" + (isAiGroup(c.group) ? "true" : "false") + ",\"hits\":" + std::to_string(c.hits) +
                     ",\"status\":" + jsonClasses(c.classHits) + ",\"status_200\":" + std::to_string(c.status200) +
                     ",\"urls\":" + std::to_string(c.urls) + "}";
          }));
    field("top_urls", jsonList(report.topUrls, jsonUrl));
    field("stale_urls", jsonList(report.staleUrls, jsonUrl));
    field("directories", jsonList(report.directories, [](const ReportDirectory& dir) {
              return "{\"path\":" + jsonText(dir.path) + ",\"hits\":" + std::to_string(dir.hits) +
                     ",\"status\":" + jsonClasses(dir.classHits) + "}";
          }));
    std::string hours = "[";
    for (size_t hour = 0; hour < 24; ++hour)
        hours += (hour ? "," : "") + std::to_string(report.hours[hour]);
    field("hours", hours + "]");
    field("fakes", jsonList(report.fakes, [](const ReportFake& fake) {
              return "{\"address\":" + jsonText(fake.address) + ",\"claimed\":" + jsonText(fake.claimed) +
                     ",\"hits\":" + std::to_string(fake.hits) + ",\"first\":" + jsonDay(fake.firstDay) +
                     ",\"last\":" + jsonDay(fake.lastDay) + ",\"top_path\":" + jsonText(fake.topPath) + "}";
          }));
    return out + "\n}\n";
}

} // namespace quill
