#include "update/DownloadLoop.h"

#include "platform/FileSystem.h"
#include "update/UnpackPackage.h"
#include "update/UpdateManifest.h"

#include <cstdio>

namespace quill {

ItemState downloadItem(const std::string& folder, std::string_view name, const std::string& url,
                       const TransferEvents& events)
{
    // The name comes from the server: it may choose a file, never a folder.
    const std::string fileName = bareFileName(name);
    if (fileName.empty())
        return ItemState::Failed;
    const std::string path = joinPath(folder, fileName);
    if (!fetchToFile(url, path, events))
        return ItemState::Failed;
    if (fileName != kPackageName) {
        unpackPackage(folder, fileName);
        std::remove(path.c_str());
    }
    return ItemState::Done;
}

void downloadTicked(DownloadList& list, const std::string& folder, const TransferEvents& events)
{
    for (std::size_t item = 0; item < list.count(); ++item) {
        if (list.isTicked(item)) {
            list.setState(item, ItemState::Downloading);
            list.setState(item, downloadItem(folder, list.name(item), list.url(item), events));
        }
        list.passed(item);
    }
}

} // namespace quill
