#include "crawlers/CrawlerRegistry.h"

#include "crawlers/CrawlerTable.h"
#include "crawlers/KnownCrawlers.h"
#include "platform/CodePage.h"
#include "platform/GbkText.h"
#include "platform/Hosts.h"

#include <algorithm>
#include <array>
#include <cassert>

namespace quill {
namespace {

unsigned char upperByte(unsigned char byte) { return byte >= 'a' && byte <= 'z' ? byte - 'a' + 'A' : byte; }

bool isAsciiAlnum(unsigned char byte)
{
    return (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
}

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && upperAscii(a) == upperAscii(b);
}

struct Registry {
    std::vector<CrawlerEntry> entries;
    std::vector<PublishedList> lists;

    Registry()
    {
        for (const KnownList& list : knownLists())
            lists.push_back({std::string(list.fileName), std::string(list.hostVariable), std::string(list.defaultHost),
                             std::string(list.path)});
        for (const KnownCrawler& known : knownCrawlers()) {
            CrawlerEntry entry{std::string(known.key), {}, gbk(known.nameUtf8), known.group, {}, {}, known.source,
                               std::string(known.confirmed)};
            entry.tokens.assign(known.tokens.begin(), known.tokens.end());
            entry.domains.assign(known.domains.begin(), known.domains.end());
            for (std::string_view name : known.lists) {
                auto it = std::find_if(lists.begin(), lists.end(), [&](const PublishedList& l) { return l.fileName == name; });
                assert(it != lists.end());
                entry.lists.push_back(static_cast<int>(it - lists.begin()));
            }
            entries.push_back(std::move(entry));
        }
        assert(entries.size() < kMaxCrawlers && lists.size() <= 32);
    }
};

const Registry& registry()
{
    static const Registry instance;
    return instance;
}

// Tokens by their first byte (upper-cased), longest first, so the first hit at a position is the
// longest token there.
struct TokenIndex {
    struct Token {
        std::string upper;
        CrawlerId crawler;
    };
    std::array<std::vector<Token>, 256> byFirstByte;
    // The first two bytes of some token (upper-cased): most word starts of a browser's user
    // agent are ruled out by one look.
    std::bitset<65536> startsToken;

    TokenIndex()
    {
        const auto& entries = registry().entries;
        for (size_t i = 0; i < entries.size(); ++i)
            for (const std::string& token : entries[i].tokens) {
                std::string upper = upperAscii(token);
                const auto first = static_cast<unsigned char>(upper[0]);
                byFirstByte[first].push_back({upper, static_cast<CrawlerId>(i + 1)});
                const auto second = static_cast<unsigned char>(upper.size() > 1 ? upper[1] : 0);
                startsToken.set(first << 8 | second);
                if (second == ' ')
                    startsToken.set(first << 8 | '+');
            }
        for (auto& tokens : byFirstByte)
            std::stable_sort(tokens.begin(), tokens.end(),
                             [](const Token& a, const Token& b) { return a.upper.size() > b.upper.size(); });
    }
};

const TokenIndex& tokenIndex()
{
    static const TokenIndex instance;
    return instance;
}

// IIS writes the blanks of a user agent as "+", so a token's blank matches either.
bool tokenAt(std::string_view text, size_t at, std::string_view upperToken)
{
    if (text.size() - at < upperToken.size())
        return false;
    for (size_t k = 0; k < upperToken.size(); ++k) {
        const unsigned char byte = static_cast<unsigned char>(text[at + k]);
        if (upperToken[k] == ' ' ? (byte != ' ' && byte != '+') : upperByte(byte) != static_cast<unsigned char>(upperToken[k]))
            return false;
    }
    return true;
}

// The crawler table's rows as the registry names them, in row order.
constexpr std::string_view kRowKeys[kCrawlerRowCount] = {
    "Googlebot", "Baiduspider", "Yahoo",     "Sogou",            "Sosospider", "YoudaoBot", "YoudaoBot",
    "qihoobot",  "Twiceler",    "bingbot",   "AppEngine-Google", "SurveyBot",  "Gigabot",
};

CrawlerId crawlerByKey(std::string_view key)
{
    const auto& entries = registry().entries;
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].key == key)
            return static_cast<CrawlerId>(i + 1);
    return kNoCrawler;
}

} // namespace

const std::string& crawlerGroupName(CrawlerGroup group)
{
    static const std::array<std::string, kCrawlerGroupCount> names = {
        gbk("搜索引擎"), gbk("AI 训练"), gbk("AI 搜索"), gbk("AI 代取"), gbk("SEO 工具"), gbk("其他"),
    };
    return names[static_cast<size_t>(group)];
}

