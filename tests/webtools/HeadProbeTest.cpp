#include "webtools/HeadProbe.h"
#include "webtools/PageTools.h"

#include "platform/CodePage.h"
#include "platform/Hosts.h"

#include <gtest/gtest.h>

#include <deque>

using namespace quill;

TEST(HeadProbe, splitsTheAddressIntoHostPathAndPort)
{
    struct Case {
        const char* box;
        const char* host;
        const char* path;
        const char* port;
    };
    const Case cases[] = {
        {"example.test", "example.test", "/", "80"},
        {"http://example.test", "example.test", "/", "80"},
        {"example.test:8080/a?b=1", "example.test", "/a?b=1", "8080"},
        {"HTTP://example.test/x", "example.test", "/x", "80"}, // not prefixed again
        // Deliberate: "http://" anywhere counts, so the host is taken after the later "//".
        {"example.test/go?u=http://b.test/", "b.test", "/", "80"},
        {"example.test:abc/", "example.test", "/", "abc"},
        {"example.test:/", "example.test", "/", ""},
        {"", "", "/", "80"},
    };
    for (const Case& c : cases) {
        const HeadAddress address = splitHeadAddress(c.box);
        EXPECT_EQ(address.host + "|" + address.path + "|" + address.portText,
                  std::string(c.host) + "|" + c.path + "|" + c.port)
            << c.box;
    }
}

TEST(HeadProbe, portTextGivesAPortNothingOrAnError)
{
    EXPECT_EQ(headPort("8080").value(), 8080);
    EXPECT_EQ(headPort("080").value(), 80);
    EXPECT_FALSE(headPort("abc").value().has_value()); // the socket keeps its port
    EXPECT_FALSE(headPort("80a").value().has_value());
    for (const char* bad : {"", "99999999999"})
        EXPECT_EQ(headPort(bad).status().message(), "'" + std::string(bad) + "' is not a valid integer value");
    EXPECT_TRUE(isAllDigits(""));
}

TEST(HeadProbe, requestIsEightCrLfLinesWithoutAPortInHost)
{
    EXPECT_EQ(headRequest("/a?b=1", "example.test"),
              "HEAD /a?b=1 HTTP/1.1\r\nHost: example.test\r\nConnection: close \r\nUser-Agent: Mozilla/4.0(" +
                  makerHost() + ")\r\nAccept-Encoding: gzip\r\nAccept-Language: zh-cn,zh-tw\r\nAccept: */*\r\n\r\n");
}

TEST(HeadProbe, connectErrorsNameTheSystemTextAndNumber)
{
    EXPECT_EQ(connectErrorText(ConnectFailure::HostNotFound, "Host not found"),
              "Windows socket error: Host not found (11001), on API 'ASync Lookup'");
    EXPECT_EQ(connectErrorText(ConnectFailure::Refused, "refused"), "Asynchronous socket error 10061");
}

namespace {

// A socket whose connection outcome and arrivals the test decides.
class FakeSocket : public ClientSocket {
public:
    bool refuse = false;
    int connects = 0;
    std::vector<std::string> sent;
    std::deque<std::string> arrivals;

    void send(const std::string& bytes) override { sent.push_back(bytes); }
    std::string receiveText() override
    {
        std::string text = arrivals.front();
        arrivals.pop_front();
        return text;
    }
    void arrive(std::string text)
    {
        arrivals.push_back(std::move(text));
        reportReadable();
    }
    // What the event loop would deliver while the click waits.
    void deliver()
    {
        if (refuse)
            reportFailed(ConnectFailure::Refused, "refused");
        else
            reportConnected();
    }

private:
    void startConnecting() override { ++connects; }
    void shutDown() override {}
};

struct Probe {
    struct Timer {
        std::chrono::milliseconds delay;
        std::function<void()> task;
    };
    FakeSocket socket;
    std::vector<std::string> lines;
    std::vector<std::string> errors;
    std::vector<std::string> statuses;
    std::vector<Timer> timers;
    HeadProbe probe{socket,
                    {[this](const std::string& line) { lines.push_back(line); },
                     [this](const std::string& message) { errors.push_back(message); },
                     [this](const Status& outcome) { statuses.push_back(toolStatus(gbk("页面头"), outcome)); }},
                    [this](std::chrono::milliseconds delay, std::function<void()> task) {
                        timers.push_back({delay, std::move(task)});
                    },
                    WebLimits{std::chrono::milliseconds(1), std::chrono::milliseconds(2), std::chrono::milliseconds(3), 64}};

