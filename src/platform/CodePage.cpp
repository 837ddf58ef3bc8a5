#include "platform/CodePage.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace quill {
namespace {

// Converts with iconv, one unconvertible input unit at a time replaced by `replacement`.
std::string convert(const char* to, const char* from, std::string_view input,
                    size_t (*unitLength)(const char*, size_t), std::string_view replacement)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::string(input);
    std::string out;
    out.resize(input.size() * 2 + 16);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    size_t done = 0;
    while (inLeft > 0) {
        char* dst = out.data() + done;
        size_t outLeft = out.size() - done;
        size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
        done = out.size() - outLeft;
        if (rc != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ or EINVAL (a truncated tail): replace one unit and go on.
        out.resize(std::max(out.size(), done + replacement.size() + 16));
        out.replace(done, replacement.size(), replacement);
        done += replacement.size();
        size_t skip = std::min(unitLength(in, inLeft), inLeft);
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    out.resize(done);
    return out;
}

size_t oneByte(const char*, size_t) { return 1; }
size_t twoBytes(const char*, size_t) { return 2; }

// Length of the UTF-8 sequence at p when it is well formed, else 1.
size_t utf8SequenceLength(const char* p, size_t left)
{
    const auto lead = static_cast<unsigned char>(p[0]);
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length > left)
        return 1;
    for (size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80)
            return 1;
    return length;
}

} // namespace

std::string gbkToUtf8(std::string_view gbk)
{
    return convert("UTF-8", "CP936", gbk, oneByte, "\xEF\xBF\xBD");
}

std::string utf8ToGbk(std::string_view utf8)
{
    return convert("CP936", "UTF-8", utf8, utf8SequenceLength, "?");
}

std::string utf16ToGbk(std::u16string_view utf16)
{
    std::string_view bytes(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2);
    return convert("CP936", "UTF-16LE", bytes, twoBytes, "?");
}

} // namespace quill
