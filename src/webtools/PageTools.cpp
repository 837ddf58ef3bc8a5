#include "webtools/PageTools.h"

#include "text/HtmlText.h"

namespace quill {

std::string pageAddress(const std::string& siteBox)
{
    std::string scheme = siteBox.substr(0, 7);
    for (char& c : scheme)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return scheme == "http://" ? siteBox : "http://" + siteBox;
}

std::optional<std::string> fetchForTool(WebTool tool, const std::string& url)
{
    HttpClient client(requestOptions(tool));
    HttpResponse response = client.get(url);
    if (!response.ok())
        return std::nullopt;
    return std::move(response.body);
}

std::optional<std::string> pagePlainText(const std::string& siteBox)
{
    std::optional<std::string> body = fetchForTool(WebTool::PlainText, pageAddress(siteBox));
    if (!body)
        return std::nullopt;
    return htmlToText(*body);
}

} // namespace quill
