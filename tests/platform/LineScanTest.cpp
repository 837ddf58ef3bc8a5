// The vector scans against plain byte loops, at every start and length around their 16- and
// 32-byte steps.
#include "platform/LineScan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace quill;

namespace {

struct LineEnd {
    size_t at, blanks, firstHigh;
    bool operator==(const LineEnd&) const = default;
};

LineEnd plainLineEnd(const char* p, const char* end)
{
    LineEnd result{0, 0, SIZE_MAX};
    const char* q = p;
    for (; q < end && *q != '\r' && *q != '\n'; ++q) {
        result.blanks += *q == ' ';
        if (result.firstHigh == SIZE_MAX && (*q & 0x80))
            result.firstHigh = static_cast<size_t>(q - p);
    }
    result.at = static_cast<size_t>(q - p);
    if (result.firstHigh == SIZE_MAX)
        result.firstHigh = result.at;
    return result;
}

// Bytes drawn mostly from those the scans look for.
std::string randomBytes(std::uint32_t& state, size_t length, int lineEndOneIn)
{
    const char pool[] = {' ', ' ', 'a', 'b', '#', '\x1A', '\x00', '\x7F', '\x80', '\xB0', '\xFE', '\t'};
    std::string bytes;
    for (size_t i = 0; i < length; ++i) {
        state = state * 1103515245 + 12345;
        const std::uint32_t r = state >> 8;
        bytes += r % static_cast<std::uint32_t>(lineEndOneIn) == 0 ? (r & 0x100 ? '\r' : '\n') : pool[(r >> 9) % sizeof pool];
    }
    return bytes;
}

} // namespace

TEST(LineScan, vectorScansAgreeWithPlainLoops)
{
    std::uint32_t state = 99;
    for (int lineEndOneIn : {3, 40, 100000}) {
        for (int round = 0; round < 40; ++round) {
            const std::string bytes = randomBytes(state, 160, lineEndOneIn);
            for (size_t from = 0; from < 40; ++from) {
                for (size_t to = from; to <= bytes.size(); to += 7) {
                    const char* p = bytes.data() + from;
                    const char* end = bytes.data() + to;
                    const std::string what = std::to_string(lineEndOneIn) + " " + std::to_string(from) + ".." + std::to_string(to);

                    size_t blanks = 0, firstHigh = 0;
                    const char* lineEnd = findLineEnd(p, end, blanks, firstHigh);
                    EXPECT_EQ((LineEnd{static_cast<size_t>(lineEnd - p), blanks, firstHigh}), plainLineEnd(p, end)) << what;

                    const char* either = p;
                    while (either < end && *either != '#' && *either != '\x1A')
                        ++either;
                    EXPECT_EQ(findEither(p, end, '#', '\x1A'), either) << what;

                    const char* text = p;
                    while (text < end && static_cast<unsigned char>(*text) <= 0x20 && *text != '\x1A')
                        ++text;
                    EXPECT_EQ(skipBlankBytes(p, end), text) << what;

                    size_t after = 0;
                    for (size_t i = 0; i < to - from; ++i)
                        if (p[i] == '\r' || p[i] == '\n')
                            after = i + 1;
                    EXPECT_EQ(afterLastLineEnd(p, to - from), after) << what;
                }
            }
        }
    }
}
