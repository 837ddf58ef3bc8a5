#include "update/UnpackPackage.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/GbkText.h"
#include "platform/ReplacementFile.h"
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

bool isOneOf(std::string_view name, const std::vector<std::string>& names)
{
    return std::any_of(names.begin(), names.end(), [&](const std::string& other) { return sameIgnoringCase(name, other); });
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
    return file.commit().ok();
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

StagedFiles stagePackage(const std::string& archivePath, const StagingArea& area, const UnpackOptions& options)
{
    StagedFiles staged;
    if (isNoArchive(archivePath)) {
        staged.result = UnpackResult::NotAnArchive;
        return staged;
    }
    int error = 0;
    ZipArchive archive(zip_open(archivePath.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error));
    if (!archive)
        return staged;

    // The whole plan and its declared size come first: nothing is written for a package that
    // would not fit or would replace one of the program's own files.
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
        const bool isProgramName = isOneOf(name, options.programNames);
        if (!isProgramName && isOneOf(name, options.protectedNames)) {
            staged.result = UnpackResult::ProtectedName;
            return staged;
        }
        if (isProgramName && programFound)
            continue;
        programFound = programFound || isProgramName;
        plan.push_back({index, isProgramName ? options.programName : name, stat.size, isProgramName});
        total = stat.size > UINT64_MAX - total ? UINT64_MAX : total + stat.size;
    }
    const std::uint64_t room = std::min(options.limit, freeBytes(area.folder()).value_or(options.limit));
    if (total > room) {
        staged.result = UnpackResult::TooLarge;
        return staged;
    }
    if (!checkZipLayout(archivePath, archive.get()))
        return staged;

    for (const PlannedEntry& entry : plan) {
        ReplacementFile file(area.stagedPath(entry.name));
        if (!writeEntry(archive.get(), entry, file))
            return staged;
        if (std::find(staged.names.begin(), staged.names.end(), entry.name) == staged.names.end())
            staged.names.insert(entry.isProgram ? staged.names.begin() : staged.names.end(), entry.name);
    }
    staged.hasProgram = programFound;
    staged.result = UnpackResult::Unpacked;
    return staged;
}

UpdateFailure unpackFailure(UnpackResult result)
{
    switch (result) {
    case UnpackResult::TooLarge:
        return UpdateFailure::NoSpace;
    case UnpackResult::ProtectedName:
        return UpdateFailure::ProtectedName;
    default:
        return UpdateFailure::BrokenArchive;
    }
}

UnpackResult unpackPackage(const std::string& folder, const std::string& fileName, std::uint64_t limit)
{
    Result<std::unique_ptr<StagingArea>> area = StagingArea::open(folder);
    if (!area)
        return UnpackResult::Failed;
    UnpackOptions options;
    options.limit = limit;
    StagedFiles staged = stagePackage(joinPath(folder, fileName), *area.value(), options);
    if (staged.result == UnpackResult::Unpacked && !area.value()->commit(staged.names))
        return UnpackResult::Failed;
    return staged.result;
}

} // namespace quill
