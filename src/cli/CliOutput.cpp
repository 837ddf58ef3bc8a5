#include "cli/CliOutput.h"

#include "platform/CodePage.h"
#include "platform/GbkText.h"

#include <algorithm>
#include <cstdio>

namespace quill::cli {
namespace {

bool isLineByte(char c) { return c == '\t' || c == '\r' || c == '\n'; }

// Escapes the single-byte characters \, TAB, CR and LF; `gbkWalk` leaves trail bytes alone. TAB,
// CR and LF are never a trail byte: after a lead byte they are escaped all the same, so one
// record stays one line.
void appendEscaped(std::string& out, std::string_view text, bool gbkWalk)
{
    for (size_t i = 0; i < text.size();) {
        size_t length = gbkWalk ? gbkCharLength(text, i) : 1;
        if (length == 2 && isLineByte(text[i + 1]))
            length = 1;
        char c = text[i];
        if (length == 1 && (c == '\\' || c == '\t' || c == '\r' || c == '\n')) {
            out += '\\';
            out += c == '\\' ? '\\' : c == '\t' ? 't' : c == '\r' ? 'r' : 'n';
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
}

bool isPlainAscii(std::string_view text)
{
    return std::none_of(text.begin(), text.end(), [](char c) {
        return (c & 0x80) != 0 || c == '\\' || c == '\t' || c == '\r' || c == '\n';
    });
}

} // namespace

std::string printableField(std::string_view gbkField, bool raw)
{
    std::string out;
    if (isPlainAscii(gbkField))
        out.assign(gbkField);
    else if (raw)
        appendEscaped(out, gbkField, true);
    else
        appendEscaped(out, gbkToUtf8(gbkField), false);
    return out;
}

void CliOutput::field(std::string_view gbkField)
{
    if (isPlainAscii(gbkField))
        m_buffer.append(gbkField);
    else
        m_buffer.append(printableField(gbkField, m_raw));
    flushIfFull();
}

void CliOutput::flush()
{
    std::fwrite(m_buffer.data(), 1, m_buffer.size(), stdout);
    m_buffer.clear();
}

} // namespace quill::cli
