#pragma once
// The crawler check as the commands run it: the DNS server from QUILLMARK_DNS_SERVER, the verdict
// cache file and the published address lists beside the settings file, or the ones --cache and
// --lists-from name.

#include "cli/CliArgs.h"
#include "verify/AddressListUpdate.h"
#include "verify/CrawlerVerifier.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quill::cli {

// The cache file the window uses: the settings file's cache name beside the settings file.
std::string defaultVerdictCachePath();
// The address lists' file the window uses, beside the settings file.
std::string defaultAddressListsPath();

// The folder the settings name for "更新蜘蛛IP表" to read lists from; empty: download them.
std::string settingsListsFolder();

// Where lists come from, with the web tools' bounds: read from `folder`, or downloaded when it is empty.
ListSource listFolderSource(const std::string& folder);

// The address lists of a check: read from the files of `listsFrom` for this run (a file that is
// there but unusable is reported on stderr), else those kept beside the settings file.
std::shared_ptr<const AddressLists> crawlerAddressLists(const CliArgs& args, const std::optional<std::string>& listsFrom);

// Verifies `requests`, reading and then updating the cache file at `cachePath`. A bad server
// setting or a cache file that cannot be written is reported on stderr; the verdicts are still
// given (未知 where nothing could be asked).
VerificationRun runCrawlerChecks(const CliArgs& args, const std::vector<VerificationRequest>& requests,
                                 const std::string& cachePath, std::shared_ptr<const AddressLists> lists);

} // namespace quill::cli
