#include "update/UnpackPackage.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/GbkText.h"
#include "platform/ZipHandles.h"
#include "platform/ZipLayout.h"
#include "update/UpdateManifest.h"

#include <zip.h>

#include <algorithm>
#include <cstdint>
#include <fcntl.h>
#include <unistd.h>

namespace quill {
namespace {


// A file that does not begin like a ZIP archive (a local header or an empty archive's end record).
bool isNoArchive(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char head[4] = {};
    const ssize_t got = read(fd, head, sizeof head);
    close(fd);
    const std::string_view start(head, got > 0 ? static_cast<size_t>(got) : 0);
    return start != std::string_view("PK\x03\x04", 4) && start != std::string_view("PK\x05\x06", 4);
}

// The entry's name as a file-system name. Zip tools mark UTF-8 names with a flag; the ZIP
// specification's fallback is CP437 ("strict" reading converts those), but the Chinese tools that
// make our packages write GBK there.
std::string entryFileName(zip_t* archive, zip_uint64_t index)
{
    const char* rawName = zip_get_name(archive, index, ZIP_FL_ENC_RAW);
    if (!rawName)
        return {};
    const std::string raw = rawName;
    const char* strictName = zip_get_name(archive, index, ZIP_FL_ENC_STRICT);
    const bool markedUtf8 = strictName && raw == strictName;
    return markedUtf8 ? bareFileName(raw) : bareGbkFileName(raw);
}

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && upperAscii(a) == upperAscii(b);
}

struct PlannedEntry {
    zip_uint64_t index;
    std::string name;
    std::uint64_t size;
    bool isProgram;
};

// Writes one entry, never more bytes than it declared.
bool writeEntry(zip_t* archive, const PlannedEntry& entry, ReplacementFile& file)
{
    ZipEntry data(zip_fopen_index(archive, entry.index, 0));
    if (!data)
        return false;
    std::uint64_t written = 0;
    char buffer[65536];
    for (;;) {
        const zip_int64_t got = zip_fread(data.get(), buffer, sizeof buffer);
        if (got < 0)
            return false; // damaged data or a wrong checksum
        if (got == 0)
            break;
        written += static_cast<std::uint64_t>(got);
        if (written > entry.size)
            return false; // more than the directory said: the size check would be worthless
        if (!file.write(std::string_view(buffer, static_cast<size_t>(got))))
            return false;
    }
    return file.finish().ok();
}

} // namespace

std::string bareGbkFileName(std::string_view gbkName)
{
    size_t start = 0;
    for (size_t pos = 0; pos < gbkName.size(); pos += gbkCharLength(gbkName, pos))
        if (gbkName[pos] == '/' || gbkName[pos] == '\\')
            start = pos + 1;
    const std::string_view bare = gbkName.substr(start);
    if (bare.empty() || bare == "." || bare == "..")
        return {};
    return gbkToUtf8(bare);
}

bool StagedPackage::commitFiles()
{
    bool all = true;
    for (const std::unique_ptr<ReplacementFile>& file : files)
        all = file->commit().ok() && all;
    return all;
}

StagedPackage stagePackage(const std::string& folder, const std::string& fileName, const UnpackOptions& options)
{
    StagedPackage staged;
    const std::string path = joinPath(folder, fileName);
    if (isNoArchive(path)) {
        staged.result = UnpackResult::NotAnArchive;
        return staged;
    }
    int error = 0;
    ZipArchive archive(zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error));
    if (!archive)
        return staged;

    // The whole plan and its declared size come first: nothing is written for a package that
    // would not fit.
    std::vector<PlannedEntry> plan;
    std::uint64_t total = 0;
    bool programFound = false;
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t stat;
        if (zip_stat_index(archive.get(), index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
            return staged;
        const std::string name = entryFileName(archive.get(), index);
        if (name.empty())
            continue;
        const bool isProgramName =
            std::any_of(options.programNames.begin(), options.programNames.end(),
                        [&](const std::string& programName) { return sameIgnoringCase(name, programName); });
        if (isProgramName && programFound)
            continue;
        programFound = programFound || isProgramName;
        plan.push_back({index, name, stat.size, isProgramName});
        total = stat.size > UINT64_MAX - total ? UINT64_MAX : total + stat.size;
    }
    const std::uint64_t room = std::min(options.limit, freeBytes(folder).value_or(options.limit));
    if (total > room) {
        staged.result = UnpackResult::TooLarge;
        return staged;
    }
    if (!checkZipLayout(path, archive.get()))
        return staged;

    for (const PlannedEntry& entry : plan) {
        auto file = std::make_unique<ReplacementFile>(entry.isProgram ? options.programPath
                                                                      : joinPath(folder, entry.name));
        if (!writeEntry(archive.get(), entry, *file)) {
            staged.program.reset();
            staged.files.clear(); // their temporary files go with them
            return staged;
        }
        (entry.isProgram ? staged.program : staged.files.emplace_back()) = std::move(file);
    }
    staged.result = UnpackResult::Unpacked;
    return staged;
}

UnpackResult unpackPackage(const std::string& folder, const std::string& fileName, std::uint64_t limit)
{
    UnpackOptions options;
    options.limit = limit;
    StagedPackage staged = stagePackage(folder, fileName, options);
    if (staged.result == UnpackResult::Unpacked && !staged.commitFiles())
        return UnpackResult::Failed;
    return staged.result;
}

} // namespace quill
