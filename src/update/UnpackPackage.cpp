#include "update/UnpackPackage.h"

#include "platform/FileSystem.h"
#include "platform/ReplacementFile.h"
#include "update/UpdateManifest.h"

#include <zip.h>

#include <memory>

namespace quill {
namespace {

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct EntryCloser {
    void operator()(zip_file_t* entry) const { zip_fclose(entry); }
};

bool extractEntry(zip_t* archive, zip_uint64_t index, const std::string& path)
{
    std::unique_ptr<zip_file_t, EntryCloser> entry(zip_fopen_index(archive, index, 0));
    if (!entry)
        return false;
    ReplacementFile file(path);
    char buffer[65536];
    for (;;) {
        const zip_int64_t got = zip_fread(entry.get(), buffer, sizeof buffer);
        if (got < 0)
            return false; // damaged data or a wrong checksum: the temporary file goes
        if (got == 0)
            break;
        if (!file.write(std::string_view(buffer, static_cast<size_t>(got))))
            return false;
    }
    return file.commit().ok();
}

} // namespace

bool unpackPackage(const std::string& folder, const std::string& fileName)
{
    int error = 0;
    std::unique_ptr<zip_t, ArchiveCloser> archive(
        zip_open(joinPath(folder, fileName).c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error));
    if (!archive)
        return false;
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        const char* stored = zip_get_name(archive.get(), index, ZIP_FL_ENC_RAW);
        if (!stored)
            return false;
        const std::string name = bareFileName(stored);
        if (name.empty())
            continue;
        if (!extractEntry(archive.get(), index, joinPath(folder, name)))
            return false;
    }
    return true;
}

} // namespace quill
