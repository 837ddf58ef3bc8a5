#include "webtools/PageTools.h"

#include "platform/CodePage.h"
#include "text/HtmlText.h"
#include "webtools/PageCharset.h"

namespace quill {
namespace {

Result<std::string> answerOf(HttpResponse&& response, bool toGbk)
{
    if (!response.ok())
        return Status::failure(failureText(response));
    if (toGbk)
        return pageToGbk(response.contentType, std::move(response.body));
    return std::move(response.body);
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

Result<std::string> fetchForTool(WebTool tool, const std::string& url, const WebContext& context)
{
    return answerOf(HttpClient(requestOptions(tool, context)).get(url), false);
}

Result<std::string> fetchPageAsGbk(WebTool tool, const std::string& url, const WebContext& context)
{
    return answerOf(HttpClient(requestOptions(tool, context)).get(url), true);
}

Result<std::string> pagePlainText(const std::string& siteBox, const WebContext& context)
{
    Result<std::string> page = fetchPageAsGbk(WebTool::PlainText, pageAddress(siteBox), context);
    if (!page)
        return page;
    return htmlToText(page.value());
}

std::string toolStatus(const std::string& tool, const Status& outcome)
{
    return tool + ": " + (outcome ? gbk("完成") : outcome.message());
}

} // namespace quill
