// quillmarkbox-cli web: one tool of the "体验" page, or the IP lookup, run once.

#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "cli/PollClientSocket.h"
#include "html/PageParser.h"
#include "html/PageWalks.h"
#include "platform/CodePage.h"
#include "platform/QueueDispatcher.h"
#include "webtools/HeadProbe.h"
#include "webtools/IndexQueries.h"
#include "webtools/IpLookup.h"
#include "webtools/KeywordTools.h"
#include "webtools/PageTools.h"

#include <cstdio>
#include <ctime>

namespace quill::cli {
namespace {

constexpr std::string_view kUsage =
    "quillmarkbox-cli web index [--no-baidu] [--no-google] [--raw] SITE\n"
    "       quillmarkbox-cli web head|raw-head|links|text [--raw] SITE\n"
    "       quillmarkbox-cli web suggest|related [--raw] KEYWORD\n"
    "       quillmarkbox-cli web ip [--raw] ADDRESS";

// Prints what the page appends and its status line, and gives the exit status.
class ToolPrinter {
public:
    explicit ToolPrinter(const CliArgs& args) : m_args(args), m_out(args.raw()) {}

    void value(const std::string& gbk)
    {
        m_out.field(gbk);
        m_out.plain("\n");
    }

    // Prints the status line of `tool` (GBK) after `outcome`.
    int end(const std::string& tool, const Status& outcome)
    {
        m_out.flush();
        const std::string status = toolStatus(tool, outcome);
        const std::string text = m_args.raw() ? status : gbkToUtf8(status);
        std::fprintf(stderr, "%s\n", text.c_str());
        return outcome ? kExitOk : kExitFailure;
    }

    int answer(const char* tool, const Result<std::string>& answer)
    {
        if (answer)
            value(answer.value());
        return end(gbk(tool), answer.status());
    }

private:
    const CliArgs& m_args;
    CliOutput m_out;
};

std::string localDateTime()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
    return text;
}

int runIndex(const std::vector<std::string>& words, const CliArgs& args, const WebContext& context)
{
    IndexRun run;
    run.dateTime = localDateTime();
    run.baiduHost = baiduSearchHost();
    run.googleHost = googleSearchHost();
    std::vector<std::string> sites;
    for (size_t i = 1; i < words.size(); ++i) {
        if (words[i] == "--no-baidu")
            run.baidu = false;
        else if (words[i] == "--no-google")
            run.google = false;
        else
            sites.push_back(words[i]);
    }
    if (sites.size() != 1)
        return usageError(kUsage);
    run.siteBox = args.toGbk(sites[0]);
    ToolPrinter print(args);
    const Status outcome = runIndexQueries(
        run, [&](const std::string& url) { return fetchPageReporting(url, context); },
        [&](const std::string& line) { print.value(line); });
    return print.end(gbk("批量查询"), outcome);
}

// "HEAD 分析" and "所有链接": the page fetched, read in its charset, parsed and walked.
int runWalk(bool links, const std::string& siteBox, const CliArgs& args, const WebContext& context)
{
    const std::string tool = links ? gbk("所有链接") : gbk("HEAD 分析");
    ToolPrinter print(args);
    Result<std::string> page = fetchPageAsGbk(WebTool::PageHeadAndLinks, pageAddress(siteBox), context);
    if (!page)
        return print.end(tool, page.status());
    QueueDispatcher ui;
    PageParser parser(ui);
    parser.parseText(std::move(page.value()));
    bool parsed = false;
    parser.whenIdle([&parsed] { parsed = true; });
    while (!parsed)
        ui.runOne(std::chrono::milliseconds(1000));
    if (const Status& read = parser.page().status(); !read)
        return print.end(tool, read);
    for (const std::string& line : links ? pageLinkLines(parser.page()) : pageHeaderLines(parser.page()))
        print.value(line);
    return print.end(tool, Status());
}

int runRawHead(const std::string& siteBox, const CliArgs& args, const WebContext& context)
{
    ToolPrinter print(args);
    PollClientSocket socket;
    std::optional<Status> outcome;
    std::string connectError;
    HeadProbe::Handlers handlers;
    handlers.appendLine = [&](const std::string& line) { print.value(line); };
    handlers.connectFailed = [&](const std::string& message) { connectError = message; };
    handlers.finished = [&](const Status& ended) { outcome = ended; };
    HeadProbe probe(
        socket, handlers, [&](std::chrono::milliseconds delay, std::function<void()> task) { socket.schedule(delay, std::move(task)); },
        context.limits);
    if (Status started = probe.click(siteBox); !started)
        return failure(args, started.message());
    socket.runUntil([&] { return outcome.has_value(); });
    if (!connectError.empty())
        failure(args, connectError);
    return print.end(gbk("页面头"), outcome.value_or(Status::failure(gbk("连接失败"))));
}

} // namespace

int runWeb(CliArgs& args)
{
    const std::vector<std::string> words = args.rest();
    if (words.empty())
        return usageError(kUsage);
    const std::string& tool = words[0];
    WebContext context;
    context.limits = webLimitsFromEnvironment();
    if (tool == "index")
        return runIndex(words, args, context);
    if (words.size() != 2 || words[1].starts_with("--"))
        return usageError(kUsage);
    const std::string text = args.toGbk(words[1]);
    if (tool == "head" || tool == "links")
        return runWalk(tool == "links", text, args, context);
    if (tool == "raw-head")
        return runRawHead(text, args, context);
    ToolPrinter print(args);
    if (tool == "text")
        return print.answer("纯文本", pagePlainText(text, context));
    if (tool == "suggest")
        return print.answer("相关词补充", keywordSuggestions(text, context));
    if (tool == "related")
        return print.answer("相关搜索", relatedSearches(text, context));
    if (tool == "ip") {
        const IpLookupResult result = lookUpIp(text, context);
        print.value(result.label);
        return print.end(gbk("查看IP"), result.outcome);
    }
    return usageError(kUsage);
}

} // namespace quill::cli
