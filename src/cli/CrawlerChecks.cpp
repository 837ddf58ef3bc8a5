#include "cli/CrawlerChecks.h"

#include "verify/UncheckedNotice.h"

#include "platform/CodePage.h"
#include "settings/SettingsFile.h"
#include "webtools/WebRequests.h"

#include <cstdio>

namespace quill::cli {

std::string defaultVerdictCachePath()
{
    SettingsFile settings(SettingsFile::defaultPath());
    return settings.verdictCachePath(settings.load(Settings{}).verification);
}

std::string defaultAddressListsPath()
{
    SettingsFile settings(SettingsFile::defaultPath());
    return settings.addressListsPath(settings.load(Settings{}).verification);
}

std::string settingsListsFolder()
{
    return gbkToUtf8(SettingsFile(SettingsFile::defaultPath()).load(Settings{}).verification.listsFolder);
}

ListSource listFolderSource(const std::string& folder)
{
    const WebLimits limits = webLimitsFromEnvironment();
    ListSource source;
    source.folder = folder;
    source.connectTimeout = limits.connect;
    source.idleTimeout = limits.idle;
    source.totalTimeout = limits.total;
    source.maxBytes = limits.maxBody;
    return source;
}

std::shared_ptr<const AddressLists> crawlerAddressLists(const CliArgs& args, const std::optional<std::string>& listsFrom)
{
    if (!listsFrom)
        return std::make_shared<const AddressLists>(readAddressListsFile(defaultAddressListsPath()));
    ListUpdate read = updateAddressLists(AddressLists{}, listFolderSource(*listsFrom), secondsNow());
    // A folder holds the lists its owner wanted; only files that are there and unusable are news.
    for (const ListChange& change : read.changes)
        if (change.kind == ListChangeKind::Failed && !change.absent)
            failure(args, listChangeText(change));
    return std::make_shared<const AddressLists>(std::move(read.lists));
}

VerificationRun runCrawlerChecks(const CliArgs& args, const std::vector<VerificationRequest>& requests,
                                 const std::string& cachePath, std::shared_ptr<const AddressLists> lists)
{
    VerifierOptions options;
    options.dns = dnsOptionsFromEnvironment();
    options.lists = std::move(lists);
    VerdictCache cache(cachePath, options.now());
    const std::atomic<bool> stop{false};
    VerificationRun run = verifyCrawlers(requests, options, cache, stop);
    if (!run.status.ok())
        failure(args, run.status.message());
    // Rows left 未知 are told in words, so an empty result never reads as "no crawler came".
    if (const std::string notice = uncheckedNotice(uncheckedCount(run), dnsUnreachable(run)); !notice.empty())
        failure(args, notice);
    if (Status saved = cache.save(options.now()); !saved)
        failure(args, saved.message());
    return run;
}

} // namespace quill::cli
