#include "LogGenerator.h"

#include <array>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

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
    template <typename T, size_t N>
    const T& pick(const std::array<T, N>& items) { return items[below(N)]; }

private:
    std::uint64_t m_state;
};

// Crawler user agents as IIS writes them (blanks as "+"); about a fifth of the requests.
constexpr std::array<std::string_view, 9> kCrawlerAgents = {
    "Baiduspider+(+http://www.baidu.com/search/spider.htm)",
    "Mozilla/5.0+(compatible;+Googlebot/2.1;++http://www.google.com/bot.html)",
    "Sosospider+(+http://help.soso.com/webspider.htm)",
    "Sogou+web+spider/4.0(+http://www.sogou.com/docs/help/webmasters.htm#07)",
    "Mozilla/5.0+(compatible;+Yahoo!+Slurp;+http://help.yahoo.com/help/us/ysearch/slurp)",
    "msnbot/2.0b+(+http://search.msn.com/msnbot.htm)",
    "Mozilla/5.0+(compatible;+YoudaoBot/1.0;+http://www.youdao.com/help/webmaster/spider/;+)",
    "Mozilla/5.0+(compatible;+YodaoBot-Image/1.0;+http://www.youdao.com/help/webmaster/spider/;+)",
    "Mozilla/5.0+(compatible;+Gigabot/3.0;++http://www.gigablast.com/spider.html)",
};

constexpr std::array<std::string_view, 5> kBrowserAgents = {
    "Mozilla/4.0+(compatible;+MSIE+8.0;+Windows+NT+5.1;+Trident/4.0)",
    "Mozilla/5.0+(Windows+NT+6.1)+AppleWebKit/537.36+(KHTML,+like+Gecko)+Chrome/31.0+Safari/537.36",
    "Mozilla/4.0+(compatible;+MSIE+6.0;+Windows+NT+5.1;+SV1;+.NET+CLR+2.0.50727)",
    "Mozilla/5.0+(Windows+NT+6.1;+rv:25.0)+Gecko/20100101+Firefox/25.0",
    "Opera/9.80+(Windows+NT+6.1)+Presto/2.12.388+Version/12.16",
};

constexpr std::array<std::string_view, 8> kPages = {
    "/", "/index.asp", "/news/list.asp", "/news/show.asp", "/bbs/thread.asp", "/about.htm",
    "/product/view.aspx", "/search.asp",
};
constexpr std::array<std::string_view, 6> kStatics = {
    "/images/logo.gif", "/images/banner.jpg", "/css/site.css", "/images/photo_01.jpg",
    "/images/icon.gif", "/css/print.css",
};
constexpr std::array<std::string_view, 4> kOthers = {"/js/site.js", "/favicon.ico", "/images/top.png", "/media/intro.mp3"};

// GBK words, as the bytes browsers and crawlers leave in queries and referrers.
constexpr std::array<std::string_view, 4> kGbkWords = {
    "\xC8\xD5\xD6\xBE\xB7\xD6\xCE\xF6", "\xCB\xD1\xCB\xF7\xD2\xFD\xC7\xE6",
    "\xCD\xF8\xD5\xBE\xBD\xA8\xC9\xE8", "\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4",
};

std::string percentEncode(std::string_view bytes)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += '%';
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return out;
}

struct Request {
    std::string stem, query, agent, referrer, clientIp, time;
    int status, substatus, win32, bytesSent, bytesReceived, timeTaken;
    std::string_view method;
};

Request makeRequest(Random& random, unsigned secondOfDay)
{
    Request r;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02u:%02u:%02u", secondOfDay / 3600 % 24, secondOfDay / 60 % 60,
                  secondOfDay % 60);
    r.time = buffer;
    const bool crawler = random.below(100) < 20;
    const unsigned kind = random.below(100);
    if (kind < 26)
        r.stem = random.pick(kStatics);
    else if (kind < 32)
        r.stem = random.pick(kOthers);
    else
        r.stem = random.pick(kPages);
    r.query.assign(1, '-');
    if (r.stem.find(".asp") != std::string::npos) {
        const unsigned q = random.below(10);
        if (q < 5)
            r.query = "id=" + std::to_string(random.below(20000));
        else if (q < 7)
            r.query = "kw=" + percentEncode(random.pick(kGbkWords)) + "&page=" + std::to_string(random.below(9));
        else if (q < 8)
            r.query = std::string("q=") + std::string(random.pick(kGbkWords)); // raw GBK bytes, as some clients send
    }
    r.agent = crawler ? random.pick(kCrawlerAgents) : random.pick(kBrowserAgents);
    const unsigned ref = random.below(10);
    if (crawler || ref < 4)
        r.referrer = "-";
    else if (ref < 7)
        r.referrer = "http://www.example.com" + std::string(random.pick(kPages));
    else
        r.referrer = "http://www.baidu.com/s?wd=" + percentEncode(random.pick(kGbkWords));
    std::snprintf(buffer, sizeof buffer, "%u.%u.%u.%u", 58 + random.below(160), random.below(256),
                  random.below(256), 1 + random.below(254));
    r.clientIp = buffer;
    const unsigned s = random.below(100);
    r.status = s < 80 ? 200 : s < 90 ? 304 : s < 97 ? 404 : 500;
    r.substatus = 0;
    r.win32 = r.status == 404 ? 2 : 0;
    r.bytesSent = r.status == 304 ? 143 : 200 + static_cast<int>(random.below(60000));
    r.bytesReceived = 250 + static_cast<int>(random.below(900));
    r.timeTaken = static_cast<int>(random.below(random.below(10) == 0 ? 5000 : 300));
    r.method = random.below(50) == 0 ? "POST" : "GET";
    return r;
}