    // The click as the window sees it: the connection outcome arrives after the click returns.
    Status click(const std::string& box)
    {
        const bool wasActive = socket.active();
        Status status = probe.click(box);
        if (status && !wasActive)
            socket.deliver();
        return status;
    }
    // Fires every timer of `delay` set so far.
    void elapse(std::chrono::milliseconds delay)
    {
        std::vector<Timer> due;
        for (auto it = timers.begin(); it != timers.end();) {
            if (it->delay == delay) {
                due.push_back(std::move(*it));
                it = timers.erase(it);
            } else {
                ++it;
            }
        }
        for (Timer& timer : due)
            timer.task();
    }
};

} // namespace

TEST(HeadProbe, clickShowsTheAddressConnectsAndSends)
{
    Probe p;
    ASSERT_TRUE(p.click("example.test:8080/a?b=1"));
    EXPECT_EQ(p.lines, (std::vector<std::string>{gbk("域名: example.test"), "URL: /a?b=1", gbk("端口: 8080")}));
    EXPECT_EQ(p.socket.port(), 8080);
    ASSERT_EQ(p.socket.sent.size(), 1u);
    EXPECT_EQ(p.socket.sent[0], headRequest("/a?b=1", "example.test"));

    // A "200" anywhere in a piece closes; after that an address without a port goes to 80 again.
    p.socket.arrive("HTTP/1.1 404 Not Found\r\nContent-Length: 1200\r\n\r\n");
    EXPECT_FALSE(p.socket.active());
    EXPECT_EQ(p.lines.back(), "HTTP/1.1 404 Not Found\r\nContent-Length: 1200\r\n\r\n");
    ASSERT_TRUE(p.click("example.test"));
    EXPECT_EQ(p.socket.port(), 80);
    // A port text that is not all digits leaves the port as it was.
    p.socket.close();
    ASSERT_TRUE(p.socket.setPort(8081));
    ASSERT_TRUE(p.click("example.test:abc/"));
    EXPECT_EQ(p.socket.port(), 8081);
    EXPECT_EQ(p.lines.back(), gbk("端口: abc"));
}

TEST(HeadProbe, piecesWithout200AddFailedAndKeepTheConnection)
{
    Probe p;
    ASSERT_TRUE(p.click("example.test"));
    p.socket.arrive("HTTP/1.1 302 Found\r\n");
    p.socket.arrive("Server: x\r\n\r\n");
    EXPECT_EQ(p.lines, (std::vector<std::string>{gbk("域名: example.test"), "URL: /", gbk("端口: 80"),
                                                 "HTTP/1.1 302 Found\r\n", gbk("失败"), "Server: x\r\n\r\n", gbk("失败")}));
    EXPECT_TRUE(p.socket.active());

    // Open: the same host in another case sends again at once, a different one is refused.
    ASSERT_TRUE(p.click("EXAMPLE.test/again"));
    EXPECT_EQ(p.socket.connects, 1);
    EXPECT_EQ(p.socket.sent.size(), 2u);
    const size_t shown = p.lines.size();
    for (const char* changed : {"other.test/", "example.test:81/"})
        EXPECT_EQ(p.click(changed).message(), "Can't change value while socket is active") << changed;
    EXPECT_EQ(p.lines.size(), shown);
    EXPECT_EQ(p.socket.sent.size(), 2u);
}

