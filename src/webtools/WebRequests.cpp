#include "webtools/WebRequests.h"

#include "platform/CodePage.h"
#include "platform/Hosts.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace quill {

std::string baiduSearchHost() { return hostFromEnvironment("QUILLMARK_BAIDU_HOST", "www.baidu.com"); }

std::string googleSearchHost() { return hostFromEnvironment("QUILLMARK_GOOGLE_HOST", "www.google.com.hk"); }

std::string toolUserAgent() { return "Mozilla/4.0 " + makerHost(); }

const char* const BrowserUserAgent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; TencentTraveler 4.0; .NET CLR 1.1.4322; "
    ".NET CLR 2.0.50727; .NET CLR 3.0.4506.2152; .NET CLR 3.5.30729)";

WebLimits webLimitsFromEnvironment()
{
    WebLimits limits;
    const char* value = std::getenv("QUILLMARK_WEB_TIMEOUTS_MS");
    if (!value)
        return limits;
    long long times[3] = {};
    const char* at = value;
    const char* end = value + std::strlen(value);
    for (int i = 0; i < 3; ++i) {
        const auto [next, error] = std::from_chars(at, end, times[i]);
        if (error != std::errc() || times[i] <= 0 || (i < 2 ? (next == end || *next != ',') : next != end))
            return limits;
        at = next + 1;
    }
    limits.connect = std::chrono::milliseconds(times[0]);
    limits.idle = std::chrono::milliseconds(times[1]);
    limits.total = std::chrono::milliseconds(times[2]);
    return limits;
}

HttpOptions requestOptions(WebTool tool, const WebContext& context)
{
    HttpOptions options; // client defaults: Accept "text/html, */*", Content-Type "text/html"
    // Every tool is bounded, those that once waited for ever too.
    options.connectTimeout = context.limits.connect;
    options.timeout = context.limits.idle;
    options.totalTimeout = context.limits.total;
    options.maxBodyBytes = context.limits.maxBody;
    options.stop = context.stop;
    // A page is text: one compressed without being asked is read as the text it holds.
    options.decodeContent = true;
    switch (tool) {
    case WebTool::FetchPage:
    case WebTool::PageHeadAndLinks:
        options.followRedirects = true;
        options.userAgent = toolUserAgent();
        break;
    case WebTool::PlainText:
    case WebTool::RelatedSearches:
        options.userAgent = BrowserUserAgent;
        break;
    case WebTool::KeywordSuggestions:
        options.followRedirects = true;
        options.userAgent = BrowserUserAgent;
        options.accept = "*/*";
        options.acceptLanguage = "zh-cn";
        options.connection = "Keep-Alive";
        options.contentType.clear();
        break;
    }
    return options;
}

std::string requestSiteText(const std::string& siteBox)
{
    std::string text = siteBox;
    std::erase_if(text, [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
    return text;
}

std::string failureText(const HttpResponse& response)
{
    switch (response.failure) {
    case HttpFailure::None:
        return {};
    case HttpFailure::Connect:
        return gbk("连接失败");
    case HttpFailure::TimedOut:
        return gbk("连接超时");
    case HttpFailure::ErrorStatus:
        return "HTTP " + std::to_string(response.statusCode);
    case HttpFailure::Redirects:
        return gbk("重定向过多");
    case HttpFailure::Stopped:
        return gbk("已取消");
    case HttpFailure::Other:
        break;
    }
    return gbk("请求失败");
}

Result<std::string> fetchPageReporting(const std::string& url, const WebContext& context)
{
    HttpClient client(requestOptions(WebTool::FetchPage, context));
    HttpResponse response = client.get(url);
    if (response.statusCode == 200 && response.ok())
        return std::move(response.body);
    if (response.statusCode == 304)
        return "location=" + response.location;
    if (response.ok()) // an answer FetchPage has no use for, such as a 204 or an unfollowed 302
        return Status::failure("HTTP " + std::to_string(response.statusCode));
    return Status::failure(failureText(response));
}

} // namespace quill