std::string_view crawlerGroupWord(CrawlerGroup group)
{
    static constexpr std::array<std::string_view, kCrawlerGroupCount> words = {"search",     "ai-training", "ai-search",
                                                                               "ai-fetcher", "seo",         "other"};
    return words[static_cast<size_t>(group)];
}

const std::vector<CrawlerEntry>& crawlerRegistry() { return registry().entries; }

const CrawlerEntry& crawlerEntry(CrawlerId id) { return registry().entries.at(static_cast<size_t>(id) - 1); }

const std::vector<PublishedList>& publishedLists() { return registry().lists; }

std::optional<int> publishedListIndex(std::string_view fileName)
{
    const auto& lists = publishedLists();
    for (size_t i = 0; i < lists.size(); ++i)
        if (lists[i].fileName == fileName)
            return static_cast<int>(i);
    return std::nullopt;
}

std::string publishedListUrl(const PublishedList& list)
{
    const std::string host = hostFromEnvironment(list.hostVariable.c_str(), list.defaultHost.c_str());
    const bool hasScheme = host.starts_with("http://") || host.starts_with("https://");
    return (hasScheme ? "" : "https://") + host + list.path;
}

CrawlerId identifyUserAgent(std::string_view userAgent)
{
    const TokenIndex& index = tokenIndex();
    bool wordStart = true;
    for (size_t i = 0; i < userAgent.size();) {
        const unsigned char byte = static_cast<unsigned char>(userAgent[i]);
        if (isGbkLeadByte(byte) && i + 1 < userAgent.size()) {
            i += 2; // a double-byte character is no letter or digit
            wordStart = true;
            continue;
        }
        const unsigned char next = i + 1 < userAgent.size() ? upperByte(static_cast<unsigned char>(userAgent[i + 1])) : 0;
        if (wordStart && index.startsToken.test(upperByte(byte) << 8 | next))
            for (const TokenIndex::Token& token : index.byFirstByte[upperByte(byte)])
                if (tokenAt(userAgent, i, token.upper))
                    return token.crawler;
        wordStart = !isAsciiAlnum(byte);
        ++i;
    }
    return kNoCrawler;
}

CrawlerId crawlerOfRow(int row)
{
    if (row < 1 || row > kCrawlerRowCount)
        return kNoCrawler;
    static const std::array<CrawlerId, kCrawlerRowCount> ids = [] {
        std::array<CrawlerId, kCrawlerRowCount> result{};
        for (int i = 0; i < kCrawlerRowCount; ++i)
            result[static_cast<size_t>(i)] = crawlerByKey(kRowKeys[i]);
        return result;
    }();
    return ids[static_cast<size_t>(row - 1)];
}

CrawlerId crawlerByName(std::string_view name)
{
    const auto& rows = crawlerTable();
    for (int i = 0; i < kCrawlerRowCount; ++i)
        if (equalsIgnoreCase(name, rows[static_cast<size_t>(i)].token) ||
            equalsIgnoreCase(name, rows[static_cast<size_t>(i)].displayName))
            return crawlerOfRow(i + 1);
    const auto& entries = crawlerRegistry();
    for (size_t i = 0; i < entries.size(); ++i) {
        const CrawlerEntry& entry = entries[i];
        const bool named = equalsIgnoreCase(name, entry.key) || equalsIgnoreCase(name, entry.name) ||
                           std::any_of(entry.tokens.begin(), entry.tokens.end(),
                                       [&](const std::string& token) { return equalsIgnoreCase(name, token); });
        if (named)
            return static_cast<CrawlerId>(i + 1);
    }
    if (CrawlerId id = identifyUserAgent(name))
        return id;
    return crawlerOfRow(crawlerRowOf(name));
}

std::optional<CrawlerSet> crawlersOfGroup(std::string_view name)
{
    auto members = [](auto inGroup) {
        CrawlerSet set;
        const auto& entries = crawlerRegistry();
        for (size_t i = 0; i < entries.size(); ++i)
            if (inGroup(entries[i]))
                set.set(i + 1);
        return set;
    };
    if (equalsIgnoreCase(name, "ai"))
        return aiCrawlers();
    for (int g = 0; g < kCrawlerGroupCount; ++g) {
        const auto group = static_cast<CrawlerGroup>(g);
        if (equalsIgnoreCase(name, crawlerGroupWord(group)) || name == crawlerGroupName(group))
            return members([group](const CrawlerEntry& entry) { return entry.group == group; });
    }
    return std::nullopt;
}

CrawlerSet aiCrawlers()
{
    CrawlerSet set;
    const auto& entries = crawlerRegistry();
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].isAi())
            set.set(i + 1);
    return set;
}

} // namespace quill
