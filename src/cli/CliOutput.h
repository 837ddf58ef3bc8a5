#pragma once
// Standard output of the commands: GBK fields written as UTF-8 (or raw bytes) with backslash, TAB,
// CR, LF and NUL escaped, so one record is one line and a field never holds a TAB.

#include "platform/Status.h"

#include <string>
#include <string_view>

namespace quill::cli {

// Appends a GBK field as it is printed: converted to UTF-8 unless `raw`, then escaped. A TAB, CR,
// LF or NUL byte is escaped wherever it stands, also after a lead byte (it is never a second byte).
void appendPrintable(std::string& out, std::string_view gbkField, bool raw);

inline std::string printableField(std::string_view gbkField, bool raw)
{
    std::string out;
    appendPrintable(out, gbkField, raw);
    return out;
}

// A pipe holds 64 KiB by default: a reader such as wc would wake for every few rows.
void widenStdoutPipe();

// Writes all of `bytes` to standard output; a closed pipe or full disk is a failure.
Status writeStdout(std::string_view bytes);

class CliOutput {
public:
    explicit CliOutput(bool raw) : m_raw(raw) {}
    ~CliOutput() { flush(); }

    void field(std::string_view gbkField)
    {
        appendPrintable(m_buffer, gbkField, m_raw);
        flushIfFull();
    }
    void plain(std::string_view text)
    {
        m_buffer.append(text);
        flushIfFull();
    }
    void flush();

private:
    void flushIfFull()
    {
        if (m_buffer.size() >= (1u << 20))
            flush();
    }

    bool m_raw;
    std::string m_buffer;
};

} // namespace quill::cli
