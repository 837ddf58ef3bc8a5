#pragma once
// Whether a host name lies in a crawler's published domains, for the reverse-and-forward DNS check.

#include <string>
#include <string_view>
#include <vector>

namespace quill {

// True when `host` (with or without its final dot) is one of `domains` or lies below one of them,
// compared by whole labels and ignoring ASCII case: "crawl-1.googlebot.com" lies in "googlebot.com",
// "evilgooglebot.com" and "googlebot.com.evil.net" do not.
bool hostInDomains(std::string_view host, const std::vector<std::string>& domains);

} // namespace quill
