#include "logsource/ZipSource.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/ZipHandles.h"

#include <cerrno>
#include <unistd.h>
#include <vector>
#include <zip.h>

namespace quill {
namespace {

// The indexes of the archive's "*.log" entries in archive order (folders skipped).
std::vector<zip_uint64_t> logEntries(zip_t* archive)
{
    std::vector<zip_uint64_t> entries;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
        if (name && matchesWildcard(name, "*.log"))
            entries.push_back(static_cast<zip_uint64_t>(i));
    }
    return entries;
}

Result<ZipArchive> openArchiveFd(int fd)
{
    const int own = dup(fd); // libzip closes the descriptor it was given
    if (own < 0)
        return Status::failure(fileErrorText(errno));
    int code = 0;
    ZipArchive archive(zip_fdopen(own, ZIP_RDONLY | ZIP_CHECKCONS, &code));
    if (archive)
        return archive;
    close(own);
    zip_error_t zipError;
    zip_error_init_with_code(&zipError, code);
    Status damaged = Status::failure(damagedArchiveText(zip_error_strerror(&zipError)));
    zip_error_fini(&zipError);
    return damaged;
}

class ZipSource : public ByteSource {
public:
    ZipSource(ZipArchive archive, std::vector<zip_uint64_t> entries)
        : m_archive(std::move(archive)), m_entries(std::move(entries))
    {
    }

    Result<size_t> read(char* into, size_t size) override
    {
        while (true) {
            if (!m_entry) {
                if (m_next == m_entries.size())
                    return size_t(0);
                // An entry that does not end its last line must not run into the next entry.
                if (m_next > 0 && m_last != '\n' && m_last != '\r') {
                    m_last = '\n';
                    *into = '\n';
                    return size_t(1);
                }
                m_entry.reset(zip_fopen_index(m_archive.get(), m_entries[m_next], 0));
                if (!m_entry)
                    return Status::failure(damagedArchiveText(zip_strerror(m_archive.get())));
                ++m_next;
            }
            const zip_int64_t got = zip_fread(m_entry.get(), into, size);
            if (got < 0)
                return Status::failure(damagedArchiveText(zip_file_strerror(m_entry.get())));
            if (got > 0) {
                m_last = into[got - 1];
                return static_cast<size_t>(got);
            }
            m_entry.reset();
        }
    }

private:
    ZipArchive m_archive;
    std::vector<zip_uint64_t> m_entries;
    ZipEntry m_entry;
    size_t m_next = 0;
    char m_last = '\n';
};

} // namespace

Result<std::unique_ptr<ByteSource>> openZipSource(int fd)
{
    Result<ZipArchive> opened = openArchiveFd(fd);
    if (!opened)
        return opened.status();
    ZipArchive archive = std::move(opened.value());
    std::vector<zip_uint64_t> entries = logEntries(archive.get());
    if (entries.empty())
        return Status::failure(gbk("压缩文件中没有 .log 文件"));
    return std::unique_ptr<ByteSource>(std::make_unique<ZipSource>(std::move(archive), std::move(entries)));
}

bool zipMayHoldLogs(const std::string& path)
{
    int code = 0;
    ZipArchive archive(zip_open(path.c_str(), ZIP_RDONLY, &code));
    return !archive || !logEntries(archive.get()).empty();
}

} // namespace quill
