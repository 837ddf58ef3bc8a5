#include "cli/CrawlerChecks.h"

#include "settings/SettingsFile.h"

#include <cstdio>

namespace quill::cli {

std::string defaultVerdictCachePath()
{
    SettingsFile settings(SettingsFile::defaultPath());
    return settings.verdictCachePath(settings.load(Settings{}).verification);
}

VerificationRun runCrawlerChecks(const CliArgs& args, const std::vector<VerificationRequest>& requests,
                                 const std::string& cachePath)
{
    VerifierOptions options;
    options.dns = dnsOptionsFromEnvironment();
    VerdictCache cache(cachePath, options.now());
    const std::atomic<bool> stop{false};
    VerificationRun run = verifyCrawlers(requests, options, cache, stop);
    if (!run.status.ok())
        failure(args, run.status.message());
    if (Status saved = cache.save(options.now()); !saved)
        failure(args, saved.message());
    return run;
}

} // namespace quill::cli
