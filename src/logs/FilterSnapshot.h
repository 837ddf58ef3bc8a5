#pragma once
// The states of the log page's filter boxes and search text, taken once at the start of a load.

#include "crawlers/CrawlerRegistry.h"

#include <string>

namespace quill {

struct FilterSnapshot {
    bool images = true;        // 过滤图片
    bool audio = false;        // 过滤音频
    bool status200 = false;    // 过滤200
    bool spiders = false;      // 蜘蛛: keep only crawler lines of the checked engines
    bool baidu = true;
    bool google = true;
    bool soso = true;
    bool yahoo = false;
    bool sogou = false;
    bool msn = false;
    bool youdao = false;
    bool ownXmlHttp = false;   // 过滤本站XMLhttp
    bool noSpiders = false;    // 过滤蜘蛛
    std::string search;        // GBK; empty keeps every line
    // 含URL编码: the search also finds the text percent-encoded (logs/SearchForms.h). The log
    // page's box starts checked; the command line's --search stays the plain search.
    bool searchEncoded = false;
    // "AI 蜘蛛" and the command line's --group and --crawler: keep only the lines whose user agent
    // names one of `registryCrawlers`. Never saved.
    bool onlyRegistryCrawlers = false;
    CrawlerSet registryCrawlers;
};

} // namespace quill
