#pragma once
// The fetches behind "HEAD 分析", "所有链接" and "纯文本": the page address taken from the site box
// and one GET with the tool's own client settings.

#include "webtools/WebRequests.h"

#include <optional>
#include <string>

namespace quill {

// The site box's text with "http://" put in front, unless its first seven characters, lower-cased,
// already are "http://".
std::string pageAddress(const std::string& siteBox);

// The raw body of a GET of `url` sent with `tool`'s settings; nothing when the request fails
// (unreachable, timed out, an error status).
std::optional<std::string> fetchForTool(WebTool tool, const std::string& url);

// "纯文本": the page of the site box as htmlToText gives it; nothing when the fetch fails.
std::optional<std::string> pagePlainText(const std::string& siteBox);

} // namespace quill
