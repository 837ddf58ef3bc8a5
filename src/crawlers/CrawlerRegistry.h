#pragma once
// The crawlers of today's logs: who they are, what they are for, and how a visit can be checked.
// The thirteen-row crawler table keeps naming the crawler column and the seven statistics columns;
// the registry names everything else and feeds the crawler check.

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

enum class CrawlerGroup : unsigned char {
    Search,     // 搜索引擎
    AiTraining, // AI 训练
    AiSearch,   // AI 搜索
    AiFetcher,  // AI 代取: fetches a page for one user's question
    SeoTool,    // SEO 工具
    Other,      // 其他
};
inline constexpr int kCrawlerGroupCount = 6;

// The group's name in GBK ("搜索引擎", "AI 训练", ...).
const std::string& crawlerGroupName(CrawlerGroup group);
// The group's ASCII word, as the command line takes it ("search", "ai-training", ...).
std::string_view crawlerGroupWord(CrawlerGroup group);

// 1-based index into crawlerRegistry(); 0 names no crawler.
using CrawlerId = std::uint16_t;
inline constexpr CrawlerId kNoCrawler = 0;
inline constexpr std::size_t kMaxCrawlers = 128;
using CrawlerSet = std::bitset<kMaxCrawlers>; // indexed by CrawlerId

// A list of addresses an operator publishes for its crawlers.
struct PublishedList {
    std::string fileName;     // what its address ends with: "gptbot.json"
    std::string hostVariable; // the environment variable that replaces its host
    std::string defaultHost;
    std::string path;         // begins with "/"
};

struct CrawlerEntry {
    std::string key;                 // ASCII, stable: cache files and the command line use it
    std::vector<std::string> tokens; // ASCII user-agent tokens; a blank also matches IIS's "+"
    std::string name;                // display name, GBK
    CrawlerGroup group;
    std::vector<std::string> domains; // FCrDNS suffixes, whole labels
    std::vector<int> lists;           // indexes into publishedLists()
    std::string source;               // the operator's page the entry was confirmed against
    std::string confirmed;            // when, or why it could not be

    bool verifiable() const { return !domains.empty() || !lists.empty(); }
    bool isAi() const
    {
        return group == CrawlerGroup::AiTraining || group == CrawlerGroup::AiSearch || group == CrawlerGroup::AiFetcher;
    }
};

// Every known crawler; CrawlerId n is element n - 1.
const std::vector<CrawlerEntry>& crawlerRegistry();
// The entry of `id`; `id` must name one.
const CrawlerEntry& crawlerEntry(CrawlerId id);

// Every list the registry's crawlers are checked against, in a fixed order (at most 32).
const std::vector<PublishedList>& publishedLists();
// Index of the list whose file name is `fileName`; nothing for any other name.
std::optional<int> publishedListIndex(std::string_view fileName);
// "https://" + host + path, the host taken from the list's variable when that is set; a
// variable holding "http://127.0.0.1:8080" keeps its scheme.
std::string publishedListUrl(const PublishedList& list);

// The crawler a user agent names: a token that starts a word (the field's start or a character
// that is no ASCII letter or digit comes before it), ignoring ASCII case, on a GBK character
// boundary. The earliest such token wins, then the longer one. kNoCrawler when none occurs.
CrawlerId identifyUserAgent(std::string_view userAgent);

// The registry crawler a row of the crawler table stands for (1-13), for the crawler check.
CrawlerId crawlerOfRow(int row);

// A crawler named by a user: its key, one of its tokens, its display name (GBK) or a crawler
// table row's token or name, in any ASCII case; else the crawler a whole user agent names.
CrawlerId crawlerByName(std::string_view name);

// The crawlers of the groups a user names: "ai" (the three AI groups), "search", "ai-training",
// "ai-search", "ai-fetcher", "seo", "other", or a group's GBK name. Nothing for other words.
std::optional<CrawlerSet> crawlersOfGroup(std::string_view name);

// The crawlers of the AI groups: what "AI 蜘蛛" keeps.
CrawlerSet aiCrawlers();

} // namespace quill
