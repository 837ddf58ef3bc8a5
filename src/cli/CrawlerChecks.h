#pragma once
// The crawler check as the commands run it: the DNS server from QUILLMARK_DNS_SERVER and the
// verdict cache file beside the settings file, or the one --cache names.

#include "cli/CliArgs.h"
#include "verify/CrawlerVerifier.h"

#include <string>
#include <vector>

namespace quill::cli {

// The cache file the window uses: the settings file's cache name beside the settings file.
std::string defaultVerdictCachePath();

// Verifies `requests`, reading and then updating the cache file at `cachePath`. A bad server
// setting or a cache file that cannot be written is reported on stderr; the verdicts are still
// given (未知 where nothing could be asked).
VerificationRun runCrawlerChecks(const CliArgs& args, const std::vector<VerificationRequest>& requests,
                                 const std::string& cachePath);

} // namespace quill::cli
