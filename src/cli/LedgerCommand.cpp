// quillmarkbox-cli ledger: the crawl ledger without the window.

#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "cli/CrawlerChecks.h"
#include "ledger/LedgerAdd.h"
#include "ledger/LedgerDays.h"
#include "ledger/LedgerTables.h"
#include "ledger/Sitemap.h"
#include "platform/CodePage.h"
#include "settings/SettingsFile.h"

#include <cstdio>
#include <map>
#include <optional>

namespace quill::cli {
namespace {

constexpr std::string_view kUsage =
    "quillmarkbox-cli ledger [--ledger FILE] add [--verify [--cache FILE] [--lists-from DIR]] PATH...\n"
    "       quillmarkbox-cli ledger [--ledger FILE] urls|dirs|days|hours|status|fakes [--from DATE] [--to DATE] "
    "[--crawler NAME] [--csv | --csv-raw] [--raw]\n"
    "       quillmarkbox-cli ledger [--ledger FILE] uncrawled [--from DATE] [--to DATE] [--crawler NAME] [--csv | --csv-raw] SITEMAP\n"
    "       quillmarkbox-cli ledger [--ledger FILE] sql [--csv | --csv-raw] QUERY";

struct LedgerArgs {
    std::string ledgerPath;
    std::string command;
    std::vector<std::string> operands;
    std::optional<std::string> cachePath;
    std::optional<std::string> listsFrom;
    std::optional<std::string> crawler;
    DateRange range;
    bool verify = false;
    bool csv = false;
    CsvCells cells = CsvCells::Neutralised;
};

// Options may stand before or after the subcommand; false for a usage error.
bool parse(CliArgs& args, LedgerArgs& parsed)
{
    std::optional<std::string> ledger;
    while (!args.atEnd()) {
        const std::string arg = args.take();
        const bool hasValue = !args.atEnd();
        if (arg == "--ledger" && hasValue) {
            ledger = args.take();
        } else if (arg == "--cache" && hasValue) {
            parsed.cachePath = args.take();
        } else if (arg == "--lists-from" && hasValue) {
            parsed.listsFrom = args.take();
        } else if (arg == "--crawler" && hasValue) {
            parsed.crawler = args.take();
        } else if ((arg == "--from" || arg == "--to") && hasValue) {
            const std::optional<int> day = parseLogDay(args.take());
            if (!day)
                return false;
            (arg == "--from" ? parsed.range.from : parsed.range.to) = *day;
        } else if (arg == "--verify") {
            parsed.verify = true;
        } else if (arg == "--csv" || arg == "--csv-raw") {
            parsed.csv = true;
            parsed.cells = arg == "--csv" ? CsvCells::Neutralised : CsvCells::Verbatim;
        } else if (arg.starts_with("--")) {
            return false;
        } else if (parsed.command.empty()) {
            parsed.command = arg;
        } else {
            parsed.operands.push_back(arg);
        }
    }
    parsed.ledgerPath = ledger ? *ledger : SettingsFile(SettingsFile::defaultPath()).ledgerPath();
    return !parsed.command.empty() && ((!parsed.cachePath && !parsed.listsFrom) || parsed.verify);
}

void printTable(const LedgerTable& table, const LedgerArgs& parsed, bool raw)
{
    CliOutput out(raw);
    if (parsed.csv) {
        const CsvTable rows = ledgerCsv(table, parsed.cells);
        out.plain(rows.header);
        std::string chunk;
        for (size_t begin = 0; begin < rows.rows; begin += 4096) {
            chunk.clear();
            rows.appendRows(begin, std::min(rows.rows, begin + 4096), chunk);
            out.plain(chunk);
        }
        return;
    }
    const size_t columns = table.columnCount();
    for (size_t c = 0; c < columns; ++c) {
        if (c > 0)
            out.plain("\t");
        out.field(table.caption(c));
    }
    out.plain("\n");
    for (size_t r = 0; r < table.rowCount(); ++r) {
        for (size_t c = 0; c < columns; ++c) {
            if (c > 0)
                out.plain("\t");
            out.field(table.cell(r, c));
        }
        out.plain("\n");
    }
}

int runAdd(CliArgs& args, const LedgerArgs& parsed)
{
    if (parsed.operands.empty() || parsed.crawler || parsed.csv || parsed.range.from || parsed.range.to)
        return usageError(kUsage);
    Result<std::unique_ptr<Ledger>> ledger = Ledger::open(parsed.ledgerPath);
    if (!ledger.ok())
        return failure(args, ledger.status().message());
    AddOptions options;
    options.verify = parsed.verify;
    if (parsed.verify) {
        options.verifier.dns = dnsOptionsFromEnvironment();
        options.verifier.lists = crawlerAddressLists(args, parsed.listsFrom);
        options.verdictCachePath = parsed.cachePath ? *parsed.cachePath : defaultVerdictCachePath();
    }
    bool unread = false;
    const std::atomic<bool> stop{false};
    const Status outcome = addLogs(*ledger.value(), parsed.operands, options, stop, [&](const AddedFile& file) {
        CliOutput out(args.raw());
        out.plain(printableField(file.path, true));
        out.plain("\t");
        out.field(addedFileText(file));
        out.plain("\n");
        unread = unread || file.outcome == AddOutcome::Failed;
    });
    if (!outcome.ok())
        return failure(args, outcome.message());
    return unread ? kExitFailure : kExitOk;
}

int runSql(CliArgs& args, const LedgerArgs& parsed)
{
    if (parsed.operands.size() != 1 || parsed.verify || parsed.crawler || parsed.range.from || parsed.range.to)
        return usageError(kUsage);
    Result<std::unique_ptr<LedgerViews>> views = LedgerViews::open(parsed.ledgerPath);
    if (!views.ok())
        return failure(args, views.status().message());
    SqliteDatabase& db = views.value()->database();
    if (Status readOnly = db.exec("PRAGMA query_only = ON"); !readOnly)
        return failure(args, readOnly.message());
    Result<SqliteStatement> query = db.prepare(parsed.operands[0]);
    if (!query.ok())
        return failure(args, query.status().message());
    if (!query.value().readOnly())
        return failure(args, gbk("只能执行只读的查询，抓取档案没有改动"));
    // The file's texts are UTF-8; the program's GBK.
    auto gbkOf = [](std::string_view text) { return isValidUtf8(text) ? utf8ToGbk(text) : std::string(text); };
    std::vector<std::string> captions;
    for (int c = 0; c < query.value().columns(); ++c)
        captions.push_back(gbkOf(query.value().columnName(c)));
    std::vector<std::vector<std::string>> rows;
    while (query.value().step()) {
        std::vector<std::string> row;
        for (int c = 0; c < query.value().columns(); ++c)
            row.push_back(gbkOf(query.value().text(c)));
        rows.push_back(std::move(row));
    }
    if (!query.value().status().ok())
        return failure(args, query.value().status().message());
    printTable(*textTable(std::move(captions), std::move(rows)), parsed, args.raw());
    return kExitOk;
}

Result<std::unique_ptr<LedgerTable>> viewTable(LedgerViews& views, const std::string& command, const ViewFilter& filter,
                                               const std::vector<std::string>& operands)
{
    auto table = [](auto result, auto make) -> Result<std::unique_ptr<LedgerTable>> {
        if (!result.ok())
            return result.status();
        return make(std::move(result.value()));
    };
    if (command == "urls" || command == "dirs") {
        Result<UrlView> rows = command == "urls" ? views.urls(filter) : views.directories(filter);
        if (!rows.ok())
            return rows.status();
        std::unique_ptr<LedgerTable> made = urlTable(std::move(rows.value()), command == "dirs");
        if (command == "urls")
            made->sortBy(0, false);
        return made;
    }
    if (command == "days")
        return table(views.days(filter), daysTable);
    if (command == "hours")
        return table(views.hours(filter), hoursTable);
    if (command == "status")
        return table(views.statuses(filter), statusTable);
    if (command == "fakes")
        return table(views.fakes(filter), fakesTable);
    // uncrawled
    Result<Sitemap> sitemap = loadSitemap(operands[0]);
    if (!sitemap.ok())
        return sitemap.status();
    for (const std::string& note : sitemap.value().notes)
        std::fprintf(stderr, "%s\n", gbkToUtf8(note).c_str());
    Result<UrlView> urls = views.urls(filter);
    if (!urls.ok())
        return urls.status();
    const SitemapComparison comparison = compareSitemap(sitemap.value(), urls.value());
    std::vector<std::vector<std::string>> rows;
    for (const std::string& url : comparison.uncrawled)
        rows.push_back({gbk("未被抓取"), url});
    for (const std::string& path : comparison.notInSitemap)
        rows.push_back({gbk("不在网站地图中"), displayPath(path)});
    return textTable({gbk("类别"), "URL"}, std::move(rows));
}

} // namespace

int runLedger(CliArgs& args)
{
    LedgerArgs parsed;
    if (!parse(args, parsed))
        return usageError(kUsage);
    if (parsed.command == "add")
        return runAdd(args, parsed);
    if (parsed.command == "sql")
        return runSql(args, parsed);
    static const std::map<std::string, size_t> views = {{"urls", 0}, {"dirs", 0}, {"days", 0}, {"hours", 0},
                                                        {"status", 0}, {"fakes", 0}, {"uncrawled", 1}};
    const auto view = views.find(parsed.command);
    if (view == views.end() || parsed.operands.size() != view->second || parsed.verify)
        return usageError(kUsage);
    Result<std::unique_ptr<LedgerViews>> ledger = LedgerViews::open(parsed.ledgerPath);
    if (!ledger.ok())
        return failure(args, ledger.status().message());
    ViewFilter filter{parsed.range, std::nullopt};
    if (parsed.crawler) {
        Result<std::optional<std::int64_t>> crawler = ledger.value()->findCrawler(args.toGbk(*parsed.crawler));
        if (!crawler.ok())
            return failure(args, crawler.status().message());
        if (!crawler.value())
            return failure(args, gbk("抓取档案中没有这个蜘蛛: ") + args.toGbk(*parsed.crawler));
        filter.crawler = crawler.value();
    }
    Result<std::unique_ptr<LedgerTable>> table = viewTable(*ledger.value(), parsed.command, filter, parsed.operands);
    if (!table.ok())
        return failure(args, table.status().message());
    printTable(*table.value(), parsed, args.raw());
    return kExitOk;
}

} // namespace quill::cli
