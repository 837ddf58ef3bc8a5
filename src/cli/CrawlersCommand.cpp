// quillmarkbox-cli crawlers: the registry of today's crawlers and the published address lists.

#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "cli/CrawlerChecks.h"
#include "crawlers/CrawlerRegistry.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cstdio>

namespace quill::cli {
namespace {

constexpr std::string_view kUsage =
    "quillmarkbox-cli crawlers list [--raw]\n"
    "       quillmarkbox-cli crawlers update [--lists-from DIR] [--file FILE] [--raw]";

std::string joined(const std::vector<std::string>& items, std::string_view separator)
{
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : std::string(separator)) + item;
    return text;
}

// How a visit of `entry` is checked, in words.
std::string methodText(const CrawlerEntry& entry)
{
    std::vector<std::string> parts;
    if (!entry.domains.empty())
        parts.push_back("DNS " + joined(entry.domains, ","));
    if (!entry.lists.empty()) {
        std::vector<std::string> names;
        for (int index : entry.lists)
            names.push_back(publishedLists()[static_cast<size_t>(index)].fileName);
        parts.push_back(gbk("列表 ") + joined(names, ","));
    }
    return parts.empty() ? gbk("无法验证") : joined(parts, "; ");
}

// One line per crawler: key, name, group, how it is checked, tokens, source page, date.
int listRegistry(const CliArgs& args)
{
    CliOutput out(args.raw());
    for (const CrawlerEntry& entry : crawlerRegistry()) {
        for (const std::string& field : {entry.key, entry.name, crawlerGroupName(entry.group), methodText(entry),
                                         joined(entry.tokens, ","), entry.source}) {
            out.field(field);
            out.plain("\t");
        }
        out.field(entry.confirmed);
        out.plain("\n");
    }
    return kExitOk;
}

int updateLists(CliArgs& args)
{
    std::optional<std::string> listsFrom;
    std::optional<std::string> file;
    while (!args.atEnd()) {
        const std::string option = args.take();
        if ((option != "--lists-from" && option != "--file") || args.atEnd())
            return usageError(kUsage);
        (option == "--file" ? file : listsFrom) = args.take();
    }
    const std::int64_t now = secondsNow();
    const StoredListUpdate stored =
        updateAddressListsFile(file ? *file : defaultAddressListsPath(), listFolderSource(listsFrom.value_or(settingsListsFolder())), now);
    const ListUpdate& update = stored.update;

    CliOutput out(args.raw());
    for (const ListChange& change : update.changes) {
        out.field(listChangeText(change));
        out.plain("\n");
    }
    out.flush();
    if (!stored.written.ok())
        return failure(args, stored.written.message());
    failure(args, listsSummaryText(update.lists, now));
    return update.anyNew() ? kExitOk : kExitFailure;
}

} // namespace

int runCrawlers(CliArgs& args)
{
    if (args.atEnd())
        return usageError(kUsage);
    const std::string action = args.take();
    if (action == "list")
        return args.atEnd() ? listRegistry(args) : usageError(kUsage);
    if (action == "update")
        return updateLists(args);
    return usageError(kUsage);
}

} // namespace quill::cli