TEST(HeadProbe, failuresSendNothing)
{
    Probe p;
    EXPECT_EQ(p.click("example.test:/").message(), "'' is not a valid integer value");
    EXPECT_TRUE(p.lines.empty());
    p.socket.refuse = true;
    EXPECT_TRUE(p.click("example.test"));
    EXPECT_EQ(p.errors, std::vector<std::string>{"Asynchronous socket error 10061"});
    EXPECT_EQ(p.statuses, std::vector<std::string>{gbk("页面头: 连接失败")});
    EXPECT_EQ(p.lines.size(), 3u); // the address lines come first
    EXPECT_TRUE(p.socket.sent.empty());
    EXPECT_FALSE(p.socket.active());
}

TEST(HeadProbe, everyBoundClosesAppendsFailedAndFreesTheHost)
{
    struct Case {
        const char* what;
        bool connect;              // the connection opens
        std::string arrival;       // arrives once connected
        std::chrono::milliseconds fire; // the timer that then runs out
        const char* status;
    };
    const Case cases[] = {
        {"connect", false, "", std::chrono::milliseconds(1), "页面头: 连接超时"},
        {"idle after connecting", true, "", std::chrono::milliseconds(2), "页面头: 连接超时"},
        {"idle after a piece", true, "HTTP/1.1 302 Found\r\n", std::chrono::milliseconds(2), "页面头: 连接超时"},
        {"whole exchange", true, "X", std::chrono::milliseconds(3), "页面头: 连接超时"},
        {"too long", true, std::string(100, 'x'), std::chrono::milliseconds(0), "页面头: 回应过长"},
    };
    for (const Case& c : cases) {
        Probe p;
        ASSERT_TRUE(p.probe.click("example.test")) << c.what;
        if (c.connect)
            p.socket.deliver();
        if (!c.arrival.empty())
            p.socket.arrive(c.arrival);
        if (c.fire.count() > 0) {
            // Timers of the idle watch set before the last arrival do nothing.
            p.elapse(c.fire);
        }
        EXPECT_FALSE(p.socket.active()) << c.what;
        EXPECT_EQ(p.lines.back(), gbk("失败")) << c.what;
        EXPECT_EQ(p.statuses, std::vector<std::string>{gbk(c.status)}) << c.what;
        if (c.arrival.size() == 100) {
            EXPECT_EQ(p.lines[3], std::string(64, 'x')); // cut at the cap
        }
        // The host is free again, and a late timer of the old connection does nothing.
        ASSERT_TRUE(p.click("other.test")) << c.what;
        EXPECT_TRUE(p.socket.active()) << c.what;
        for (auto delay : {1, 2, 3})
            p.elapse(std::chrono::milliseconds(delay));
        EXPECT_EQ(p.statuses.size(), 2u) << c.what; // only the new connection's own bounds
    }
}

TEST(HeadProbe, aCompleteReplyEndsNormallyAndItsTimersStayQuiet)
{
    Probe p;
    ASSERT_TRUE(p.click("example.test"));
    p.socket.arrive("HTTP/1.1 200 OK\r\n\r\n");
    EXPECT_EQ(p.statuses, std::vector<std::string>{gbk("页面头: 完成")});
    for (auto delay : {1, 2, 3})
        p.elapse(std::chrono::milliseconds(delay));
    EXPECT_EQ(p.statuses.size(), 1u);
    EXPECT_NE(p.lines.back(), gbk("失败"));
}

TEST(HeadProbe, lineBreaksInTheSiteBoxNeverReachTheRequest)
{
    Probe p;
    ASSERT_TRUE(p.click("example.test/a\r\nX-Injected: 1"));
    ASSERT_EQ(p.socket.sent.size(), 1u);
    EXPECT_EQ(p.socket.sent[0], headRequest("/aX-Injected: 1", "example.test"));
}
