#include "webtools/KeywordTools.h"

#include "platform/CodePage.h"
#include "platform/Hosts.h"
#include "text/UrlCoding.h"
#include "text/HtmlText.h"
#include "webtools/PageTools.h"

namespace quill {
namespace {

// The one identifier every suggestion request carries.
const char* const kSuggestionCookie =
    "Cookie: BAIDUID=5F3A9C0B7E21D4486A0F93C2B1E7D05A:FG=1; BDLFONT=0; BD_UTK_DVT=1";

} // namespace

std::string suggestionHost() { return hostFromEnvironment("QUILLMARK_SUGGESTION_HOST", "suggestion.baidu.com"); }

std::string suggestionUrl(const std::string& host, const std::string& keyword)
{
    return "http://" + host + "/su?wd=" + urlEncode(gbkToUtf8(keyword));
}

HttpOptions suggestionOptions(const std::string& host, const WebContext& context)
{
    HttpOptions options = requestOptions(WebTool::KeywordSuggestions, context);
    options.host = host;
    options.extraHeaderLines = {kSuggestionCookie};
    return options;
}

std::string suggestionLines(const std::string& answer)
{
    std::string list = textBetween(answer, "[", "]");
    std::erase(list, '"');
    std::string lines;
    for (char c : list) {
        if (c == ',')
            lines += "\r\n";
        else
            lines += c;
    }
    return lines;
}

std::string relatedSearchUrl(const std::string& host, const std::string& keyword)
{
    return "http://" + host + "/baidu?wd=" + urlEncode(keyword);
}

std::string relatedSearchLines(const std::string& page)
{
    static const std::string start = gbk("相关搜索</td>");
    return splitPhrases(htmlToText(textBetween(page, start, "<form name=\"f2\"")));
}

Result<std::string> keywordSuggestions(const std::string& keyword, const WebContext& context)
{
    const std::string host = suggestionHost();
    HttpClient client(suggestionOptions(host, context));
    HttpResponse response = client.get(suggestionUrl(host, keyword));
    if (!response.ok())
        return Status::failure(failureText(response));
    return suggestionLines(response.body);
}

Result<std::string> relatedSearches(const std::string& keyword, const WebContext& context)
{
    Result<std::string> page =
        fetchForTool(WebTool::RelatedSearches, relatedSearchUrl(baiduSearchHost(), keyword), context);
    if (!page)
        return page;
    return relatedSearchLines(page.value());
}

} // namespace quill
