#pragma once
// How the web tools of the "体验" page talk HTTP: the hosts they ask, their user agents, the
// settings each tool gives its client, the bounds every request keeps, and the shared page fetch.

#include "platform/HttpClient.h"
#include "platform/Status.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>

namespace quill {

// How long one request of a tool may take and how much of an answer it keeps.
struct WebLimits {
    std::chrono::milliseconds connect{10000};
    std::chrono::milliseconds idle{10000}; // without any data
    std::chrono::milliseconds total{30000};
    std::size_t maxBody = std::size_t(32) << 20; // longer bodies are cut here
};

// The standard limits, or the three times "connect,idle,total" in milliseconds that
// QUILLMARK_WEB_TIMEOUTS_MS gives (tests shorten them); a malformed value is ignored.
WebLimits webLimitsFromEnvironment();

// What the requests of one tool run share: their bounds and the flag that ends them early.
struct WebContext {
    WebLimits limits;
    const std::atomic<bool>* stop = nullptr;
};

// The Baidu web-search host of the index counts (QUILLMARK_BAIDU_HOST).
std::string baiduSearchHost();
// The Google web-search host for China (QUILLMARK_GOOGLE_HOST).
std::string googleSearchHost();

// "Mozilla/4.0 " and the maker's site as a bare host name.
std::string toolUserAgent();
extern const char* const BrowserUserAgent;

enum class WebTool {
    FetchPage,          // index counts, IP lookup
    PageHeadAndLinks,   // "HEAD 分析", "所有链接"
    PlainText,          // "纯文本"
    KeywordSuggestions, // "相关词补充": its Host and extra line are added by the tool
    RelatedSearches,    // "相关搜索"
};

// The client settings `tool` sends its one request with, bounded by `context`.
HttpOptions requestOptions(WebTool tool, const WebContext& context = {});

// The site box's text with every control byte (CR and LF among them) taken out, so it can never
// add a line to a request. GBK never uses such a byte inside a character.
std::string requestSiteText(const std::string& siteBox);

// What went wrong with a request, in words for the status line (GBK): "连接超时", "HTTP 404", ...
std::string failureText(const HttpResponse& response);

// GET of `url` with the FetchPage settings: the body for a 200, "location=" and the Location
// header for a 304. Any other answer fails, in words for the status line.
Result<std::string> fetchPageReporting(const std::string& url, const WebContext& context = {});
// The same, with the empty text for a failure: what FetchPage gives.
inline std::string fetchPage(const std::string& url, const WebContext& context = {})
{
    Result<std::string> page = fetchPageReporting(url, context);
    return page ? std::move(page.value()) : std::string();
}

} // namespace quill
