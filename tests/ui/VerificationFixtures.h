#pragma once
// A log of genuine crawlers, impostors and a visitor, and the test DNS server that knows them, for
// the pages' crawler checks.

#include "UiTestSupport.h"
#include "support/DnsTestServer.h"
#include "verify/CrawlerVerifier.h"

#include <QString>
#include <QStringList>

#include <string>

namespace quill::test {

inline constexpr int kVerifyWaitMs = 20000;

inline std::string verifiedVisit(const std::string& address, const std::string& agent, const std::string& stem = "/a.htm")
{
    return iisLine({.stem = stem, .client = address, .agent = agent});
}

// Genuine Google and Baidu crawlers, an impostor whose PTR lies, one without a PTR, and a visitor.
inline const std::string kVerificationLog =
    kIis6Header + verifiedVisit("66.249.66.1", "Googlebot/2.1") + verifiedVisit("10.0.0.2", "Googlebot/2.1") +
    verifiedVisit("10.0.0.5", "Mozilla/5.0") + verifiedVisit("123.125.71.12", "Baiduspider", "/b.htm") +
    verifiedVisit("10.0.0.3", "Baiduspider", "/c.htm") + verifiedVisit("10.0.0.4", "qihoobot");

// 300 Baidu visits from as many addresses: more than one round of questions.
inline std::string manyBaiduVisits()
{
    std::string text = kIis6Header;
    for (int i = 0; i < 300; ++i)
        text += verifiedVisit("10.8." + std::to_string(i / 250) + "." + std::to_string(i % 250), "Baiduspider");
    return text;
}

inline void fillServer(DnsTestServer& dns)
{
    dns.addPtr("66.249.66.1", {"crawl-66-249-66-1.googlebot.com"});
    dns.addAddresses("crawl-66-249-66-1.googlebot.com", {"66.249.66.1"});
    dns.addPtr("10.0.0.2", {"googlebot.com.evil.net"});
    dns.addPtr("123.125.71.12", {"baiduspider-123-125-71-12.crawl.baidu.com"});
    dns.addAddresses("baiduspider-123-125-71-12.crawl.baidu.com", {"123.125.71.12"});
}

// Asks `server`, and gives up on an address quickly.
inline VerifierOptions quickVerifier(const std::string& server)
{
    VerifierOptions options;
    options.dns.server = server;
    options.dns.timeoutMs = 150;
    return options;
}

// "a|b|c" as the list of its words.
inline QStringList words(const char* utf8) { return QString::fromUtf8(utf8).split(QLatin1Char('|')); }

} // namespace quill::test
