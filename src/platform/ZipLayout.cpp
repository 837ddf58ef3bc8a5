#include "platform/ZipLayout.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quill {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint64_t kEndSize = 22;
constexpr std::uint64_t kLocatorSize = 20;
constexpr std::uint64_t kZip64EndSize = 56;
constexpr std::uint64_t kCentralSize = 46;
constexpr std::uint64_t kLocalSize = 30;
constexpr std::uint64_t kLongestComment = 0xFFFF;
// No archive of logs or of an update has a directory this large.
constexpr std::uint64_t kLargestDirectory = std::uint64_t{64} << 20;
// End records a reader could take for the archive's; more are no archive we read.
constexpr int kMostEndRecords = 16;

std::uint16_t le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t le32(const unsigned char* p) { return le16(p) | static_cast<std::uint32_t>(le16(p + 2)) << 16; }
std::uint64_t le64(const unsigned char* p) { return le32(p) | static_cast<std::uint64_t>(le32(p + 4)) << 32; }

class FileBytes {
public:
    FileBytes(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}
    std::uint64_t size() const { return m_size; }

    // `count` bytes at `offset`; nothing when they are not all in the file.
    std::optional<std::vector<unsigned char>> read(std::uint64_t offset, std::uint64_t count) const
    {
        if (offset > m_size || count > m_size - offset)
            return std::nullopt;
        std::vector<unsigned char> bytes(count);
        const Result<size_t> read = readAtOffset(m_fd, offset, reinterpret_cast<char*>(bytes.data()), bytes.size());
        if (!read.ok() || read.value() != count)
            return std::nullopt;
        return bytes;
    }

private:
    int m_fd;
    std::uint64_t m_size;
};

struct Directory {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint64_t count = 0;
};

struct CentralEntry {
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t localOffset = 0;
};

// The directory that the end record at `at` describes; nothing when it describes none.
std::optional<Directory> directoryAt(const FileBytes& file, std::uint64_t at)
{
    const auto end = file.read(at, kEndSize);
    if (!end || le32(end->data()) != kEndSignature || at + kEndSize + le16(end->data() + 20) > file.size())
        return std::nullopt;
    Directory directory{le32(end->data() + 16), le32(end->data() + 12), le16(end->data() + 10)};
    std::uint64_t recordsEnd = at;
    if (at >= kLocatorSize) {
        const auto locator = file.read(at - kLocatorSize, kLocatorSize);
        if (locator && le32(locator->data()) == kZip64LocatorSignature) {
            const std::uint64_t zip64At = le64(locator->data() + 8);
            const auto zip64 = file.read(zip64At, kZip64EndSize);
            if (!zip64 || le32(zip64->data()) != kZip64EndSignature)
                return std::nullopt;
            directory = {le64(zip64->data() + 48), le64(zip64->data() + 40), le64(zip64->data() + 32)};
            recordsEnd = zip64At;
        }
    }
    if (directory.offset > recordsEnd || directory.size > recordsEnd - directory.offset)
        return std::nullopt;
    return directory;
}

// The entries of `directory` in directory order; nothing when a record is broken.
std::optional<std::vector<CentralEntry>> readDirectory(const FileBytes& file, const Directory& directory)
{
    if (directory.size > kLargestDirectory || directory.count > directory.size / kCentralSize)
        return std::nullopt;
    const auto bytes = file.read(directory.offset, directory.size);
    if (!bytes)
        return std::nullopt;
    std::vector<CentralEntry> entries;
    std::uint64_t at = 0;
    for (std::uint64_t i = 0; i < directory.count; ++i) {
        if (bytes->size() - at < kCentralSize)
            return std::nullopt;
        const unsigned char* record = bytes->data() + at;
        if (le32(record) != kCentralSignature)
            return std::nullopt;
        CentralEntry entry{le32(record + 20), le32(record + 24), le32(record + 42)};
        const std::uint64_t nameLength = le16(record + 28);
        const std::uint64_t extraLength = le16(record + 30);
        const std::uint64_t length = kCentralSize + nameLength + extraLength + le16(record + 32);
        if (bytes->size() - at < length)
            return std::nullopt;
        // ZIP64: the fields that read all ones follow in the extra field, in this order.
        const unsigned char* extra = record + kCentralSize + nameLength;
        for (std::uint64_t e = 0; e + 4 <= extraLength;) {
            const std::uint16_t id = le16(extra + e);
            const std::uint64_t dataLength = le16(extra + e + 2);
            if (e + 4 + dataLength > extraLength)
                break;
            if (id == 0x0001) {
                const unsigned char* field = extra + e + 4;
                std::uint64_t left = dataLength;
                for (std::uint64_t* value : {&entry.size, &entry.compressedSize, &entry.localOffset}) {
                    if (*value != 0xFFFFFFFF)
                        continue;
                    if (left < 8)
                        return std::nullopt;
                    *value = le64(field);
                    field += 8;
                    left -= 8;
                }
            }
            e += 4 + dataLength;
        }
        entries.push_back(entry);
        at += length;
    }
    return entries;
}

