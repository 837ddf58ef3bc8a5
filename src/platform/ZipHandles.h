#pragma once
// Owners of libzip's archive and entry handles. An archive opened for reading is discarded, never
// written back.

#include <memory>
#include <zip.h>

namespace quill {

struct ZipArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ZipEntryCloser {
    void operator()(zip_file_t* entry) const { zip_fclose(entry); }
};
using ZipArchive = std::unique_ptr<zip_t, ZipArchiveCloser>;
using ZipEntry = std::unique_ptr<zip_file_t, ZipEntryCloser>;

} // namespace quill
