#include "update/DownloadLoop.h"

#include "platform/FileSystem.h"
#include "platform/GbkText.h"
#include "update/SelfReplacement.h"
#include "update/UnpackPackage.h"
#include "update/UpdateManifest.h"

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

} // namespace

bool isProtectedFile(const std::string& folder, std::string_view fileName, std::string_view executableName)
{
    // On a file system that ignores case the package and the program are one file.
    if (fileName == kPackageName)
        return fileName == executableName ||
               isSameFile(joinPath(folder, fileName), joinPath(folder, executableName));
    for (std::string_view name : {executableName, kCleanupBatchName, kSettingsFileName, kSiteListFileName})
        if (sameIgnoringCase(fileName, name))
            return true;
    return false;
}

ItemState downloadItem(const std::string& folder, std::string_view name, const std::string& url,
                       const TransferEvents& events, std::string_view executableName)
{
    // The name comes from the server: it may choose a file, never a folder or one of our own.
    const std::string fileName = bareFileName(name);
    if (fileName.empty() || isProtectedFile(folder, fileName, executableName))
        return ItemState::Failed;
    const std::string path = joinPath(folder, fileName);
    if (!fetchToFile(url, path, events))
        return ItemState::Failed;
    if (fileName == kPackageName)
        return ItemState::Done;
    const UnpackResult unpacked = unpackPackage(folder, fileName);
    std::remove(path.c_str());
    return unpacked == UnpackResult::Unpacked || unpacked == UnpackResult::NotAnArchive ? ItemState::Done
                                                                                        : ItemState::Failed;
}

void downloadTicked(DownloadList& list, const std::string& folder, const TransferEvents& events,
                    std::string_view executableName)
{
    for (std::size_t item = 0; item < list.count(); ++item) {
        if (events.stop && events.stop->load())
            return;
        if (list.isTicked(item)) {
            list.setState(item, ItemState::Downloading);
            list.setState(item, downloadItem(folder, list.name(item), list.url(item), events, executableName));
        }
        list.passed(item);
    }
}

} // namespace quill
