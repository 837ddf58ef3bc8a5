#include "platform/GbkText.h"

#include <algorithm>

namespace quill {
namespace {

inline unsigned char foldAscii(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

// The first character boundary at or after `target`, walking on from the boundary `at`.
inline size_t nextBoundary(std::string_view text, size_t at, size_t target)
{
    while (at < target && at < text.size())
        at += gbkCharLength(text, at);
    return at;
}

} // namespace

CaselessNeedle::CaselessNeedle(std::string_view needle) : m_bytes(needle), m_trail(needle.size(), false)
{
    for (size_t i = 0; i < needle.size();) {
        size_t len = gbkCharLength(needle, i);
        if (len == 2)
            m_trail[i + 1] = true;
        else
            m_bytes[i] = static_cast<char>(foldAscii(static_cast<unsigned char>(needle[i])));
        i += len;
    }
}

bool CaselessNeedle::matchesAt(std::string_view hay, size_t pos) const
{
    if (pos > hay.size() || hay.size() - pos < m_bytes.size())
        return false;
    for (size_t i = 0; i < m_bytes.size(); ++i) {
        auto h = static_cast<unsigned char>(hay[pos + i]);
        if (!m_trail[i])
            h = foldAscii(h);
        if (h != static_cast<unsigned char>(m_bytes[i]))
            return false;
    }
    return true;
}

size_t CaselessNeedle::findIn(std::string_view hay, size_t from) const
{
    if (m_bytes.empty())
        return std::string_view::npos;
    // Jump between bytes that can start a match, then check that the candidate is a boundary.
    const auto first = static_cast<unsigned char>(m_bytes[0]);
    const bool letter = first >= 'A' && first <= 'Z';
    size_t boundary = from;
    for (size_t pos = from; pos < hay.size() && hay.size() - pos >= m_bytes.size();) {
        size_t candidate = pos;
        if (!letter)
            candidate = hay.find(static_cast<char>(first), pos);
        else
            while (candidate < hay.size() && foldAscii(static_cast<unsigned char>(hay[candidate])) != first)
                ++candidate;
        if (candidate >= hay.size())
            break;
        boundary = nextBoundary(hay, boundary, candidate);
        if (boundary == candidate && matchesAt(hay, candidate))
            return candidate;
        pos = std::max(boundary, candidate + 1);
    }
    return std::string_view::npos;
}

size_t gbkCharLength(std::string_view text, size_t pos)
{
    return (isGbkLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size()) ? 2 : 1;
}

bool isCharBoundary(std::string_view text, size_t pos)
{
    return pos <= text.size() && nextBoundary(text, 0, pos) == pos;
}

std::string upperAscii(std::string_view text)
{
    std::string out(text);
    for (size_t i = 0; i < out.size();) {
        size_t len = gbkCharLength(out, i);
        if (len == 1)
            out[i] = static_cast<char>(foldAscii(static_cast<unsigned char>(out[i])));
        i += len;
    }
    return out;
}

size_t findIgnoreCase(std::string_view hay, std::string_view needle, size_t from)
{
    return CaselessNeedle(needle).findIn(hay, from);
}

size_t findExact(std::string_view hay, std::string_view needle, size_t from)
{
    if (needle.empty())
        return std::string_view::npos;
    size_t boundary = from;
    for (size_t pos = hay.find(needle, from); pos != std::string_view::npos;) {
        boundary = nextBoundary(hay, boundary, pos);
        if (boundary == pos)
            return pos;
        pos = hay.find(needle, boundary);
    }
    return std::string_view::npos;
}

std::string replaceAllIgnoreCase(std::string_view text, std::string_view from, std::string_view to)
{
    const CaselessNeedle needle(from);
    std::string out;
    out.reserve(text.size());
    size_t copied = 0;
    for (size_t pos = needle.findIn(text, 0); pos != std::string_view::npos;
         pos = needle.findIn(text, copied)) {
        out.append(text.substr(copied, pos - copied));
        out.append(to);
        copied = pos + from.size();
    }
    out.append(text.substr(copied));
    return out;
}

std::string_view trim(std::string_view text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20)
        --end;
    return text.substr(begin, end - begin);
}

} // namespace quill
