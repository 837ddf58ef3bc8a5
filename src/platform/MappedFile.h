#pragma once
// A read-only view of a regular file's bytes straight from the page cache, so a large file costs
// no copy and no fresh memory. If another process cuts the file short while it is mapped, the
// pages past its new end read as zero bytes instead of killing the process; so does the rest of
// the file after a page the disk could not deliver.

#include <cstddef>
#include <ctime>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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
    // The bytes from the start that read as the file's own: all of them, or those before the
    // first page that could not be read.
    size_t readableBytes() const;

    // False once the first `prefix` bytes may no longer be what they were when mapped: the file
    // got shorter than them, a page of them could not be read, or the file changed and one of
    // the windows sampled at mapping time reads differently. Bytes appended to the file are no
    // change. The check is one fstat while the file's change time stays put.
    bool keepsBytes(size_t prefix) const;

    // Copies the `size` mapped bytes at `offset` into `out` with read calls, which on a virtual
    // machine cost a fraction of the first touch of the mapping's pages; false when the file no
    // longer holds them all.
    bool copy(size_t offset, size_t size, char* out) const;

private:
    MappedFile(const char* data, size_t size, int slot, int fd);
    void takeSamples();
    bool samplesMatch(size_t prefix) const;

    const char* m_data;
    size_t m_size;
    int m_slot; // where the bus-error guard keeps this mapping's range
    int m_fd;   // a duplicate, so the file can be asked about later
    std::vector<std::pair<size_t, size_t>> m_windows; // offset and length of each sampled window
    std::string m_samples;                            // their bytes at mapping time, in order
    mutable timespec m_settledChange{};               // a change time known to hold no rewrite
};

} // namespace quill
