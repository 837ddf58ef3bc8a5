#pragma once
// Visits written as IIS log lines, and the ledger file read back with plain SQL.

#include "ledger/SqliteDatabase.h"
#include "support/LogFixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quill::test {

struct Visit {
    std::string day = "2026-12-01";
    std::string time = "10:00:00";
    std::string path = "/index.htm";
    std::string query = "-";
    std::string address = "10.0.0.1";
    std::string agent = "Mozilla/5.0+(Windows+NT+10.0)";
    int status = 200;
    long bytes = 100;
    long timeTaken = 10;
};

inline constexpr const char* kBaiduAgent = "Mozilla/5.0+(compatible;+Baiduspider/2.0;++http://www.baidu.com/search/spider.html)";
inline constexpr const char* kGoogleAgent = "Mozilla/5.0+(compatible;+Googlebot/2.1;++http://www.google.com/bot.html)";
inline constexpr const char* kSogouAgent = "Sogou+web+spider/4.0(+http://www.sogou.com/docs/help/webmasters.htm#07)";
inline constexpr const char* kMsnAgent = "msnbot/2.0b+(+http://search.msn.com/msnbot.htm)";

// A line in the field order of kIis6Header.
inline std::string iis6Line(const Visit& v)
{
    return iisLine({.dateTime = v.day + " " + v.time,
                    .serverIp = "192.168.1.10",
                    .stem = v.path,
                    .query = v.query,
                    .client = v.address,
                    .agent = v.agent,
                    .status = std::to_string(v.status),
                    .bytesSent = std::to_string(v.bytes),
                    .bytesReceived = "321",
                    .timeTaken = std::to_string(v.timeTaken)});
}

// Another field order, as IIS 7 writes it, for a log whose "#Fields" change midway.
inline constexpr const char* kIis7Header =
    "#Software: Microsoft Internet Information Services 7.5\r\n"
    "#Version: 1.0\r\n"
    "#Fields: date time s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip cs(User-Agent) "
    "cs(Referer) sc-status sc-substatus sc-win32-status sc-bytes cs-bytes time-taken\r\n";

inline std::string iis7Line(const Visit& v)
{
    return v.day + " " + v.time + " 192.168.1.10 GET " + v.path + " " + v.query + " 80 - " + v.address + " " +
           v.agent + " - " + std::to_string(v.status) + " 0 0 " + std::to_string(v.bytes) + " 321 " +
           std::to_string(v.timeTaken) + "\r\n";
}

inline std::string iis6Log(const std::vector<Visit>& visits)
{
    std::string text = kIis6Header;
    for (const Visit& visit : visits)
        text += iis6Line(visit);
    return text;
}

// Every row of `sql` over the ledger at `path`, its columns joined by "|".
inline std::vector<std::string> ledgerRows(const std::string& path, const std::string& sql)
{
    std::vector<std::string> rows;
    auto db = SqliteDatabase::open(path, OpenMode::ReadOnly, 1000);
    if (!db.ok()) {
        ADD_FAILURE() << db.status().message();
        return rows;
    }
    auto query = db.value()->prepare(sql);
    if (!query.ok()) {
        ADD_FAILURE() << query.status().message();
        return rows;
    }
    while (query.value().step()) {
        std::string row;
        for (int c = 0; c < query.value().columns(); ++c)
            row += (c ? "|" : "") + std::string(query.value().text(c));
        rows.push_back(row);
    }
    EXPECT_TRUE(query.value().status().ok()) << query.value().status().message();
    return rows;
}

} // namespace quill::test
