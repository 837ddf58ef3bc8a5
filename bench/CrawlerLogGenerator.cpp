#include "CrawlerLogGenerator.h"

#include <cstdio>
#include <random>
#include <stdexcept>

namespace quill::bench {
namespace {

const char* const kAgents[] = {
    "Mozilla/4.0+(compatible;+MSIE+6.0;+Windows+NT+5.1;+SV1)",
    "Mozilla/4.0+(compatible;+MSIE+7.0;+Windows+NT+5.1;+.NET+CLR+2.0.50727)",
    "Mozilla/5.0+(Windows;+U;+Windows+NT+5.1;+zh-CN;+rv:1.9.0.5)+Gecko/2008120122+Firefox/3.0.5",
    "Opera/9.63+(Windows+NT+5.1;+U;+zh-cn)+Presto/2.1.1",
    "Baiduspider+(+http://www.baidu.com/search/spider.htm)",
    "Mozilla/5.0+(compatible;+Googlebot/2.1;++http://www.google.com/bot.html)",
    "Sosospider+(+http://help.soso.com/webspider.htm)",
    "Mozilla/5.0+(compatible;+YoudaoBot/1.0;+http://www.youdao.com/help/webmaster/spider/;+)",
    "Mozilla/5.0+(compatible;+Yahoo!+Slurp+China;+http://misc.yahoo.com.cn/help.html)",
    "Sogou+web+spider/4.0(+http://www.sogou.com/docs/help/webmasters.htm#07)",
    "msnbot/1.1+(+http://search.msn.com/msnbot.htm)",
    "Mozilla/5.0+(compatible;+YodaoBot-Image/1.0;+http://www.youdao.com/help/webmaster/spider/;+)",
    "qihoobot",
};
// Browsers take most lines; crawlers share about a third.
const int kAgentWeights[] = {22, 16, 14, 6, 12, 8, 4, 3, 3, 4, 3, 2, 3};

const char* const kPaths[] = {"/", "/index.asp", "/news/2009/0101.html", "/images/logo.gif", "/css/main.css",
                              "/bbs/viewthread.asp", "/download/soft.rar", "/search.asp"};
const char* const kQueries[] = {"-", "-", "-", "id=1024&page=2", "q=%C8%ED%BC%FE", "kw=\xC8\xED\xBC\xFE\xCF\xC2\xD4\xD8"};
const char* const kReferrers[] = {"-", "-", "-", "http://www.baidu.com/s?wd=%C8%ED%BC%FE",
                                  "http://www.sogou.com/web?query=soft", "http://search.yahoo.com/search?p=soft"};

} // namespace

void writeCrawlerLogs(const std::string& folder, int files, std::uint64_t bytesPerFile, unsigned seed)
{
    std::mt19937 random(seed);
    std::discrete_distribution<int> agent(std::begin(kAgentWeights), std::end(kAgentWeights));
    auto pick = [&random](int count) { return static_cast<int>(random() % static_cast<unsigned>(count)); };
    for (int f = 0; f < files; ++f) {
        char name[32];
        std::snprintf(name, sizeof name, "/ex0901%02d.log", f + 1);
        FILE* out = std::fopen((folder + name).c_str(), "wb");
        if (!out)
            throw std::runtime_error("cannot write " + folder + name);
        std::string line;
        std::uint64_t written = 0;
        for (int n = 0; written < bytesPerFile; ++n) {
            if (n % 20000 == 0) {
                line = "#Software: Microsoft Internet Information Services 6.0\r\n#Version: 1.0\r\n"
                       "#Fields: date time s-sitename s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username "
                       "c-ip cs(User-Agent) cs(Referer) sc-status sc-substatus sc-win32-status sc-bytes\r\n";
            } else {
                char head[96];
                std::snprintf(head, sizeof head, "2009-01-%02d %02d:%02d:%02d W3SVC1 192.168.0.%d GET ", f + 1,
                              pick(24), pick(60), pick(60), 1 + pick(250));
                line = head;
                line += kPaths[pick(8)];
                line += ' ';
                line += kQueries[pick(6)];
                char client[64];
                std::snprintf(client, sizeof client, " 80 - %d.%d.%d.%d ", 1 + pick(222), pick(256), pick(256),
                              pick(256));
                line += client;
                line += kAgents[agent(random)];
                line += ' ';
                line += kReferrers[pick(6)];
                line += pick(10) ? " 200 0 0 " : " 404 0 2 ";
                line += std::to_string(200 + pick(40000));
                line += "\r\n";
            }
            std::fwrite(line.data(), 1, line.size(), out);
            written += line.size();
        }
        std::fclose(out);
    }
}

} // namespace quill::bench
