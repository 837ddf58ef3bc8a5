#include "SiteLogGenerator.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string_view>

namespace quill::bench {
namespace {

class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }
    double unit() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }
    // 0 .. n-1, the low ranks far more often (about 1/rank).
    unsigned popular(unsigned n) { return std::min(n - 1, static_cast<unsigned>(std::exp(unit() * std::log(n + 1.0)) - 1)); }

private:
    std::uint64_t m_state;
};

struct Crawler {
    std::string_view agent;
    double share;   // of the crawlers' requests
    int peakHour;   // comes most around this hour
    const char* net; // its addresses' first three parts
};

// Ten crawlers the crawler table names, as IIS writes their user agents.
constexpr std::array<Crawler, 10> kCrawlers = {{
    {"Mozilla/5.0+(compatible;+Baiduspider/2.0;++http://www.baidu.com/search/spider.html)", 0.35, 3, "123.125.71"},
    {"Mozilla/5.0+(compatible;+Googlebot/2.1;++http://www.google.com/bot.html)", 0.20, 14, "66.249.66"},
    {"Sogou+web+spider/4.0(+http://www.sogou.com/docs/help/webmasters.htm#07)", 0.10, 22, "123.126.113"},
    {"msnbot/2.0b+(+http://search.msn.com/msnbot.htm)", 0.08, 9, "65.55.213"},
    {"Mozilla/5.0+(compatible;+Yahoo!+Slurp;+http://help.yahoo.com/help/us/ysearch/slurp)", 0.06, 17, "72.30.142"},
    {"Mozilla/5.0+(compatible;+YoudaoBot/1.0;+http://www.youdao.com/help/webmaster/spider/;+)", 0.06, 5, "220.181.51"},
    {"Sosospider+(+http://help.soso.com/webspider.htm)", 0.05, 1, "124.115.0"},
    {"Mozilla/5.0+(compatible;+qihoobot/1.0)", 0.04, 20, "101.226.166"},
    {"Mozilla/5.0+(compatible;+YodaoBot-Image/1.0;+http://www.youdao.com/help/webmaster/spider/;+)", 0.03, 11, "220.181.52"},
    {"Mozilla/5.0+(compatible;+Gigabot/3.0;++http://www.gigablast.com/spider.html)", 0.03, 7, "66.231.188"},
}};

constexpr std::array<std::string_view, 4> kBrowsers = {
    "Mozilla/5.0+(Windows+NT+10.0;+Win64;+x64)+AppleWebKit/537.36+(KHTML,+like+Gecko)+Chrome/120.0+Safari/537.36",
    "Mozilla/5.0+(iPhone;+CPU+iPhone+OS+17_0+like+Mac+OS+X)+AppleWebKit/605.1.15+Mobile/15E148+Safari/604.1",
    "Mozilla/5.0+(Windows+NT+6.1;+rv:115.0)+Gecko/20100101+Firefox/115.0",
    "Mozilla/5.0+(Linux;+Android+13)+AppleWebKit/537.36+(KHTML,+like+Gecko)+Chrome/119.0+Mobile+Safari/537.36",
};

constexpr std::array<std::string_view, 12> kSections = {"news", "product", "bbs",  "article", "help",  "download",
                                                        "shop", "blog",    "video", "photo",   "doc",   "about"};
constexpr int kStatics = 2000;

// Path `i` of the site: pages in two levels of folders, then images, styles and scripts.
std::string sitePath(int i, int paths)
{
    const int pages = paths - kStatics;
    if (i < pages)
        return "/" + std::string(kSections[static_cast<size_t>(i % 12)]) + "/c" + std::to_string(i / 12 % 40) + "/" +
               std::to_string(i) + (i % 3 == 0 ? ".html" : ".htm");
    const int s = i - pages;
    return (s % 4 == 0 ? "/css/s" : s % 4 == 1 ? "/js/j" : "/images/i") + std::to_string(s) +
           (s % 4 == 0 ? ".css" : s % 4 == 1 ? ".js" : ".jpg");
}

const char* kHeader = "#Software: Microsoft Internet Information Services 7.5\r\n#Version: 1.0\r\n"
                      "#Date: %s 00:00:00\r\n"
                      "#Fields: date time s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip "
                      "cs(User-Agent) cs(Referer) sc-status sc-substatus sc-win32-status sc-bytes cs-bytes time-taken\r\n";

// Which crawler comes at `hour`: each more likely near its peak hour.
size_t crawlerAt(Random& random, int hour)
{
    std::array<double, kCrawlers.size()> weights{};
    double total = 0;
    for (size_t c = 0; c < kCrawlers.size(); ++c) {
        const int distance = std::min((hour - kCrawlers[c].peakHour + 24) % 24, (kCrawlers[c].peakHour - hour + 24) % 24);
        weights[c] = kCrawlers[c].share * (distance <= 3 ? 2.5 : 1.0);
        total += weights[c];
    }
    double pick = random.unit() * total;
    for (size_t c = 0; c < kCrawlers.size(); ++c) {
        if ((pick -= weights[c]) < 0)
            return c;
    }
    return 0;
}

