#include "cli/CliOutput.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/GbkText.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill::cli {
namespace {

// A NUL would end the text of whatever reads the output as C strings.
inline bool needsEscape(char c) { return c == '\\' || c == '\t' || c == '\r' || c == '\n' || c == '\0'; }
inline bool isLineByte(char c) { return c == '\t' || c == '\r' || c == '\n' || c == '\0'; }

inline void appendEscape(std::string& out, char c)
{
    out += '\\';
    out += c == '\\' ? '\\' : c == '\t' ? 't' : c == '\r' ? 'r' : c == '\n' ? 'n' : '0';
}

// Whether any byte of `word` is `byte`: a byte of the xor is zero just there.
inline bool holdsByte(std::uint64_t word, unsigned char byte)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    const std::uint64_t x = word ^ (kOnes * byte);
    return ((x - kOnes) & ~x & kHighs) != 0;
}

// Eight bytes at a time: tables print hundreds of thousands of short fields.
bool isPlainAscii(std::string_view text)
{
    const char* p = text.data();
    size_t left = text.size();
    for (; left >= 8; p += 8, left -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        if ((word & 0x8080808080808080ull) != 0 || holdsByte(word, '\\') || holdsByte(word, '\t') ||
            holdsByte(word, '\r') || holdsByte(word, '\n') || holdsByte(word, 0))
            return false;
    }
    for (; left > 0; ++p, --left)
        if ((*p & 0x80) != 0 || needsEscape(*p))
            return false;
    return true;
}

// Walks GBK characters: the second byte of a pair is copied as it is (0x5C there is no
// backslash), but a lead byte followed by TAB, CR or LF stands alone.
void appendRawEscaped(std::string& out, std::string_view text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (isGbkLeadByte(static_cast<unsigned char>(c)) && i + 1 < text.size() && !isLineByte(text[i + 1])) {
            out += c;
            out += text[++i];
        } else if (needsEscape(c)) {
            appendEscape(out, c);
        } else {
            out += c;
        }
    }
}

// In UTF-8 every byte below 0x80 is a character of its own.
void appendUtf8Escaped(std::string& out, std::string_view utf8)
{
    for (char c : utf8) {
        if (needsEscape(c))
            appendEscape(out, c);
        else
            out += c;
    }
}

} // namespace

void appendPrintable(std::string& out, std::string_view gbkField, bool raw)
{
    if (isPlainAscii(gbkField))
        out.append(gbkField);
    else if (raw)
        appendRawEscaped(out, gbkField);
    else // the converter turns a lead byte before TAB, CR or LF into U+FFFD and keeps the byte
        appendUtf8Escaped(out, gbkToUtf8(gbkField));
}

void widenStdoutPipe()
{
    struct stat info {};
    if (fstat(STDOUT_FILENO, &info) == 0 && S_ISFIFO(info.st_mode))
        fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);
}

Status writeStdout(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return Status::failure(fileErrorText(errno));
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return {};
}

void CliOutput::flush()
{
    std::fflush(stdout);
    (void)writeStdout(m_buffer); // standard output has no one to tell; the exit status stays the command's
    m_buffer.clear();
}

} // namespace quill::cli