// Entries one after another in directory order, each before the directory, none inflating more
// than the ratio allows.
Status checkEntries(const FileBytes& file, const std::vector<CentralEntry>& entries, const Directory& directory)
{
    std::uint64_t previousEnd = 0;
    for (const CentralEntry& entry : entries) {
        if (entry.localOffset < previousEnd)
            return Status::failure(gbk("条目的数据相互重叠或次序颠倒"));
        const auto local = file.read(entry.localOffset, kLocalSize);
        if (!local || le32(local->data()) != kLocalSignature)
            return Status::failure(gbk("条目的本地头不在目录所说的位置"));
        const std::uint64_t dataStart = entry.localOffset + kLocalSize + le16(local->data() + 26) + le16(local->data() + 28);
        if (dataStart > directory.offset || entry.compressedSize > directory.offset - dataStart)
            return Status::failure(gbk("条目的数据超出了文件"));
        if (entry.size / kMaxInflateRatio > entry.compressedSize)
            return Status::failure(gbk("条目声明的大小超过压缩数据的 1100 倍"));
        previousEnd = dataStart + entry.compressedSize;
    }
    return Status();
}

// True when libzip reads the same entries from its directory.
bool sameAsLibzip(zip_t* archive, const std::vector<CentralEntry>& entries)
{
    if (zip_get_num_entries(archive, ZIP_FL_UNCHANGED) != static_cast<zip_int64_t>(entries.size()))
        return false;
    for (size_t i = 0; i < entries.size(); ++i) {
        zip_stat_t stat;
        if (zip_stat_index(archive, i, ZIP_FL_UNCHANGED, &stat) != 0 ||
            !(stat.valid & ZIP_STAT_SIZE) || !(stat.valid & ZIP_STAT_COMP_SIZE) ||
            stat.size != entries[i].size || stat.comp_size != entries[i].compressedSize)
            return false;
    }
    return true;
}

} // namespace

Status checkZipLayout(int fd, zip_t* archive)
{
    struct stat info {};
    if (fstat(fd, &info) != 0)
        return Status::failure(gbk("无法读取文件"));
    const FileBytes file(fd, static_cast<std::uint64_t>(info.st_size));
    const std::uint64_t tailSize = std::min<std::uint64_t>(file.size(), kEndSize + kLongestComment);
    const auto tail = file.read(file.size() - tailSize, tailSize);
    if (!tail)
        return Status::failure(gbk("无法读取文件"));

    // Every end record that describes a directory is checked, so it does not matter which of
    // them libzip took for the archive's.
    int records = 0;
    bool libzipsChecked = false;
    for (std::uint64_t i = tailSize >= kEndSize ? tailSize - kEndSize + 1 : 0; i-- > 0;) {
        if (le32(tail->data() + i) != kEndSignature)
            continue;
        const std::optional<Directory> directory = directoryAt(file, file.size() - tailSize + i);
        if (!directory)
            continue;
        const std::optional<std::vector<CentralEntry>> entries = readDirectory(file, *directory);
        if (!entries)
            continue;
        if (++records > kMostEndRecords)
            return Status::failure(gbk("结尾记录过多"));
        if (Status checked = checkEntries(file, *entries, *directory); !checked)
            return checked;
        libzipsChecked = libzipsChecked || sameAsLibzip(archive, *entries);
    }
    if (!libzipsChecked)
        return Status::failure(gbk("找不到与条目相符的中央目录"));
    return Status();
}

Status checkZipLayout(const std::string& path, zip_t* archive)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Status::failure(gbk("无法读取文件"));
    Status checked = checkZipLayout(fd, archive);
    close(fd);
    return checked;
}

} // namespace quill
