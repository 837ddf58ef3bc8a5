#pragma once
// The fetches behind "HEAD 分析", "所有链接" and "纯文本": the page address taken from the site box
// and one GET with the tool's own client settings.

#include "platform/Status.h"
#include "webtools/WebRequests.h"

#include <string>

namespace quill {

// The site box's text, control bytes taken out, with "http://" put in front unless its first
// seven characters, lower-cased, already are "http://".
std::string pageAddress(const std::string& siteBox);

// The raw body of a GET of `url` sent with `tool`'s settings; a failure, in words for the status
// line, when the request fails (unreachable, timed out, an error status).
Result<std::string> fetchForTool(WebTool tool, const std::string& url, const WebContext& context = {});

// The same, the body converted to GBK from the charset the page declares.
Result<std::string> fetchPageAsGbk(WebTool tool, const std::string& url, const WebContext& context = {});

// "纯文本": the page of the site box as htmlToText gives it; the fetch's failure when it fails.
Result<std::string> pagePlainText(const std::string& siteBox, const WebContext& context = {});

// The status line after `tool` ran: its name, then what went wrong or "完成" (GBK).
std::string toolStatus(const std::string& tool, const Status& outcome);

} // namespace quill
