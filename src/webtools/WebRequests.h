#pragma once
// How the web tools of the "体验" page talk HTTP: the hosts they ask, their user agents and the
// settings each tool gives its client, and the shared page fetch.

#include "platform/HttpClient.h"

#include <chrono>
#include <string>

namespace quill {

// Limit for connecting and for every wait for data, where a tool sets one.
inline constexpr std::chrono::milliseconds kToolTimeout{10000};

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

// The client settings `tool` sends its one request with.
HttpOptions requestOptions(WebTool tool);

// GET of `url` with the FetchPage settings: the body for a 200, "location=" and the Location
// header for a 304, and the empty text for anything else. Never fails.
std::string fetchPage(const std::string& url, std::chrono::milliseconds timeout = kToolTimeout);

} // namespace quill
