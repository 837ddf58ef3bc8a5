#include "webtools/WebRequests.h"

#include "platform/Hosts.h"

namespace quill {

std::string baiduSearchHost() { return hostFromEnvironment("QUILLMARK_BAIDU_HOST", "www.baidu.com"); }

std::string googleSearchHost() { return hostFromEnvironment("QUILLMARK_GOOGLE_HOST", "www.google.com.hk"); }

std::string toolUserAgent() { return "Mozilla/4.0 " + makerHost(); }

const char* const BrowserUserAgent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; TencentTraveler 4.0; .NET CLR 1.1.4322; "
    ".NET CLR 2.0.50727; .NET CLR 3.0.4506.2152; .NET CLR 3.5.30729)";

HttpOptions requestOptions(WebTool tool)
{
    HttpOptions options; // client defaults: Accept "text/html, */*", Content-Type "text/html"
    switch (tool) {
    case WebTool::FetchPage:
    case WebTool::PageHeadAndLinks:
        options.followRedirects = true;
        options.timeout = kToolTimeout;
        options.userAgent = toolUserAgent();
        break;
    case WebTool::PlainText:
    case WebTool::RelatedSearches:
        options.userAgent = BrowserUserAgent;
        break;
    case WebTool::KeywordSuggestions:
        options.followRedirects = true;
        options.timeout = kToolTimeout;
        options.userAgent = BrowserUserAgent;
        options.accept = "*/*";
        options.acceptLanguage = "zh-cn";
        options.connection = "Keep-Alive";
        options.contentType.clear();
        break;
    }
    return options;
}

std::string fetchPage(const std::string& url, std::chrono::milliseconds timeout)
{
    HttpOptions options = requestOptions(WebTool::FetchPage);
    options.timeout = timeout;
    HttpClient client(std::move(options));
    HttpResponse response = client.get(url);
    if (response.statusCode == 200 && response.ok())
        return std::move(response.body);
    if (response.statusCode == 304)
        return "location=" + response.location;
    return {};
}

} // namespace quill
