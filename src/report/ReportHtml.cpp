#include "report/ReportHtml.h"

#include "ledger/LedgerDays.h"
#include "ledger/LedgerTables.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cstdio>

namespace quill {
namespace {

// Colours of the crawlers in the charts, in the order of their columns; more crawlers reuse them.
constexpr const char* kColours[] = {"#3b6fb6", "#e08a2e", "#3f9e58", "#c8453b", "#8460b3",
                                    "#8c6249", "#d66fb4", "#7f7f7f", "#b5b52e", "#2fb0c2"};

constexpr const char* kStyle = R"(
body{font:15px/1.5 "Noto Sans CJK SC","WenQuanYi Zen Hei","Microsoft YaHei",sans-serif;color:#222;margin:0 auto;max-width:1100px;padding:12px}
h1{font-size:1.5em;margin:.2em 0}h2{font-size:1.2em;margin:1.4em 0 .4em;border-bottom:1px solid #ccc}
.figures{display:flex;flex-wrap:wrap;gap:10px;padding:0;list-style:none}
.figures li{flex:1 1 150px;border:1px solid #ccc;border-radius:6px;padding:8px}
.figures b{display:block;font-size:1.5em}
.scroll{overflow-x:auto}
table{border-collapse:collapse;width:100%;font-size:.93em}
th,td{border-bottom:1px solid #e4e4e4;padding:3px 6px;text-align:left;white-space:nowrap}
td.n,th.n{text-align:right}
td.p{white-space:normal;word-break:break-all;min-width:12em}
svg{width:100%;height:auto;display:block}
.legend{padding:0;list-style:none;display:flex;flex-wrap:wrap;gap:4px 14px;font-size:.9em}
.legend i{display:inline-block;width:.9em;height:.9em;margin-right:4px;vertical-align:-1px}
.note{color:#666;font-size:.9em}
@media (max-width:600px){body{font-size:14px;padding:6px}th,td{padding:2px 4px}}
@media print{body{max-width:none}.figures li{border-color:#999}section{break-inside:avoid}}
)";

std::string escaped(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

// A GBK text of the ledger, ready for the page.
std::string text(std::string_view gbkText) { return escaped(gbkToUtf8(gbkText)); }

std::string number(std::int64_t value) { return groupedNumber(value); }

std::string share(std::int64_t part, std::int64_t whole)
{
    const std::string text = shareText(part, whole);
    return text.empty() ? "-" : text;
}

std::string day(int yyyymmdd) { return yyyymmdd == 0 ? "-" : dayText(yyyymmdd); }

std::string coordinate(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

class Page {
public:
    void open(const char* tag, const char* attributes = "")
    {
        m_html += "<";
        m_html += tag;
        m_html += attributes;
        m_html += ">";
    }
    void close(const char* tag) { (m_html += "</") += tag, m_html += ">\n"; }
    void element(const char* tag, std::string_view content, const char* attributes = "")
    {
        open(tag, attributes);
        m_html += content;
        close(tag);
    }
    void raw(std::string_view html) { m_html += html; }
    // A table of rows of cells already escaped; a caption ending in "#" marks a number column.
    void table(const std::vector<std::string>& captions, const std::vector<std::vector<std::string>>& rows,
               const char* empty)
    {
        if (rows.empty()) {
            element("p", escaped(empty), " class=\"note\"");
            return;
        }
        open("div", " class=\"scroll\"");
        open("table");
        open("thead");
        open("tr");
        std::vector<bool> numbers;
        for (const std::string& caption : captions) {
            const bool isNumber = caption.ends_with("#");
            numbers.push_back(isNumber);
            element("th", escaped(isNumber ? caption.substr(0, caption.size() - 1) : caption),
                    isNumber ? " class=\"n\"" : "");
        }
        close("tr");
        close("thead");
        open("tbody");
        for (const std::vector<std::string>& row : rows) {
            open("tr");
            for (size_t c = 0; c < row.size(); ++c)
                element("td", row[c], numbers[c] ? " class=\"n\"" : c == 0 ? " class=\"p\"" : "");
            close("tr");
        }
        close("tbody");
        close("table");
        close("div");
    }
    std::string take() { return std::move(m_html); }

private:
    std::string m_html;
};

void legend(Page& page, const std::vector<CrawlerColumn>& crawlers)
{
    page.open("ul", " class=\"legend\"");
    for (size_t c = 0; c < crawlers.size(); ++c)
        page.element("li", "<i style=\"background:" + std::string(kColours[c % std::size(kColours)]) + "\"></i>" +
                               text(crawlers[c].name));
    page.close("ul");
}

// Bars of `values[bar][series]` stacked, a label under every `labelEvery`-th bar.
void stackedBars(Page& page, const std::vector<std::string>& labels, const std::vector<std::vector<std::int64_t>>& values,
                 const std::vector<std::string>& series, size_t labelEvery, const char* description)
{
    constexpr double kWidth = 900, kHeight = 240, kLeft = 50, kBottom = 22, kTop = 8;
    std::int64_t most = 1;
    for (const auto& bar : values) {
        std::int64_t sum = 0;
        for (std::int64_t v : bar)
            sum += v;
        most = std::max(most, sum);
    }
    const double plotHeight = kHeight - kBottom - kTop;
    const double step = (kWidth - kLeft) / static_cast<double>(std::max<size_t>(values.size(), 1));
    const double barWidth = std::clamp(step * 0.8, 0.5, 40.0);
    std::string svg = "<svg viewBox=\"0 0 900 240\" role=\"img\" aria-label=\"" + escaped(description) +
                      "\">";
    // The axis: the largest bar's height at the top, 0 at the bottom.
    svg += "<line x1=\"" + coordinate(kLeft) + "\" y1=\"" + coordinate(kTop + plotHeight) + "\" x2=\"900\" y2=\"" +
           coordinate(kTop + plotHeight) + "\" stroke=\"#999\"/>";
    svg += "<text x=\"" + coordinate(kLeft - 4) + "\" y=\"" + coordinate(kTop + 10) +
           "\" font-size=\"11\" text-anchor=\"end\">" + number(most) + "</text>";
    svg += "<text x=\"" + coordinate(kLeft - 4) + "\" y=\"" + coordinate(kTop + plotHeight) +
           "\" font-size=\"11\" text-anchor=\"end\">0</text>";
    for (size_t b = 0; b < values.size(); ++b) {
        const double x = kLeft + step * static_cast<double>(b) + (step - barWidth) / 2;
        double y = kTop + plotHeight;
        for (size_t s = 0; s < values[b].size(); ++s) {
            if (values[b][s] == 0)
                continue;
            const double height = plotHeight * static_cast<double>(values[b][s]) / static_cast<double>(most);
            y -= height;
            svg += "<rect x=\"" + coordinate(x) + "\" y=\"" + coordinate(y) + "\" width=\"" + coordinate(barWidth) +
                   "\" height=\"" + coordinate(height) + "\" fill=\"" + kColours[s % std::size(kColours)] +
                   "\"><title>" + escaped(labels[b]) + " " + series[s] + ": " + number(values[b][s]) +
                   "</title></rect>";
        }
        if (b % labelEvery == 0)
            svg += "<text x=\"" + coordinate(x + barWidth / 2) + "\" y=\"" + coordinate(kHeight - 6) +
                   "\" font-size=\"11\" text-anchor=\"middle\">" + escaped(labels[b]) + "</text>";
    }
    svg += "</svg>\n";
    page.raw(svg);
}

void keyFigures(Page& page, const CrawlReport& report)
{
    page.open("ul", " class=\"figures\"");
    const std::pair<const char*, std::string> figures[] = {
        {"蜘蛛抓取", number(report.crawlerHits)},
        {"抓取的URL", number(report.urlsCrawled)},
        {"非200 (浪费)", share(report.not200, report.crawlerHits)},
        {"伪装蜘蛛", number(report.fakeHits) + " 次 / " + number(report.fakeAddresses) + " 个IP"},
        {"全部请求", number(report.requests)},
    };
    for (const auto& [caption, value] : figures)
        page.element("li", escaped(caption) + "<b>" + escaped(value) + "</b>");
    page.close("ul");
}

void dayChart(Page& page, const CrawlReport& report)
{
    page.element("h2", "每日抓取");
    std::vector<std::string> labels, series;
    std::vector<std::vector<std::int64_t>> values;
    for (const CrawlerColumn& crawler : report.days.crawlers)
        series.push_back(text(crawler.name));
    for (const DayRow& row : report.days.rows) {
        labels.push_back(dayText(row.day).substr(5));
        values.push_back(row.hits);
    }
    if (values.empty()) {
        page.element("p", "本期没有抓取。", " class=\"note\"");
        return;
    }
    stackedBars(page, labels, values, series, std::max<size_t>(1, values.size() / 10), "每日蜘蛛抓取，按蜘蛛堆叠");
    legend(page, report.days.crawlers);
}

void crawlerTables(Page& page, const CrawlReport& report)
{
    page.element("h2", "各蜘蛛的状态码");
    std::vector<std::vector<std::string>> rows;
    for (const ReportCrawler& c : report.crawlers)
        rows.push_back({text(c.name), text(c.group), number(c.hits), share(c.classHits[0], c.hits),
                        share(c.classHits[1], c.hits), share(c.classHits[2], c.hits), share(c.classHits[3], c.hits),
                        share(c.hits - c.status200, c.hits), number(c.urls)});
    page.table({"蜘蛛", "类别", "抓取#", "2xx#", "3xx#", "4xx#", "5xx#", "非200#", "URL数#"}, rows,
               "本期没有抓取。");

    page.element("h2", "AI 蜘蛛");
    rows.clear();
    for (const ReportCrawler& c : report.crawlers)
        if (isAiGroup(c.group))
            rows.push_back({text(c.name), text(c.group), number(c.hits), share(c.hits, report.crawlerHits), number(c.urls)});
    page.table({"蜘蛛", "类别", "抓取#", "占蜘蛛抓取#", "URL数#"}, rows, "本期没有 AI 蜘蛛的抓取。");
}

void urlTables(Page& page, const CrawlReport& report)
{
    page.element("h2", "抓取最多的URL");
    std::vector<std::vector<std::string>> rows;
    for (const ReportUrl& url : report.topUrls)
        rows.push_back({text(url.path), number(url.hits), day(url.lastDay)});
    page.table({"URL", "抓取#", "最近抓取"}, rows, "本期没有抓取。");

    page.element("h2", "最久未被抓取的URL");
    rows.clear();
    for (const ReportUrl& url : report.staleUrls)
        rows.push_back({text(url.path), day(url.lastDay), number(url.daysSince), number(url.hits)});
    page.table({"URL", "最近抓取", "未抓天数#", "抓取#"}, rows, "本期没有抓取。");

    page.element("h2", "目录");
    rows.clear();
    for (const ReportDirectory& dir : report.directories)
        rows.push_back({text(dir.path), number(dir.hits), share(dir.classHits[0], dir.hits),
                        share(dir.classHits[1], dir.hits), share(dir.classHits[2], dir.hits),
                        share(dir.classHits[3], dir.hits)});
    page.table({"目录", "抓取#", "2xx#", "3xx#", "4xx#", "5xx#"}, rows, "本期没有抓取。");
}

void hourChart(Page& page, const CrawlReport& report)
{
    page.element("h2", "抓取时段");
    const auto peak = std::max_element(report.hours.begin(), report.hours.end());
    if (*peak == 0) {
        page.element("p", "本期没有抓取。", " class=\"note\"");
        return;
    }
    const int peakHour = static_cast<int>(peak - report.hours.begin());
    char peakText[64];
    std::snprintf(peakText, sizeof peakText, "高峰时段: %02d:00-%02d:59，", peakHour, peakHour);
    page.element("p", escaped(peakText) + number(*peak) + " 次");
    std::vector<std::string> labels;
    std::vector<std::vector<std::int64_t>> values;
    for (int hour = 0; hour < 24; ++hour) {
        labels.push_back(std::to_string(hour));
        values.push_back({report.hours[static_cast<size_t>(hour)]});
    }
    stackedBars(page, labels, values, {"抓取"}, 1, "每小时的蜘蛛抓取");
}

void fakeTable(Page& page, const CrawlReport& report)
{
    page.element("h2", "伪装蜘蛛");
    std::vector<std::vector<std::string>> rows;
    for (const ReportFake& fake : report.fakes)
        rows.push_back({text(fake.address), text(fake.claimed), number(fake.hits), day(fake.firstDay), day(fake.lastDay),
                        text(fake.topPath)});
    page.table({"IP", "冒充", "次数#", "首次", "最近", "常抓URL"}, rows, "本期没有发现伪装蜘蛛（添加日志时勾选“验证蜘蛛”才会检查）。");
}

} // namespace

std::string reportHtml(const CrawlReport& report)
{
    const std::string period = report.range.from == 0
                                   ? std::string("抓取档案中还没有日志")
                                   : dayText(report.range.from) + " 至 " + dayText(report.range.to);
    Page page;
    page.raw("<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\"/>\n"
             "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n");
    page.element("title", escaped("蜘蛛抓取报告 " + period));
    page.element("style", kStyle);
    page.raw("</head>\n<body>\n");
    page.element("h1", "蜘蛛抓取报告");
    page.element("p", escaped(period), " class=\"note\"");
    keyFigures(page, report);
    dayChart(page, report);
    crawlerTables(page, report);
    urlTables(page, report);
    hourChart(page, report);
    fakeTable(page, report);
    page.raw("</body>\n</html>\n");
    return page.take();
}

} // namespace quill
