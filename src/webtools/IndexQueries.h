#pragma once
// "批量查询": how many pages of a site Baidu and Google report, one line per query.

#include "platform/Status.h"
#include "webtools/WebRequests.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace quill {

struct IndexQuery {
    bool google;        // else Baidu
    std::string before; // path and query up to the site text
    std::string after;  // ... and after it
    std::string startMarker, endMarker, label, unit; // GBK
};

// The nine queries in the order they run: four Baidu rows, then five Google rows.
const std::vector<IndexQuery>& indexQueries();

// The site text D: the box's text without any "http://" (case ignored), trimmed of bytes <= 0x20.
std::string indexSiteText(const std::string& siteBox);

// Label, the count cut from `answer` between the markers (empty when absent) and unit.
std::string indexLine(const IndexQuery& query, const std::string& answer);

struct IndexRun {
    std::string siteBox;   // GBK
    bool baidu = true;     // "百度"
    bool google = true;    // "Google"
    std::string dateTime;  // short date, a blank, long time, GBK
    std::string baiduHost;
    std::string googleHost;
};

// How many queries a run sends: four with "百度" checked, five with "Google".
int indexQueryCount(const IndexRun& run);

// The status line while the queries run: "批量查询 3/9 …" (GBK).
std::string indexProgress(int done, int total);

// Appends the hyphen line and the "查询时间：" line, then runs the checked queries in order,
// fetching each address with `fetch` and appending its line as soon as the answer is in (a failed
// fetch appends its line too, with no count), and reporting `progress` after each. Ends early,
// with no further line, once `stop` is set. Fails with "已取消", or with how many queries failed
// and the first failure: "2/9 个查询失败（连接超时）".
Status runIndexQueries(const IndexRun& run, const std::function<Result<std::string>(const std::string& url)>& fetch,
                         const std::function<void(const std::string& line)>& appendLine,
                         const std::function<void(int done, int total)>& progress = {},
                         const std::atomic<bool>* stop = nullptr);

} // namespace quill
