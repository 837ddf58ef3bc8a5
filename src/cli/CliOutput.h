#pragma once
// Buffered standard output: GBK fields written as UTF-8 (or raw bytes) with backslash, TAB, CR and
// LF escaped, so one record is one line.

#include <string>
#include <string_view>

namespace quill::cli {

// A GBK field as it is printed: converted to UTF-8 unless `raw`, then escaped.
std::string printableField(std::string_view gbkField, bool raw);

class CliOutput {
public:
    explicit CliOutput(bool raw) : m_raw(raw) {}
    ~CliOutput() { flush(); }

    void field(std::string_view gbkField);
    void plain(std::string_view text) { m_buffer.append(text); flushIfFull(); }
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
