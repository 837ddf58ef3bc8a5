#include "update/DownloadLoop.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/GbkText.h"
#include "update/InstalledRecord.h"
#include "update/SelfReplacement.h"
#include "update/UnpackPackage.h"
#include "update/UpdateFailure.h"
#include "update/UpdateSignature.h"

#include <charconv>
#include <cstdio>
#include <sys/stat.h>

namespace quill {
namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && upperAscii(a) == upperAscii(b);
}

bool isSameFile(const std::string& a, const std::string& b)
{
    struct stat first {}, second {};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

std::optional<std::uint64_t> exactSize(std::string_view text)
{
    text = trim(text);
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string lowerHex(std::string_view text)
{
    std::string hex(trim(text));
    for (char& c : hex)
        if (c >= 'A' && c <= 'F')
            c = static_cast<char>(c - 'A' + 'a');
    return hex;
}

// Fetches the item into the staging area and checks it is exactly the file the manifest signed.
Status fetchChecked(const UpdateEntry& entry, const std::string& path, const DownloadOptions& options)
{
    const std::optional<std::uint64_t> size = exactSize(entry.bytes);
    const std::string hash = lowerHex(entry.sha256);
    if (!size || hash.size() != 64)
        return updateFailure(UpdateFailure::NoChecksum);
    TransferEvents events = options.events;
    events.overallLimit = options.overallLimit.value_or(downloadTimeLimit(*size));
    switch (fetchToFile(entry.url, path, events, *size)) {
    case FetchEnd::Fetched:
        break;
    case FetchEnd::TimedOut:
        return updateFailure(UpdateFailure::TimedOut);
    case FetchEnd::TooLong: // ended at the first byte past the manifest's size
        return updateFailure(UpdateFailure::SizeMismatch);
    case FetchEnd::Failed:
        return updateFailure(UpdateFailure::Download);
    }
    if (fileSize(path) != size)
        return updateFailure(UpdateFailure::SizeMismatch);
    if (fileSha256(path) != hash)
        return updateFailure(UpdateFailure::HashMismatch);
    return Status();
}

} // namespace

std::vector<std::string> protectedNames(std::string_view executableName)
{
    std::vector<std::string> names;
    for (std::string_view name : {executableName, kPackageName, kOldExecutableName, kCleanupBatchName,
                                  kSettingsFileName, kSiteListFileName, kManifestFileName, kInstalledRecordName,
                                  kJournalName})
        names.emplace_back(name);
    return names;
}

bool isProtectedFile(const std::string& folder, std::string_view fileName, std::string_view executableName)
{
    // On a file system that ignores case the package and the program are one file.
    if (fileName == kPackageName)
        return fileName == executableName ||
               isSameFile(joinPath(folder, fileName), joinPath(folder, executableName));
    for (const std::string& name : protectedNames(executableName))
        if (sameIgnoringCase(fileName, name))
            return true;
    return false;
}

Status downloadItem(const UpdateEntry& entry, const DownloadOptions& options)
{
    // The name comes from the server: it may choose a file, never a folder or one of our own.
    const std::string fileName = bareFileName(entry.name);
    if (fileName.empty())
        return updateFailure(UpdateFailure::CannotWrite);
    if (isProtectedFile(options.folder, fileName, options.executableName))
        return updateFailure(UpdateFailure::ProtectedName);
    Result<std::unique_ptr<StagingArea>> opened = StagingArea::open(options.folder, options.staging);
    if (!opened)
        return opened.status();
    StagingArea& area = *opened.value();
    const std::string download = area.scratchPath();
    if (Status fetched = fetchChecked(entry, download, options); !fetched)
        return fetched;
    if (fileName == kPackageName) { // installed, and recorded, by the replacement
        if (std::rename(download.c_str(), area.stagedPath(fileName).c_str()) != 0)
            return updateFailure(UpdateFailure::CannotWrite);
        Status committed = area.commit({fileName});
        area.complete();
        return committed;
    }
    UnpackOptions unpack;
    unpack.protectedNames = protectedNames(options.executableName);
    StagedFiles staged = stagePackage(download, area, unpack);
    if (staged.result != UnpackResult::Unpacked && staged.result != UnpackResult::NotAnArchive)
        return updateFailure(unpackFailure(staged.result));
    if (Status recorded = stageInstalledRecord(area, {entry}, options.today); !recorded)
        return recorded;
    staged.names.emplace_back(kInstalledRecordName);
    if (Status committed = area.commit(staged.names); !committed)
        return committed;
    area.complete();
    return Status();
}

void downloadTicked(const std::vector<ListedItem>& items, const DownloadOptions& options, const DownloadReport& report)
{
    for (std::size_t item = 0; item < items.size(); ++item) {
        if (options.events.stop && options.events.stop->load())
            return;
        if (items[item].ticked) {
            report.state(item, ItemState::Downloading, Status());
            const Status done = downloadItem(items[item].entry, options);
            report.state(item, done ? ItemState::Done : ItemState::Failed, done);
        }
        report.passed(item);
    }
}

std::string itemStateText(ItemState state, const std::string& failure)
{
    switch (state) {
    case ItemState::Downloading:
        return gbk("下载中");
    case ItemState::Done:
        return gbk("完成");
    case ItemState::Failed:
        break;
    }
    static const std::string prefix = gbk("升级失败");
    return gbk("失败") + (failure.starts_with(prefix) ? failure.substr(prefix.size()) : std::string());
}

} // namespace quill
