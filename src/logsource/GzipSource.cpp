#include "logsource/GzipSource.h"

#include "logsource/ReadLimits.h"

#include <algorithm>
#include <zlib.h>

namespace quill {
namespace {

constexpr size_t kInputBytes = size_t(256) << 10;
constexpr int kGzipOnly = 15 + 16; // window bits with the gzip wrapper and its checks

} // namespace

struct GzipSource::Stream {
    z_stream z{};
    bool ready = false;
};

GzipSource::GzipSource(ByteSource& compressed)
    : m_compressed(compressed), m_stream(std::make_unique<Stream>()), m_input(kInputBytes)
{
    m_stream->ready = inflateInit2(&m_stream->z, kGzipOnly) == Z_OK;
}

GzipSource::~GzipSource()
{
    if (m_stream->ready)
        inflateEnd(&m_stream->z);
}

Status GzipSource::refill()
{
    const Result<size_t> got = m_compressed.read(reinterpret_cast<char*>(m_input.data()), m_input.size());
    if (!got.ok())
        return got.status();
    m_stream->z.next_in = m_input.data();
    m_stream->z.avail_in = static_cast<uInt>(got.value());
    m_inputEnded = got.value() == 0;
    return {};
}

Result<size_t> GzipSource::read(char* into, size_t size)
{
    if (!m_stream->ready)
        return Status::failure(kOutOfMemoryText);
    z_stream& z = m_stream->z;
    size = std::min<size_t>(size, 1u << 30);
    z.next_out = reinterpret_cast<Bytef*>(into);
    z.avail_out = static_cast<uInt>(size);
    while (!m_ended && z.avail_out == size) {
        if (z.avail_in == 0 && !m_inputEnded)
            if (Status refilled = refill(); !refilled.ok())
                return refilled;
        if (m_betweenMembers) {
            // Zero bytes after the last member are padding; anything else starts a member.
            while (z.avail_in > 0 && *z.next_in == 0) {
                ++z.next_in;
                --z.avail_in;
            }
            if (z.avail_in == 0) {
                if (m_inputEnded)
                    m_ended = true;
                continue;
            }
            m_betweenMembers = false;
            inflateReset(&z);
        }
        if (z.avail_in == 0 && m_inputEnded)
            return Status::failure(damagedArchiveText("unexpected end of data"));
        const int rc = inflate(&z, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) {
            m_betweenMembers = true;
        } else if (rc == Z_BUF_ERROR && z.avail_in == 0) {
            continue; // needs more input
        } else if (rc != Z_OK) {
            return Status::failure(damagedArchiveText(z.msg ? z.msg : "not gzip data"));
        }
    }
    return size - z.avail_out;
}

} // namespace quill
