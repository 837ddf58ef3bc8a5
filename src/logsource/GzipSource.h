#pragma once
// A gzip stream decompressed as it is read, one input block at a time; members written one after
// another read as one stream, as gzip itself reads them.

#include "logsource/ByteSource.h"

#include <memory>
#include <vector>

namespace quill {

class GzipSource : public ByteSource {
public:
    // Reads the compressed bytes from `compressed`, which must outlive this source.
    explicit GzipSource(ByteSource& compressed);
    ~GzipSource() override;
    Result<size_t> read(char* into, size_t size) override;

private:
    struct Stream;
    Status refill();

    ByteSource& m_compressed;
    std::unique_ptr<Stream> m_stream;
    std::vector<unsigned char> m_input;
    bool m_inputEnded = false;
    bool m_betweenMembers = false; // a member ended; more input must be another member
    bool m_ended = false;
};

} // namespace quill