constexpr std::string_view kIis6Fields =
    "#Fields: date time s-sitename s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip "
    "cs(User-Agent) sc-status sc-substatus sc-win32-status sc-bytes cs-bytes time-taken cs(Referer)";
constexpr std::string_view kIis7Fields =
    "#Fields: date time s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip cs(User-Agent) "
    "cs(Referer) sc-status sc-substatus sc-win32-status sc-bytes cs-bytes time-taken";

std::string header(FieldSet fields, const std::string& day, const std::string& time)
{
    std::string text = fields == FieldSet::Iis6 ? "#Software: Microsoft Internet Information Services 6.0\r\n"
                                                : "#Software: Microsoft Internet Information Services 7.5\r\n";
    text += "#Version: 1.0\r\n#Date: " + day + " " + time + "\r\n";
    text += fields == FieldSet::Iis6 ? kIis6Fields : kIis7Fields;
    text += "\r\n";
    return text;
}

std::string dataLine(FieldSet fields, const std::string& day, const Request& r)
{
    char numbers[96];
    std::string line = day + " " + r.time + " ";
    if (fields == FieldSet::Iis6) {
        line += "W3SVC1 192.168.1.10 " + std::string(r.method) + " " + r.stem + " " + r.query + " 80 - " +
                r.clientIp + " " + r.agent + " ";
        std::snprintf(numbers, sizeof numbers, "%d %d %d %d %d %d ", r.status, r.substatus, r.win32, r.bytesSent,
                      r.bytesReceived, r.timeTaken);
        line += numbers + r.referrer;
    } else {
        line += "192.168.1.10 " + std::string(r.method) + " " + r.stem + " " + r.query + " 80 - " + r.clientIp +
                " " + r.agent + " " + r.referrer + " ";
        std::snprintf(numbers, sizeof numbers, "%d %d %d %d %d %d", r.status, r.substatus, r.win32, r.bytesSent,
                      r.bytesReceived, r.timeTaken);
        line += numbers;
    }
    return line + "\r\n";
}

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

} // namespace

bool writeIisLog(const std::string& path, const GeneratorOptions& options)
{
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    Random random(options.seed);
    std::string out = header(options.fields, options.day, "00:00:00");
    std::uint64_t written = 0;
    FieldSet fields = options.fields;
    bool restarted = false;
    unsigned line = 0;
    const std::uint64_t linesEstimate = options.targetBytes / 220 + 1;
    while (written + out.size() < options.targetBytes) {
        unsigned second = static_cast<unsigned>(86400ull * line / linesEstimate);
        if (options.restartHalfway && !restarted && written + out.size() > options.targetBytes / 2) {
            restarted = true;
            fields = fields == FieldSet::Iis6 ? FieldSet::Iis7 : FieldSet::Iis6;
            out += header(fields, options.day, makeRequest(random, second).time);
        }
        out += dataLine(fields, options.day, makeRequest(random, second));
        ++line;
        if (out.size() > (1u << 20)) {
            written += std::fwrite(out.data(), 1, out.size(), file.get());
            out.clear();
        }
    }
    written += std::fwrite(out.data(), 1, out.size(), file.get());
    return std::ferror(file.get()) == 0;
}

bool writeLogParserExport(const std::string& path, std::uint64_t seed, std::uint64_t targetBytes)
{
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    Random random(seed);
    std::string out = "#Software: Microsoft Log Parser\r\n"
                      "#Fields: LogFilename RecordNumber ComputerName SiteID DateTime ClientIpAddress "
                      "ServerIpAddress ServerPort Method ProtocolVersion ProtocolStatus SubStatus TimeTaken "
                      "BytesSent BytesReceived Win32Status UriStem UriQuery UserName\r\n";
    for (unsigned record = 1; out.size() < targetBytes; ++record) {
        Request r = makeRequest(random, record * 37);
        char numbers[128];
        std::snprintf(numbers, sizeof numbers, " %d %d %d %d %d %d ", r.status, r.substatus, r.timeTaken,
                      r.bytesSent, r.bytesReceived, r.win32);
        out += "D:\\W3SVC1\\ex261201.log " + std::to_string(record) + " WEB01 1 2026-12-01 " + r.time + " " +
               r.clientIp + " 192.168.1.10 80 " + std::string(r.method) + " HTTP/1.1" + numbers + r.stem + " " +
               r.query + " -\r\n";
    }
    std::fwrite(out.data(), 1, out.size(), file.get());
    return std::ferror(file.get()) == 0;
}

} // namespace quill::bench
