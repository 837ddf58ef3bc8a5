#include "support/HtmlSamples.h"

#include "platform/CodePage.h"

#include <random>
#include <vector>

namespace quill::test {

std::string portalPage()
{
    return gbk(R"page(<!DOCTYPE html PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>示例门户 - 首页</title>
<meta name="Keywords" content="新闻,体育,财经">
<meta name="description" content="一个示例门户网站">
<link rel="stylesheet" href="/css/main.css">
<style type="text/css">
body { font-size: 12px; } a:hover { color: #c00; }
</style>
<script type="text/javascript">
var ad = '<a href="/ad">广告</a>';
if (a < b && c > d) { document.write("<p>"); }
</script>
</head>
<body bgcolor=#ffffff>
<!-- 导航 it's the top bar -->
<div id="nav"><ul>
<li><a href="/news/">新闻</a>
<li><a href='/sports/' target=_blank>体育&nbsp;频道</a>
<li><a href="http://Finance.Example.test/Index.HTML">财经</a>
</ul></div>
<table width=100% border=0>
<tr><td class=left><img src="/img/logo.gif" alt="标志"><br>
<td>今日要闻<p>第一段<b>加粗</b>文字
<p>第二段 <a href=/more.htm>更多&gt;&gt;</a>
<tr><td colspan=2><font color=red>通知</font>
</table>
<form action="/search" method=get><input type=text name=q><input type=submit value="搜索"></form>
<pre>  预排版 <b>文字</b> </pre>
<p>页脚 &copy; 2007 <a href="mailto:webmaster@example.test">联系我们</a>
</body>
</html>
)page");
}

std::string realLookingPage(std::size_t bytes, unsigned seed)
{
    std::mt19937 random(seed);
    const std::vector<std::string> words = {gbk("新闻"), gbk("体育"), gbk("财经"), gbk("科技"), gbk("娱乐"),
                                            "news", "sports", "Home", "more", gbk("更多")};
    auto word = [&] { return words[random() % words.size()]; };
    auto number = [&] { return std::to_string(random() % 100000); };
    std::string page = gbk("<html><head><title>示例页面</title>\n<meta name=keywords content=\"新闻,体育\">\n"
                           "<script>var n = 'x'; if (a < b) { n = \"<p>\"; }</script></head>\n<body>\n");
    while (page.size() < bytes) {
        switch (random() % 8) {
        case 0:
            page += "<p>" + word() + " " + word() + " <b>" + word() + "</b> " + word() + "\n";
            break;
        case 1:
            page += "<ul>\n";
            for (unsigned i = random() % 8; i > 0; --i)
                page += "<li><a href=\"/" + word() + "/" + number() + ".html\">" + word() + "&nbsp;" + word() + "</a>\n";
            page += "</ul>\n";
            break;
        case 2:
            page += "<table class=list>\n";
            for (unsigned row = random() % 5; row > 0; --row) {
                page += "<tr>";
                for (unsigned cell = random() % 4 + 1; cell > 0; --cell)
                    page += "<td width=" + number() + ">" + word();
                page += "\n";
            }
            page += "</table>\n";
            break;
        case 3:
            page += "<div class=\"box\" id=b" + number() + "><span>" + word() + "</span><br><img src=/i/" + number() +
                    ".gif alt='" + word() + "'></div>\n";
            break;
        case 4:
            page += "<!-- " + word() + " " + number() + " -->\n";
            break;
        case 5:
            page += "<script type=\"text/javascript\">document.write('<a href=/x>" + number() + "</a>');</script>\n";
            break;
        case 6:
            page += "<font color=#" + number() + ">" + word() + "</font> &gt; <a href=" + number() + ".htm title=\"" +
                    word() + "\">" + word() + "</a>\n";
            break;
        default:
            page += "<form action=/s><input name=q" + number() + "><select><option>" + word() + "<option>" + word() +
                    "</select></form>\n";
            break;
        }
    }
    return page + "</body></html>\n";
}

} // namespace quill::test
