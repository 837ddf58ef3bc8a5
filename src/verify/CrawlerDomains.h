#pragma once
// The domains each crawler of the crawler table answers from, as the engines publish them for the
// reverse-and-forward DNS check.

#include <span>
#include <string_view>

namespace quill {

// The published domains of crawler table row `row` (1-13); empty for a row whose operator
// publishes no check, and for any other number.
std::span<const std::string_view> crawlerDomains(int row);

// True when `host` (with or without its final dot) is one of `domains` or lies below one of them,
// compared by whole labels and ignoring ASCII case: "crawl-1.googlebot.com" lies in "googlebot.com",
// "evilgooglebot.com" and "googlebot.com.evil.net" do not.
bool hostInDomains(std::string_view host, std::span<const std::string_view> domains);

// The crawler row a user names: a row's token or display name (GBK) in any ASCII case, else the
// first row whose token occurs in `name` (a whole user agent). 0 when none fits.
int crawlerRowByName(std::string_view name);

} // namespace quill
