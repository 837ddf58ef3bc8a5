#include "UiTestSupport.h"
#include "html/PageParser.h"
#include "platform/CodePage.h"
#include "gui/QtGbk.h"
#include "gui/QtUiDispatcher.h"
#include "support/ScopedEnv.h"
#include "support/LoopbackServer.h"
#include "text/HtmlText.h"
#include "gui/ToolsPage.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

namespace {

// The page with its parser, and a loopback site whose pages the tests set.
struct ButtonsFixture {
    TempFolder folder;
    QObject receiver;
    QtUiDispatcher dispatcher{&receiver};
    PageParser parser{dispatcher};
    ToolsPage page{{folder.file("test.xml")}, parser};
    LoopbackServer server;
    std::map<std::string, std::string> pages;
    std::vector<std::string> targets;

    ButtonsFixture()
    {
        server->Get(R"(/.*)", [this](const httplib::Request& request, httplib::Response& response) {
            targets.push_back(request.target);
            const auto found = pages.find(request.path);
            if (found == pages.end()) {
                response.status = 404;
                response.set_content("<title>missing</title><a href=x>x</a>", "text/html");
                return;
            }
            response.set_content(found->second, "text/html");
        });
        server.start();
        page.resize(800, 450);
        page.show();
    }

    // Types the page's address without a scheme, as the tools accept it.
    void open(const char* path) { child<QComboBox>(&page, "ComboBox1")->setEditText(QString::fromStdString(server.url(path).substr(7))); }
    // Clicks and waits (`limitMs` at most) until the run has ended.
    QStringList click(QPushButton* button, int limitMs = 15000)
    {
        child<QPlainTextEdit>(&page, "Memo1")->clear();
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(waitUntil([this] { return !page.busy(); }, limitMs));
        return child<QPlainTextEdit>(&page, "Memo1")->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

} // namespace

TEST(ToolsPageWebTools, headAnalysisAndLinksListTheParsedPage)
{
    ButtonsFixture f;
    f.pages["/home"] = gbk("<html><head><title>Home</title>"
                           "<meta name=Description content=\"A site\">"
                           "<meta http-equiv=refresh content=5>"
                           "<meta content=orphan>"
                           "<META NAME=\"keywords\" CONTENT=\"a,b\"></head>"
                           "<body><a href=\"HTTP://Example.test/Path\">Home&nbsp;page</a>"
                           "<a href = \"/spaced\">spaced</a>"
                           "<a href=\"/outer\">out<a href=\"/inner\">in</a></a>"
                           "<p><a href=/open>open</p></body></html>");
    f.open("/home");
    EXPECT_EQ(f.click(child<QPushButton>(&f.page, "Button7")), (QStringList{u("网页标题:   Home"), u("网页描述:    A site"),
                                                    u("网页关键词:     a,b")}));
    // Blanks around "=" hide a link, a nested link stays inside its outer one's text, and a link
    // without an end tag has no text.
    EXPECT_EQ(f.click(child<QPushButton>(&f.page, "Button14")), (QStringList{u("Home page: http://example.test/path"),
                                                     u("out<a href=\"/inner\">in</a>: /outer"), u(": /open")}));
    screenshot(&f.page, "tools-page-links");

    // A title directly under the root is never examined; neither are failures reported.
    f.pages["/bare"] = "<title>Bare</title>";
    f.pages["/empty"] = "";
    f.pages["/binary"] = std::string("\x89PNG\r\n\x1a\n\0\0<<<>>>", 16);
    f.pages["/broken"] = "<html><head><title>Cut<meta name=keywords content=\"x";
    for (const char* path : {"/bare", "/empty", "/binary", "/broken", "/missing"}) {
        f.open(path);
        EXPECT_EQ(f.click(child<QPushButton>(&f.page, "Button7")), QStringList()) << path;
        EXPECT_EQ(f.click(child<QPushButton>(&f.page, "Button14")), QStringList()) << path;
    }
}

TEST(ToolsPageWebTools, aSecondParseClickWhileOneWaitsIsIgnored)
{
    ButtonsFixture f;
    // Big enough that its parse is still running when the second click comes.
    std::string body = "<html><head><title>T</title></head><body>";
    for (int i = 0; i < 20000; ++i)
        body += "<div><a href=/l>l</a></div>";
    f.pages["/big"] = body + "</body></html>";
    f.open("/big");
    // Runs while the first click's fetch or parse is under way.
    QTimer::singleShot(0, &f.page, [&] {
        QTest::mouseClick(child<QPushButton>(&f.page, "Button14"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(&f.page, "Button7"), Qt::LeftButton);
    });
    const QStringList lines = f.click(child<QPushButton>(&f.page, "Button7"));
    EXPECT_EQ(f.targets.size(), 1u);
    EXPECT_EQ(lines, QStringList{u("网页标题:   T")});
}

TEST(ToolsPageWebTools, aPageTooLargeToParseIsSaidOnTheStatusLine)
{
    ButtonsFixture f;
    std::string anchors;
    while (anchors.size() < (std::size_t(32) << 20) - 3)
        anchors += "<a>";
    f.pages["/anchors"] = anchors;
    f.open("/anchors");
    for (const char* button : {"Button14", "Button7"}) {
        // 32 MiB fetched and parsed up to the bound: long on a busy machine.
        EXPECT_EQ(f.click(child<QPushButton>(&f.page, button), 120000), QStringList()) << button;
        EXPECT_TRUE(child<QLabel>(&f.page, "StatusLine")->text().endsWith(u(": 页面元素超过 500000 个，不作分析")))
            << child<QLabel>(&f.page, "StatusLine")->text().toStdString();
    }
    screenshot(&f.page, "tools-page-too-many-elements");
}

TEST(ToolsPageWebTools, plainTextShowsThePageAsText)
{
    ButtonsFixture f;
    const std::string html = gbk("<html><head><title>标题</title><style>p{}</style></head><body><p>一 段</p></body>");
    f.pages["/text"] = html;
    f.open("/text");
    const QString expected = fromGbk(htmlToText(html)).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTest::mouseClick(child<QPushButton>(&f.page, "Button16"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !f.page.busy(); }));
    EXPECT_TRUE(child<QPlainTextEdit>(&f.page, "Memo1")->toPlainText().endsWith(expected + QLatin1Char('\n')));
    // A failed fetch appends nothing.
    f.open("/missing");
    EXPECT_EQ(f.click(child<QPushButton>(&f.page, "Button16")), QStringList());
}

TEST(ToolsPageWebTools, keywordButtonsAppendOneKeywordPerLine)
{
    LoopbackServer server;
    server->Get("/su", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(gbk("window.bdsug.sug({q:\"兴安盟\",p:false,s:[\"兴安盟地图\",\"兴安盟天气\"]});"),
                             "text/javascript");
    });
    server->Get("/baidu", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(gbk("<table><tr><td>相关搜索</td><td><a>兴安盟 旅游</a></td></tr></table>"
                                 "<form name=\"f2\">"),
                             "text/html");
    });
    server.start();
    const std::string host = "127.0.0.1:" + std::to_string(server.port());
    ScopedEnv suggestion("QUILLMARK_SUGGESTION_HOST", host);
    ScopedEnv search("QUILLMARK_BAIDU_HOST", host);

    ButtonsFixture f;
    EXPECT_EQ(f.click(child<QPushButton>(&f.page, "Button17")), (QStringList{u("兴安盟地图"), u("兴安盟天气")}));
    EXPECT_EQ(f.click(child<QPushButton>(&f.page, "Button20")), (QStringList{u("兴安盟"), u("旅游")}));
    screenshot(&f.page, "tools-page-keywords");
}