std::string dayName(int year, int month, int day)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

void nextDay(int& year, int& month, int& day)
{
    static constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (++day > lengths[month - 1] + (month == 2 && leap)) {
        day = 1;
        if (++month > 12) {
            month = 1;
            ++year;
        }
    }
}

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

bool writeDay(const std::string& path, const std::string& date, const SiteOptions& options, Random& random)
{
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    char line[1024];
    std::snprintf(line, sizeof line, kHeader, date.c_str());
    std::string out = line;
    const std::uint64_t linesEstimate = options.bytesPerDay / 250 + 1;
    const unsigned pages = static_cast<unsigned>(options.paths - kStatics);
    std::uint64_t written = 0;
    for (std::uint64_t n = 0; written + out.size() < options.bytesPerDay; ++n) {
        const unsigned second = static_cast<unsigned>(std::min<std::uint64_t>(86399, 86400 * n / linesEstimate));
        const int hour = static_cast<int>(second / 3600);
        const bool crawls = random.below(100) < 28;
        const size_t crawler = crawls ? crawlerAt(random, hour) : 0;
        // Crawlers reach deep into the site as often as they come back to its popular pages.
        int path;
        if (crawls)
            path = static_cast<int>(random.below(2) ? random.below(pages) : random.popular(pages));
        else
            path = random.below(3) ? static_cast<int>(random.popular(pages))
                                   : static_cast<int>(pages + random.below(kStatics));
        if (crawls && random.below(50) == 0)
            path = static_cast<int>(pages + random.below(kStatics));
        const unsigned s = random.below(100);
        const int status = crawls ? (s < 85 ? 200 : s < 91 ? 304 : s < 96 ? 404 : s < 99 ? 301 : 500)
                                  : (s < 80 ? 200 : s < 93 ? 304 : s < 98 ? 404 : 500);
        const std::string query = random.below(10) < 3 ? "id=" + std::to_string(random.below(5000)) : "-";
        char address[32];
        if (crawls)
            std::snprintf(address, sizeof address, "%s.%u", kCrawlers[crawler].net, 1 + random.below(254));
        else
            std::snprintf(address, sizeof address, "%u.%u.%u.%u", 36 + random.below(180), random.below(256),
                          random.below(256), 1 + random.below(254));
        const std::string stem = sitePath(path, options.paths);
        const std::string_view agent = crawls ? kCrawlers[crawler].agent : kBrowsers[random.below(kBrowsers.size())];
        const std::string referrer = crawls || random.below(3) ? "-" : "https://www.baidu.com/s?wd=site";
        std::snprintf(line, sizeof line, "%s %02u:%02u:%02u 10.0.0.5 GET %s %s 80 - %s %.*s %s %d 0 0 %u %u %u\r\n",
                      date.c_str(), second / 3600, second / 60 % 60, second % 60, stem.c_str(), query.c_str(), address,
                      static_cast<int>(agent.size()), agent.data(), referrer.c_str(), status,
                      status == 304 ? 180u : 400u + random.below(60000), 300u + random.below(700), random.below(400));
        out += line;
        if (out.size() >= (1u << 20)) {
            written += std::fwrite(out.data(), 1, out.size(), file.get());
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), file.get());
    return std::ferror(file.get()) == 0;
}

} // namespace

bool writeSiteLogs(const std::string& folder, const SiteOptions& options)
{
    int year = std::stoi(options.firstDay.substr(0, 4));
    int month = std::stoi(options.firstDay.substr(5, 2));
    int day = std::stoi(options.firstDay.substr(8, 2));
    Random random(options.seed);
    for (int d = 0; d < options.days; ++d, nextDay(year, month, day)) {
        char name[32];
        std::snprintf(name, sizeof name, "/ex%02d%02d%02d.log", year % 100, month, day);
        if (!writeDay(folder + name, dayName(year, month, day), options, random))
            return false;
    }
    return true;
}

bool writeSiteSitemap(const std::string& path, const SiteOptions& options)
{
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    for (int i = 0; i < options.paths - kStatics; ++i)
        if (i % 10 != 9)
            std::fprintf(file.get(), "https://www.example.com%s\n", sitePath(i, options.paths).c_str());
    for (int i = 0; i < 500; ++i)
        std::fprintf(file.get(), "https://www.example.com/new/%d.htm\n", i);
    return std::ferror(file.get()) == 0;
}

} // namespace quill::bench
