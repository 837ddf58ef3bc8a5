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

namespace {

void put16(std::string& out, std::uint32_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

std::string localHeader(const RawZipEntry& entry)
{
    std::string out;
    put32(out, 0x04034b50);
    put16(out, 20);  // version needed
    put16(out, 0);   // flags
    put16(out, 8);   // deflate
    put32(out, 0);   // time and date
    put32(out, entry.crc);
    put32(out, static_cast<std::uint32_t>(entry.data.size()));
    put32(out, static_cast<std::uint32_t>(entry.size));
    put16(out, static_cast<std::uint32_t>(entry.name.size()));
    put16(out, 0);
    return out + entry.name;
}

std::string centralHeader(const RawZipEntry& entry, std::uint32_t compressedSize, std::uint32_t offset)
{
    std::string out;
    put32(out, 0x02014b50);
    put16(out, 20);
    put16(out, 20);
    put16(out, 0);
    put16(out, 8);
    put32(out, 0);
    put32(out, entry.crc);
    put32(out, compressedSize);
    put32(out, static_cast<std::uint32_t>(entry.size));
    put16(out, static_cast<std::uint32_t>(entry.name.size()));
    put16(out, 0); // extra
    put16(out, 0); // comment
    put16(out, 0); // disk
    put16(out, 0); // internal attributes
    put32(out, 0); // external attributes
    put32(out, offset);
    return out + entry.name;
}

std::string endRecord(size_t count, size_t directorySize, size_t directoryOffset)
{
    std::string out;
    put32(out, 0x06054b50);
    put32(out, 0);
    put16(out, static_cast<std::uint32_t>(count));
    put16(out, static_cast<std::uint32_t>(count));
    put32(out, static_cast<std::uint32_t>(directorySize));
    put32(out, static_cast<std::uint32_t>(directoryOffset));
    put16(out, 0);
    return out;
}

std::uint32_t crcOf(const std::string& bytes)
{
    return static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// A stored, not final, deflate block holding `bytes` (at most 65535 of them).
std::string storedBlock(const std::string& bytes)
{
    std::string out(1, '\0');
    put16(out, static_cast<std::uint32_t>(bytes.size()));
    put16(out, static_cast<std::uint32_t>(~bytes.size() & 0xFFFF));
    return out + bytes;
}

} // namespace

RawZipEntry deflatedEntry(const std::string& name, const std::string& bytes)
{
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, bytes.size()) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return {name, out, crcOf(bytes), bytes.size()};
}

std::string rawZip(const std::vector<RawZipEntry>& entries, const std::vector<size_t>& order)
{
    std::string file;
    std::vector<size_t> offsets;
    for (const RawZipEntry& entry : entries) {
        offsets.push_back(file.size());
        file += localHeader(entry) + entry.data;
    }
    std::vector<size_t> listed = order;
    if (listed.empty())
        for (size_t i = 0; i < entries.size(); ++i)
            listed.push_back(i);
    const size_t directoryOffset = file.size();
    for (size_t i : listed)
        file += centralHeader(entries[i], static_cast<std::uint32_t>(entries[i].data.size()),
                              static_cast<std::uint32_t>(offsets[i]));
    return file + endRecord(listed.size(), file.size() - directoryOffset, directoryOffset);
}

std::string overlappingZip(const std::string& bytes, int count)
{
    // Built from the last entry back: each one's inflated bytes are the later local headers and
    // then `bytes`; its data is a stored block per later header and the shared stream.
    const RawZipEntry shared = deflatedEntry("e" + std::to_string(count - 1) + ".log", bytes);
    std::vector<RawZipEntry> entries(static_cast<size_t>(count));
    entries.back() = shared;
    std::string inflated = bytes;
    std::string data = shared.data;
    for (int i = count - 2; i >= 0; --i) {
        const std::string later = localHeader(entries[static_cast<size_t>(i) + 1]);
        inflated = later + inflated;
        data = storedBlock(later) + data;
        entries[static_cast<size_t>(i)] = {"e" + std::to_string(i) + ".log", data, crcOf(inflated), inflated.size()};
    }
    // The file holds entry 0's header and data only; every other header lies inside that data.
    std::string file = localHeader(entries[0]) + entries[0].data;
    const size_t directoryOffset = file.size();
    size_t offset = 0;
    for (const RawZipEntry& entry : entries) {
        file += centralHeader(entry, static_cast<std::uint32_t>(entry.data.size()), static_cast<std::uint32_t>(offset));
        offset += localHeader(entry).size() + 5; // the next header follows this one's stored-block head
    }
    return file + endRecord(entries.size(), file.size() - directoryOffset, directoryOffset);
}

} // namespace quill::test
