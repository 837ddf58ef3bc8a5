// The registry's data: every crawler we name, with the operator's page each fact was checked
// against and when. Where no copy of the operator's own page could be read, the entry says so and
// rests on the facts gathered in 2026-12 from verifier code and crawler directories.

#include "crawlers/KnownCrawlers.h"

namespace quill {
namespace {

constexpr std::string_view kGathered = "no copy of the operator's page could be read; facts gathered 2026-12";
constexpr std::string_view kRetired = "retired crawler, kept for the crawler table's row; domains as the program always used";

} // namespace

const std::vector<KnownList>& knownLists()
{
    static const std::vector<KnownList> lists = {
        {"common-crawlers.json", "QUILLMARK_GOOGLE_DEVELOPERS_HOST", "developers.google.com", "/static/crawling/ipranges/common-crawlers.json"},
        {"special-crawlers.json", "QUILLMARK_GOOGLE_DEVELOPERS_HOST", "developers.google.com", "/static/crawling/ipranges/special-crawlers.json"},
        {"user-triggered-fetchers.json", "QUILLMARK_GOOGLE_DEVELOPERS_HOST", "developers.google.com", "/static/crawling/ipranges/user-triggered-fetchers.json"},
        {"user-triggered-fetchers-google.json", "QUILLMARK_GOOGLE_DEVELOPERS_HOST", "developers.google.com", "/static/crawling/ipranges/user-triggered-fetchers-google.json"},
        {"user-triggered-agents.json", "QUILLMARK_GOOGLE_DEVELOPERS_HOST", "developers.google.com", "/static/crawling/ipranges/user-triggered-agents.json"},
        {"bingbot.json", "QUILLMARK_BING_HOST", "www.bing.com", "/toolbox/bingbot.json"},
        {"applebot.json", "QUILLMARK_APPLE_SEARCH_HOST", "search.developer.apple.com", "/applebot.json"},
        {"duckduckbot.json", "QUILLMARK_DUCKDUCKGO_HOST", "duckduckgo.com", "/duckduckbot.json"},
        {"duckassistbot.json", "QUILLMARK_DUCKDUCKGO_HOST", "duckduckgo.com", "/duckassistbot.json"},
        {"gptbot.json", "QUILLMARK_OPENAI_HOST", "openai.com", "/gptbot.json"},
        {"searchbot.json", "QUILLMARK_OPENAI_HOST", "openai.com", "/searchbot.json"},
        {"chatgpt-user.json", "QUILLMARK_OPENAI_HOST", "openai.com", "/chatgpt-user.json"},
        {"bots.json", "QUILLMARK_CLAUDE_HOST", "claude.com", "/crawling/bots.json"},
        {"perplexitybot.json", "QUILLMARK_PERPLEXITY_HOST", "www.perplexity.com", "/perplexitybot.json"},
        {"perplexity-user.json", "QUILLMARK_PERPLEXITY_HOST", "www.perplexity.com", "/perplexity-user.json"},
        {"ccbot.json", "QUILLMARK_COMMONCRAWL_HOST", "index.commoncrawl.org", "/ccbot.json"},
        {"mistralai-index-ips.json", "QUILLMARK_MISTRAL_HOST", "mistral.ai", "/mistralai-index-ips.json"},
        {"mistralai-user-ips.json", "QUILLMARK_MISTRAL_HOST", "mistral.ai", "/mistralai-user-ips.json"},
    };
    return lists;
}

const std::vector<KnownCrawler>& knownCrawlers()
{
    using G = CrawlerGroup;
    static const std::string_view googleDomains[] = {"googlebot.com", "google.com", "googleusercontent.com"};
    static const std::vector<KnownCrawler> crawlers = {
        // Google. The common crawlers' list moved to crawling/ipranges in 2026-03; the product-crawler
        // and user-triggered pages name their lists and reverse-DNS masks.
        {"Googlebot", {"Googlebot", "GoogleOther", "Google-InspectionTool", "Storebot-Google", "Google-CloudVertexBot"},
         "Google", G::Search, {googleDomains[0], googleDomains[1], googleDomains[2]}, {"common-crawlers.json"},
         "https://developers.google.com/search/docs/advanced/crawling/verifying-googlebot (list address: gathered 2026-12)",
         "2026-12-11"},
        {"AdsBot-Google", {"AdsBot-Google", "Mediapartners-Google", "APIs-Google"}, "Google 广告", G::Other,
         {"google.com"}, {"special-crawlers.json"},
         "https://developers.google.com/search/docs/crawling-indexing/google-special-case-crawlers", "2026-12-11"},
        {"Google-Fetcher",
         {"FeedFetcher-Google", "Google-Read-Aloud", "Google-Site-Verification", "GoogleProducer", "Google-CWS",
          "Google-NotebookLM", "Google-Pinpoint", "Google-GeminiNotebook"},
         "Google 代取", G::AiFetcher, {},
         {"user-triggered-fetchers.json", "user-triggered-fetchers-google.json", "user-triggered-agents.json"},
         "https://developers.google.com/crawling/docs/crawlers-fetchers/google-user-triggered-fetchers", "2026-12-11"},
        {"bingbot", {"bingbot", "msnbot", "BingPreview", "adidxbot"}, "必应", G::Search, {"search.msn.com"},
         {"bingbot.json"}, "https://www.bing.com/webmaster/help/how-to-verify-bingbot-3905dc26 (list address: gathered 2026-12)",
         "2026-12-11"},
        {"Baiduspider", {"Baiduspider"}, "百度", G::Search, {"baidu.com", "baidu.jp"}, {},
         "Baidu's statement as reposted by webmaster sites (addresses change and are not published; hostnames "
         "*.baidu.com / *.baidu.jp); " + std::string(kGathered),
         "2026-12-11"},
        // The Sogou browser says "SogouMobileBrowser": only the spiders' names are tokens.
        {"Sogou", {"Sogou web spider", "Sogou inst spider", "Sogou spider", "Sogou News Spider", "Sogou Pic Spider",
                   "Sogou Video Spider", "Sogou Orion spider"},
         "搜狗", G::Search, {"sogou.com"}, {}, std::string(kGathered) + "; domain as the program always used", "2026-12"},
        {"360Spider", {"360Spider", "HaosouSpider"}, "360搜索", G::Search, {}, {},
         std::string(kGathered) + "; its addresses resolve to carriers' names, so no check", "2026-12"},
        {"YisouSpider", {"YisouSpider"}, "神马搜索", G::Search, {"crawl.sm.cn"}, {}, std::string(kGathered), "2026-12"},
        // Toutiao's search crawling resolves in crawl.bytedance.com; its AI crawling publishes nothing.
        {"Bytespider", {"Bytespider"}, "字节跳动", G::AiTraining, {}, {}, std::string(kGathered), "2026-12"},
        {"PetalBot", {"PetalBot"}, "花瓣搜索", G::Search, {"petalsearch.com", "aspiegel.com"}, {},
         std::string(kGathered), "2026-12"},
        {"YandexBot", {"YandexBot", "YandexImages", "YandexMobileBot", "YandexAccessibilityBot", "YandexRenderResourcesBot"},
         "Yandex", G::Search, {"yandex.ru", "yandex.net", "yandex.com"}, {},
         "https://yandex.com/support/webmaster/robot-workings/check-yandex-robots.html", "2026-12-11"},
        {"Applebot", {"Applebot"}, "Apple", G::Search, {"applebot.apple.com"}, {"applebot.json"}, std::string(kGathered),
         "2026-12"},
        {"DuckDuckBot", {"DuckDuckBot"}, "DuckDuckGo", G::Search, {}, {"duckduckbot.json"}, std::string(kGathered),
         "2026-12"},
        {"DuckAssistBot", {"DuckAssistBot"}, "DuckDuckGo AI", G::AiSearch, {}, {"duckassistbot.json"},
         std::string(kGathered), "2026-12"},
        {"GPTBot", {"GPTBot"}, "GPTBot", G::AiTraining, {}, {"gptbot.json"}, std::string(kGathered), "2026-12"},
        {"OAI-SearchBot", {"OAI-SearchBot"}, "OAI-SearchBot", G::AiSearch, {}, {"searchbot.json"},
         std::string(kGathered), "2026-12"},
        {"ChatGPT-User", {"ChatGPT-User"}, "ChatGPT-User", G::AiFetcher, {}, {"chatgpt-user.json"},
         std::string(kGathered), "2026-12"},
        {"ClaudeBot", {"ClaudeBot"}, "ClaudeBot", G::AiTraining, {}, {"bots.json"}, std::string(kGathered), "2026-12"},
        {"Claude-SearchBot", {"Claude-SearchBot"}, "Claude-SearchBot", G::AiSearch, {}, {"bots.json"},
         std::string(kGathered), "2026-12"},
        {"Claude-User", {"Claude-User"}, "Claude-User", G::AiFetcher, {}, {"bots.json"}, std::string(kGathered), "2026-12"},
        {"PerplexityBot", {"PerplexityBot"}, "PerplexityBot", G::AiSearch, {}, {"perplexitybot.json"},
         std::string(kGathered), "2026-12"},
        {"Perplexity-User", {"Perplexity-User"}, "Perplexity-User", G::AiFetcher, {}, {"perplexity-user.json"},
         std::string(kGathered), "2026-12"},
        {"CCBot", {"CCBot"}, "Common Crawl", G::AiTraining, {"crawl.commoncrawl.org"}, {"ccbot.json"},
         "https://commoncrawl.org/faq (user agent); list and domain: " + std::string(kGathered), "2026-12-11"},
        {"Amazonbot", {"Amazonbot"}, "Amazonbot", G::AiTraining, {"crawl.amazonbot.amazon"}, {},
         "https://developer.amazon.com/support/amazonbot", "2026-12-11"},
        // Meta publishes only its network (AS32934): without an AS table nothing can be checked.
        {"meta-externalagent", {"meta-externalagent"}, "Meta AI", G::AiTraining, {}, {}, std::string(kGathered), "2026-12"},
        {"meta-externalfetcher", {"meta-externalfetcher"}, "Meta AI 代取", G::AiFetcher, {}, {}, std::string(kGathered),
         "2026-12"},
        {"facebookexternalhit", {"facebookexternalhit", "facebookcatalog"}, "Facebook 预览", G::Other, {}, {},
         std::string(kGathered), "2026-12"},
        {"MistralAI-User", {"MistralAI-User"}, "MistralAI-User", G::AiFetcher, {}, {"mistralai-user-ips.json"},
         std::string(kGathered), "2026-12"},
        {"MistralAI-Index", {"MistralAI-Index"}, "MistralAI-Index", G::AiSearch, {}, {"mistralai-index-ips.json"},
         std::string(kGathered), "2026-12"},
        {"AhrefsBot", {"AhrefsBot", "AhrefsSiteAudit"}, "Ahrefs", G::SeoTool, {}, {}, std::string(kGathered), "2026-12"},
        {"SemrushBot", {"SemrushBot", "SiteAuditBot"}, "Semrush", G::SeoTool, {}, {}, std::string(kGathered), "2026-12"},
        {"MJ12bot", {"MJ12bot"}, "Majestic", G::SeoTool, {}, {}, std::string(kGathered), "2026-12"},
        {"DotBot", {"DotBot"}, "Moz", G::SeoTool, {}, {}, std::string(kGathered), "2026-12"},
        {"BLEXBot", {"BLEXBot"}, "BLEXBot", G::SeoTool, {}, {}, std::string(kGathered), "2026-12"},
        {"DataForSeoBot", {"DataForSeoBot"}, "DataForSEO", G::SeoTool, {}, {}, std::string(kGathered), "2026-12"},
        {"Screaming Frog", {"Screaming Frog SEO Spider"}, "Screaming Frog", G::SeoTool, {}, {}, std::string(kGathered),
         "2026-12"},
        // The crawler table's other rows: gone or never checkable, named so every row has an entry.
        {"Yahoo", {"Yahoo! Slurp", "Slurp"}, "雅虎", G::Search, {"crawl.yahoo.net"}, {}, std::string(kRetired), "2026-12"},
        {"Sosospider", {"Sosospider"}, "soso", G::Search, {}, {}, std::string(kRetired), "2026-12"},
        {"YoudaoBot", {"YoudaoBot", "YodaoBot"}, "有道", G::Search, {"youdao.com"}, {}, std::string(kRetired), "2026-12"},
        {"qihoobot", {"qihoobot"}, "奇虎", G::Search, {}, {}, std::string(kRetired), "2026-12"},
        {"Twiceler", {"Twiceler"}, "cuil.com", G::Search, {}, {}, std::string(kRetired), "2026-12"},
        {"AppEngine-Google", {"AppEngine-Google"}, "GOOGLE代码浏览器", G::Other, {}, {}, std::string(kRetired), "2026-12"},
        {"SurveyBot", {"SurveyBot"}, "domaintools.com", G::Other, {}, {}, std::string(kRetired), "2026-12"},
        {"Gigabot", {"Gigabot"}, "gigablast", G::Search, {}, {}, std::string(kRetired), "2026-12"},
    };
    return crawlers;
}

} // namespace quill
