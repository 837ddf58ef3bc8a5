#include "webtools/PageTools.h"

#include "platform/CodePage.h"
#include "text/HtmlText.h"
#include "webtools/PageCharset.h"

namespace quill {
namespace {

ToolAnswer answerOf(HttpResponse&& response, bool toGbk)
{
    if (!response.ok())
        return {std::nullopt, failureText(response)};
    if (toGbk)
        return {pageToGbk(response.contentType, std::move(response.body)), {}};
    return {std::move(response.body), {}};
}

} // namespace

std::string pageAddress(const std::string& siteBox)
{
    const std::string site = requestSiteText(siteBox);
    std::string scheme = site.substr(0, 7);
    for (char& c : scheme)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return scheme == "http://" ? site : "http://" + site;
}

ToolAnswer fetchForTool(WebTool tool, const std::string& url, const WebContext& context)
{
    return answerOf(HttpClient(requestOptions(tool, context)).get(url), false);
}

ToolAnswer fetchPageAsGbk(WebTool tool, const std::string& url, const WebContext& context)
{
    return answerOf(HttpClient(requestOptions(tool, context)).get(url), true);
}

ToolAnswer pagePlainText(const std::string& siteBox, const WebContext& context)
{
    ToolAnswer answer = fetchPageAsGbk(WebTool::PlainText, pageAddress(siteBox), context);
    if (answer.value)
        answer.value = htmlToText(*answer.value);
    return answer;
}

std::string toolStatus(const std::string& tool, const std::string& failure)
{
    return tool + ": " + (failure.empty() ? gbk("完成") : failure);
}

} // namespace quill
