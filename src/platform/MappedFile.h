#pragma once
// A read-only view of a regular file's bytes straight from the page cache, so a large file costs
// no copy and no fresh memory. If another process cuts the file short while it is mapped, the
// pages past its new end read as zero bytes instead of killing the process; so does the rest of
// the file after a page the disk could not deliver.

#include <cstddef>
#include <memory>

namespace quill {

class MappedFile {
public:
    // Maps the first `size` bytes of `fd`; nullptr when the file cannot be mapped (a pipe, a
    // device, size 0, a file system without mappings), and the caller reads it instead.
    static std::unique_ptr<MappedFile> map(int fd, size_t size);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const char* data() const { return m_data; }
    size_t size() const { return m_size; }
    // True once a page could not be read and reads as zeros.
    bool faulted() const;

private:
    MappedFile(const char* data, size_t size, int slot) : m_data(data), m_size(size), m_slot(slot) {}

    const char* m_data;
    size_t m_size;
    int m_slot; // where the bus-error guard keeps this mapping's range
};

} // namespace quill
