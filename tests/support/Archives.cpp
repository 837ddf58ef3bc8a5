#include "support/Archives.h"

#include "support/TempFolder.h"

#include <stdexcept>
#include <zip.h>
#include <zlib.h>

namespace quill::test {

std::string gzipBytes(const std::string& bytes, int level)
{
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, bytes.size()) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

void writeZip(const std::string& path, const std::vector<ZipEntry>& entries)
{
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        throw std::runtime_error("cannot create " + path);
    for (const ZipEntry& entry : entries) {
        if (entry.name.ends_with('/')) {
            zip_dir_add(archive, entry.name.c_str(), ZIP_FL_ENC_RAW);
            continue;
        }
        zip_source_t* source = zip_source_buffer(archive, entry.bytes.data(), entry.bytes.size(), 0);
        const zip_int64_t index = zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_RAW);
        if (index < 0)
            throw std::runtime_error("cannot add " + entry.name);
        if (entry.stored)
            zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    if (zip_close(archive) != 0)
        throw std::runtime_error("cannot write " + path);
}

std::string zipBytes(const std::vector<ZipEntry>& entries)
{
    TempFolder folder;
    const std::string path = folder.file("made.zip");
    writeZip(path, entries);
    return readFile(path);
}

} // namespace quill::test
