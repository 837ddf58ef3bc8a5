#pragma once
// "相关词补充" and "相关搜索": the keyword box turned into lists of related keywords, one per line.

#include "webtools/PageTools.h"

#include <string>

namespace quill {

// The Baidu suggestion host (QUILLMARK_SUGGESTION_HOST).
std::string suggestionHost();

// The suggestion request for a GBK keyword: sent as UTF-8, every byte escaped.
std::string suggestionUrl(const std::string& host, const std::string& keyword);
// The client settings of that request, its headers in the order they are sent.
HttpOptions suggestionOptions(const std::string& host, const WebContext& context = {});
// The bracketed list of a suggestion answer, quotes removed, one suggestion per CR LF line.
std::string suggestionLines(const std::string& answer);

// The web search for a GBK keyword, its bytes escaped as they are.
std::string relatedSearchUrl(const std::string& host, const std::string& keyword);
// The related-search block of a result page as plain-text phrases, one per CR LF line.
std::string relatedSearchLines(const std::string& page);

// The value each button appends; the request's failure when it fails.
Result<std::string> keywordSuggestions(const std::string& keyword, const WebContext& context = {});
Result<std::string> relatedSearches(const std::string& keyword, const WebContext& context = {});

} // namespace quill
