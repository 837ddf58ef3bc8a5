#pragma once
// A site's sitemap, read from a file or an address (a URL set, a sitemap index whose sitemaps are
// read in turn, gzip-compressed or not, or a plain list of URLs), and compared with what the
// crawlers fetched. Every read is bounded: in time, in bytes (compressed and decompressed), in
// files and in URLs.

#include "ledger/LedgerViews.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace quill {

struct SitemapLimits {
    std::chrono::milliseconds connect{10000};
    std::chrono::milliseconds idle{10000};      // without any data
    std::chrono::milliseconds perFile{60000};   // one sitemap file
    std::chrono::milliseconds overall{600000};  // the whole index
    std::size_t maxBytes = std::size_t(50) << 20; // a file, and again once decompressed: the protocol's limit
    std::size_t maxFiles = 1000;                  // sitemaps read from one index
    std::size_t maxUrls = 1'000'000;              // all of them together
};

struct SitemapOptions {
    SitemapLimits limits;
    const std::atomic<bool>* stop = nullptr; // set: the read ends at once, failed
};

struct Sitemap {
    std::vector<std::string> urls;  // as listed, first appearance only
    std::vector<std::string> notes; // GBK: what was left out and why (a sitemap of an index that failed, ...)
};

// Reads the sitemap at `where`: an http:// or https:// address, or a file. Fails with a message
// when the sitemap itself cannot be read or is no sitemap; a sitemap of an index that fails is
// noted and skipped.
Result<Sitemap> loadSitemap(const std::string& where, const SitemapOptions& options = {});

// The key URL paths are compared by: the path of a full URL (query and fragment dropped),
// percent escapes decoded, ASCII letters in lower case (the web server ignores their case).
std::string sitemapPathKey(std::string_view urlOrPath);

struct SitemapComparison {
    std::vector<std::string> uncrawled;    // sitemap URLs no crawler fetched, as listed
    std::vector<std::string> notInSitemap; // paths crawled with a 2xx answer the sitemap lacks, as logged
};

// Compares the sitemap with the URL view of a range.
SitemapComparison compareSitemap(const Sitemap& sitemap, const UrlView& crawled);

} // namespace quill
