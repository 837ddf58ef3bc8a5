#include "crawlers/CrawlerTable.h"

#include "platform/CodePage.h"
#include "platform/GbkText.h"

namespace quill {

const std::array<CrawlerRow, kCrawlerRowCount>& crawlerTable()
{
    static const std::array<CrawlerRow, kCrawlerRowCount> rows = {{
        {"Googlebot", gbk("Google"), gbk("GOOGlE")},
        {"Baiduspider", gbk("百度"), gbk("百度")},
        {"Yahoo", gbk("雅虎"), gbk("雅虎")},
        {"Sogou", gbk("SogouBot"), gbk("Sogou")},
        // IIS writes a user agent's blanks as "+", so "Sosospider+" is the name followed by a blank.
        {"Sosospider+", gbk("soso"), gbk("Soso")},
        {"YoudaoBot", gbk("有道"), gbk("有道")},
        {"YodaoBot-Image", gbk("有道图片"), ""},
        {"qihoobot", gbk("奇虎"), ""},
        {"Twiceler", gbk("cuil.com"), ""},
        {"msnbot", gbk("MSN"), gbk("MSN")},
        {"AppEngine-Google", gbk("GOOGLE代码浏览器"), ""},
        {"SurveyBot", gbk("domaintools.com"), ""},
        {"Gigabot/", gbk("gigablast"), ""},
    }};
    return rows;
}

int crawlerRowOf(std::string_view line)
{
    const auto& rows = crawlerTable();
    for (int i = 0; i < kCrawlerRowCount; ++i)
        if (containsIgnoreCase(line, rows[i].token))
            return i + 1;
    return 0;
}

int statisticsRowOf(std::string_view line)
{
    const auto& rows = crawlerTable();
    for (int i = 0; i < kCrawlerRowCount; ++i)
        if (!rows[i].statisticsColumn.empty() && containsIgnoreCase(line, rows[i].token))
            return i + 1;
    return 0;
}

const std::string& crawlerDisplayName(int row)
{
    static const std::string none;
    return row <= 0 || row > kCrawlerRowCount ? none : crawlerTable()[row - 1].displayName;
}

const std::string& crawlerNameOf(std::string_view line)
{
    return crawlerDisplayName(crawlerRowOf(line));
}

const EngineNames& engineNames()
{
    static const EngineNames names{gbk("百度"), gbk("Google"), gbk("soso"), gbk("雅虎"),
                                   gbk("SogouBot"), gbk("MSN"), gbk("有道")};
    return names;
}

} // namespace quill
