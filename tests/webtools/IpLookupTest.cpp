#include "webtools/IpLookup.h"

#include "platform/CodePage.h"
#include "support/LoopbackServer.h"
#include "webtools/WebRequests.h"

#include <gtest/gtest.h>

using namespace quill;
using quill::test::LoopbackServer;

namespace {

const std::string kStart = gbk("<ul class=\"ul1\"><li>本站主数据");
const std::string kEnd = "</li></ul></td>";

} // namespace

TEST(IpLookup, labelShowsTheMainItemAndEachReference)
{
    const std::pair<std::string, std::string> cases[] = {
        {kStart + gbk("：内蒙古 电信</li><li>参考数据一：内蒙古</li><LI>参考数据二：兴安盟") + kEnd,
         gbk("来源：内蒙古 电信  |参考一：内蒙古  |参考二：兴安盟")},
        {kStart + gbk("：A</li><li>参考数据1：B</li><li>参考数据2：C") + kEnd,
         gbk("来源：A  |参考1：B  |参考2：C")},
        // Another layout, a missing end or an end before the start: "来源" alone.
        {gbk("<p>本站主数据：A</p>"), gbk("来源")},
        {kStart + gbk("：A"), gbk("来源")},
        {kEnd + kStart + gbk("：A"), gbk("来源")},
        {"", gbk("来源")},
    };
    for (const auto& [page, label] : cases)
        EXPECT_EQ(ipLocationText(page), label) << page;
}

TEST(IpLookup, addressGoesOutUnescapedThroughFetchPage)
{
    LoopbackServer server;
    std::vector<std::string> targets;
    server->Get("/ips.asp", [&](const httplib::Request& request, httplib::Response& response) {
        targets.push_back(request.target);
        response.set_content(kStart + gbk("：X") + kEnd, "text/html");
    });
    server.start();
    setenv("QUILLMARK_IPLOCATION_HOST", ("127.0.0.1:" + std::to_string(server.port())).c_str(), 1);
    const auto fetch = [](const std::string& url) { return fetchPage(url); };
    for (const char* ip : {"1.2.3.4", "-", "", "::1%25"})
        EXPECT_EQ(ipLookup(ip, fetch), gbk("来源：X")) << ip;
    // Control bytes cannot go into a request line: the lookup reads as an empty answer.
    EXPECT_EQ(ipLookup("1.2.3.4\tx", fetch), gbk("来源"));
    EXPECT_EQ(ipLookup("1.2\x7F", fetch), gbk("来源"));
    unsetenv("QUILLMARK_IPLOCATION_HOST");
    EXPECT_EQ(targets, (std::vector<std::string>{"/ips.asp?ip=1.2.3.4", "/ips.asp?ip=-", "/ips.asp?ip=",
                                                 "/ips.asp?ip=::1%25"}));
}
