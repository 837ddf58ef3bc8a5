#include "support/Archives.h"

#include "support/TempFolder.h"

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

std::string zipBytes(const std::vector<std::pair<std::string, std::string>>& entries)
{
    TempFolder folder;
    const std::string path = folder.file("made.zip");
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    for (const auto& [name, bytes] : entries) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE);
    }
    zip_close(archive);
    return readFile(path);
}

} // namespace quill::test
