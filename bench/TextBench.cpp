// Time of the page reductions on generated GBK pages of 1 to 8 MB, against a plain copy and scan
// of the same bytes.

#include "platform/CodePage.h"
#include "text/DecodeActions.h"
#include "text/HtmlText.h"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

// A page of about `megabytes` MB: head, style and script blocks, then paragraphs of Chinese
// text with links, entities and line breaks, as fetched pages look.
std::string makePage(int megabytes)
{
    const std::string head = quill::gbk("<html><head><title>站长工具 - 首页</title>\r\n<style type=\"text/css\">"
                                 "body{font:12px} .nav a{color:#333}</style>\r\n<script>var n=1;if(n<2){n++;}"
                                 "</script></head>\r\n<body>\r\n");
    const std::string paragraph = quill::gbk("<div class=\"item\"><a href=\"/news/1.html\">今日新闻</a>"
                                             "&nbsp;|&nbsp;"
                                      "<span>网站日志分析、搜索引擎蜘蛛统计，关键词&gt;排名；</span>\r\n"
                                      "<p>\t本站提供免费的站长工具：收录查询, 反链查询 &amp; 关键词挖掘。</p>"
                                      "<script type=\"text/javascript\">show(1);</script></div>\r\n");
    const size_t size = static_cast<size_t>(megabytes) << 20;
    std::string page = head;
    page.reserve(size + paragraph.size());
    while (page.size() < size)
        page += paragraph;
    return page + "</body></html>";
}

const std::string& page(int megabytes)
{
    static std::string pages[9];
    if (pages[megabytes].empty())
        pages[megabytes] = makePage(megabytes);
    return pages[megabytes];
}

void setBytes(benchmark::State& state, const std::string& input)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(input.size()));
}

void BM_CopyAndScan(benchmark::State& state)
{
    const std::string& input = page(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::string copy = input;
        benchmark::DoNotOptimize(std::count(copy.begin(), copy.end(), '<'));
    }
    setBytes(state, input);
}

void BM_HtmlToText(benchmark::State& state)
{
    const std::string& input = page(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(quill::htmlToText(input));
    setBytes(state, input);
}

void BM_DistinctPhrases(benchmark::State& state)
{
    const std::string text = quill::htmlToText(page(static_cast<int>(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(quill::distinctPhrases(text));
    setBytes(state, text);
}

} // namespace

BENCHMARK(BM_CopyAndScan)->RangeMultiplier(2)->Range(1, 8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HtmlToText)->RangeMultiplier(2)->Range(1, 8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DistinctPhrases)->RangeMultiplier(2)->Range(1, 8)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
