#include "update/UpdateCheck.h"

#include "platform/FileSystem.h"
#include "platform/Hosts.h"
#include "platform/IniFile.h"
#include "platform/ReplacementFile.h"
#include "update/DownloadLoop.h"
#include "update/InstalledRecord.h"
#include "update/UpdateFailure.h"

#include <unistd.h>

namespace quill {
namespace {

// Far more than any manifest (10,000 files take 1.2 MB) or signature needs.
constexpr std::size_t kManifestLimit = 16u << 20;
constexpr std::size_t kSignatureLimit = 4096;

} // namespace

std::string manifestUrl() { return "https://" + makerHost() + "/Quillmarkkit/update.txt"; }

Result<CheckResult> checkForUpdates(const std::string& folder, const CheckOptions& options, int today)
{
    const HttpResponse manifest = fetchToMemory(options.manifestUrl, options.events, kManifestLimit);
    if (!manifest.ok())
        return Status::failure(manifest.status.message());
    const HttpResponse signature = fetchToMemory(options.manifestUrl + ".sig", options.events, kSignatureLimit);
    if (!signature.ok())
        return signature.failure == HttpFailure::ErrorStatus ? updateFailure(UpdateFailure::Unsigned)
                                                              : Status::failure(signature.status.message());
    if (!verifySignature(manifest.body, signature.body, options.key))
        return updateFailure(UpdateFailure::BadSignature);

    Result<std::unique_ptr<StagingArea>> opened = StagingArea::open(folder, options.staging);
    if (!opened)
        return opened.status();
    StagingArea& area = *opened.value();
    const std::string staged = area.stagedPath(kManifestFileName);
    ReplacementFile file(staged);
    file.write(manifest.body);
    if (!file.commit())
        return updateFailure(UpdateFailure::CannotWrite);
    CheckResult result;
    result.listsFiles = !IniSnapshot(staged).sectionNames().empty();
    result.newer = newerEntries(staged, joinPath(folder, kInstalledRecordName), today);
    if (Status committed = area.commit({std::string(kManifestFileName)}); !committed)
        return committed;
    area.complete();
    return result;
}

bool isManagedInstall(const std::string& folder)
{
    return folder == "/usr" || folder.starts_with("/usr/") || access(folder.c_str(), W_OK) != 0;
}

} // namespace quill
