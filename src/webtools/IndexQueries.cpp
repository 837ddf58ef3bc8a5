#include "webtools/IndexQueries.h"

#include "platform/CodePage.h"
#include "platform/GbkText.h"
#include "text/HtmlText.h"

namespace quill {

const std::vector<IndexQuery>& indexQueries()
{
    static const std::vector<IndexQuery> queries = [] {
        const std::string baiduStart = gbk("找到相关网页"), baiduEnd = gbk("篇，用时");
        const std::string pages = gbk("个页面"), spacedPages = gbk(" 个页面");
        const std::string about = gbk("约 <b>"), items = gbk("</b> 条");
        const std::string recent = "&hl=zh-CN&tbo=s&newwindow=1&tbs=qdr:";
        return std::vector<IndexQuery>{
            {false, "/baidu?tn=hao123&wd=site%3A", "", baiduStart, baiduEnd, gbk("百度 收录:"), pages},
            {false, "/baidu?tn=hao123&lm=1&wd=site%3A", "", baiduStart, baiduEnd, gbk("百度 最近1天收录:"), pages},
            {false, "/baidu?tn=hao123&lm=7&wd=site%3A", "", baiduStart, baiduEnd, gbk("百度 最近7天收录:"), pages},
            {false, "/baidu?tn=hao123&wd=domain%3A", "", baiduStart, baiduEnd, gbk("百度 反向链接:"), pages},
            {true, "/search?hl=zh-CN&q=site%3A", "", about, items, gbk("Google 收录:"), pages},
            {true, "/search?hl=zh-CN&newwindow=1&q=link%3A", "", gbk("获得约 <b>"), gbk("</b> 条结果"),
             gbk("Google 反向链接:"), pages},
            {true, "/search?q=site%3A", recent + "d", about, items, gbk("Google 1天内收录: "), spacedPages},
            {true, "/search?q=site%3A", recent + "w", about, items, gbk("Google 一周内收录: "), spacedPages},
            {true, "/search?q=site%3A", recent + "y", about, items, gbk("Google 一年内收录: "), spacedPages},
        };
    }();
    return queries;
}

std::string indexSiteText(const std::string& siteBox)
{
    return std::string(trim(replaceAllIgnoreCase(requestSiteText(siteBox), "http://", "")));
}

std::string indexLine(const IndexQuery& query, const std::string& answer)
{
    return query.label + textBetween(answer, query.startMarker, query.endMarker) + query.unit;
}

int indexQueryCount(const IndexRun& run)
{
    int count = 0;
    for (const IndexQuery& query : indexQueries())
        if (query.google ? run.google : run.baidu)
            ++count;
    return count;
}

std::string indexProgress(int done, int total)
{
    return gbk("批量查询 ") + std::to_string(done) + "/" + std::to_string(total) + gbk(" …");
}

Status runIndexQueries(const IndexRun& run, const std::function<Result<std::string>(const std::string& url)>& fetch,
                       const std::function<void(const std::string& line)>& appendLine,
                       const std::function<void(int done, int total)>& progress, const std::atomic<bool>* stop)
{
    appendLine(std::string(71, '-'));
    appendLine(gbk("查询时间：") + run.dateTime);
    const std::string site = indexSiteText(run.siteBox);
    const int total = indexQueryCount(run);
    int failed = 0;
    std::string firstFailure;
    int done = 0;
    for (const IndexQuery& query : indexQueries()) {
        if (!(query.google ? run.google : run.baidu))
            continue;
        if (stop && stop->load())
            return Status::failure(gbk("已取消"));
        const std::string& host = query.google ? run.googleHost : run.baiduHost;
        // The site text goes into the address unescaped.
        const Result<std::string> answer = fetch("http://" + host + query.before + site + query.after);
        if (!answer && failed++ == 0)
            firstFailure = answer.status().message();
        appendLine(indexLine(query, answer ? answer.value() : std::string()));
        if (progress)
            progress(++done, total);
    }
    if (failed == 0)
        return Status();
    return Status::failure(std::to_string(failed) + "/" + std::to_string(total) + gbk(" 个查询失败（") + firstFailure +
                           gbk("）"));
}

} // namespace quill
