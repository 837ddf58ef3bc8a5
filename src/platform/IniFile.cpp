#include "platform/IniFile.h"

#include "platform/ReplacementFile.h"
#include "platform/GbkText.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <unordered_set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quill {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct Line {
    std::string_view text; // without its line end
    std::string_view end;  // "\r\n", "\n", "\r", or empty on an unterminated last line
};

enum class LineKind { Other, Section, Key };

struct LineInfo {
    LineKind kind = LineKind::Other;
    std::string_view name;
    std::string_view value;
};

// The file's bytes; empty for a missing file, nothing when it exists but cannot be read.
std::optional<std::string> readWholeFile(const std::string& path)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? std::optional<std::string>(std::string()) : std::nullopt;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            close(fd);
            return std::nullopt;
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    return bytes;
}

// Lines end at CR LF, LF or a lone CR.
std::vector<Line> splitLines(std::string_view content)
{
    std::vector<Line> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t stop = content.find_first_of("\r\n", start);
        if (stop == std::string_view::npos) {
            lines.push_back({content.substr(start), {}});
            break;
        }
        size_t endLength = content.compare(stop, 2, "\r\n") == 0 ? 2 : 1;
        lines.push_back({content.substr(start, stop - start), content.substr(stop, endLength)});
        start = stop + endLength;
    }
    return lines;
}

LineInfo classify(std::string_view text)
{
    std::string_view trimmed = trim(text);
    if (trimmed.starts_with('[')) {
        size_t close = trimmed.rfind(']');
        if (close != std::string_view::npos)
            return {LineKind::Section, trim(trimmed.substr(1, close - 1)), {}};
    }
    if (trimmed.starts_with(';'))
        return {};
    size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos)
        return {};
    return {LineKind::Key, trim(trimmed.substr(0, equals)), trim(trimmed.substr(equals + 1))};
}

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && upperAscii(a) == upperAscii(b);
}

// Where a key lives, or would go, in the first section of its name.
struct Place {
    size_t sectionLine = std::string_view::npos;
    size_t keyLine = std::string_view::npos;
    size_t lastFilledLine = std::string_view::npos; // the section's last non-blank line
    std::string_view keyName;                       // the key's name as the file spells it
    std::string_view value;
};

Place locate(const std::vector<Line>& lines, std::string_view section, std::string_view key)
{
    Place place;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view text = lines[i].text;
        if (i == 0 && text.starts_with(kUtf8Bom))
            text.remove_prefix(kUtf8Bom.size());
        const LineInfo info = classify(text);
        if (info.kind == LineKind::Section) {
            if (place.sectionLine != std::string_view::npos)
                break;
            if (sameName(info.name, section))
                place.sectionLine = place.lastFilledLine = i;
            continue;
        }
        if (place.sectionLine == std::string_view::npos)
            continue;
        if (info.kind == LineKind::Key && sameName(info.name, key)) {
            place.keyLine = i;
            place.keyName = info.name;
            place.value = info.value;
            break;
        }
        if (!trim(text).empty())
            place.lastFilledLine = i;
    }
    return place;
}

std::string_view cutToChars(std::string_view value, size_t maxChars)
{
    size_t pos = 0;
    for (size_t chars = 0; chars < maxChars && pos < value.size(); ++chars)
        pos += gbkCharLength(value, pos);
    return value.substr(0, pos);
}

// The file with `key` set to `value`; every other line keeps its bytes.
std::string withValue(std::string_view content, std::string_view section, std::string_view key,
                      std::string_view value)
{
    const std::vector<Line> lines = splitLines(content);
    const Place place = locate(lines, section, key);
    std::string_view newLine = "\r\n";
    for (const Line& line : lines) {
        if (!line.end.empty()) {
            newLine = line.end;
            break;
        }
    }

    // A key added after the last line needs that line ended first.
    const bool addsAtEnd = place.keyLine == std::string_view::npos &&
                           (place.sectionLine == std::string_view::npos ||
                            place.lastFilledLine + 1 == lines.size());
    std::string out;
    out.reserve(content.size() + section.size() + key.size() + value.size() + 8);
    auto appendKey = [&](std::string_view name, std::string_view end) {
        out.append(name).append("=").append(value).append(end);
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (i == place.keyLine) {
            // Keep the indentation before the name and the name's own spelling.
            out.append(line.text.substr(0, static_cast<size_t>(place.keyName.data() - line.text.data())));
            appendKey(place.keyName, line.end);
            continue;
        }
        out.append(line.text);
        out.append(addsAtEnd && line.end.empty() ? newLine : line.end);
        if (place.keyLine == std::string_view::npos && i == place.lastFilledLine)
            appendKey(key, newLine);
    }
    if (place.sectionLine == std::string_view::npos) {
        out.append("[").append(section).append("]").append(newLine);
        appendKey(key, newLine);
    }
    return out;
}

} // namespace

std::optional<std::int32_t> parseInteger(std::string_view text)
{
    text = trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with('$')) {
        base = 16;
        text.remove_prefix(1);
    } else if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return std::nullopt;
    // Hexadecimal may fill all 32 bits ("$FF000005" is a negative number); decimal may not.
    const std::uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t value = 0;
    for (char c : text) {
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : 99;
        if (digit >= base)
            return std::nullopt;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (value > limit)
            return std::nullopt;
    }
    auto bits = static_cast<std::uint32_t>(value);
    if (negative)
        bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}

IniFile::IniFile(std::string path) : m_path(std::move(path)) {}

std::optional<std::string> IniFile::find(std::string_view section, std::string_view key) const
{
    const std::optional<std::string> content = readWholeFile(m_path);
    if (!content)
        return std::nullopt;
    const Place place = locate(splitLines(*content), section, key);
    if (place.keyLine == std::string_view::npos)
        return std::nullopt;
    return std::string(cutToChars(place.value, kIniValueMaxChars));
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const
{
    std::optional<std::string> value = find(section, key);
    return value ? std::move(*value) : std::string(defaultValue);
}

int IniFile::readInteger(std::string_view section, std::string_view key, int defaultValue) const
{
    const std::optional<std::string> value = find(section, key);
    if (!value)
        return defaultValue;
    return parseInteger(*value).value_or(defaultValue);
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

std::vector<std::string> IniFile::sectionNames() const
{
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    const std::optional<std::string> content = readWholeFile(m_path);
    if (!content)
        return names;
    const std::vector<Line> lines = splitLines(*content);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view text = lines[i].text;
        if (i == 0 && text.starts_with(kUtf8Bom))
            text.remove_prefix(kUtf8Bom.size());
        const LineInfo info = classify(text);
        if (info.kind != LineKind::Section)
            continue;
        if (seen.insert(upperAscii(info.name)).second)
            names.emplace_back(info.name);
    }
    return names;
}

IniSnapshot::IniSnapshot(const std::string& path)
{
    const std::optional<std::string> content = readWholeFile(path);
    if (!content)
        return;
    const std::vector<Line> lines = splitLines(*content);
    std::unordered_map<std::string, std::string>* keys = nullptr; // only the first section of a name counts
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view text = lines[i].text;
        if (i == 0 && text.starts_with(kUtf8Bom))
            text.remove_prefix(kUtf8Bom.size());
        const LineInfo info = classify(text);
        if (info.kind == LineKind::Section) {
            keys = nullptr;
            if (m_index.try_emplace(upperAscii(info.name), m_keys.size()).second) {
                m_sectionNames.emplace_back(info.name);
                keys = &m_keys.emplace_back();
            }
        } else if (info.kind == LineKind::Key && keys) {
            keys->try_emplace(upperAscii(info.name), cutToChars(info.value, kIniValueMaxChars));
        }
    }
}

std::string IniSnapshot::readString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const
{
    const auto found = m_index.find(upperAscii(section));
    return found != m_index.end() ? readString(found->second, key, defaultValue) : std::string(defaultValue);
}

std::string IniSnapshot::readString(size_t section, std::string_view key, std::string_view defaultValue) const
{
    if (section < m_keys.size())
        if (const auto found = m_keys[section].find(upperAscii(key)); found != m_keys[section].end())
            return found->second;
    return std::string(defaultValue);
}

int IniSnapshot::readInteger(std::string_view section, std::string_view key, int defaultValue) const
{
    const auto found = m_index.find(upperAscii(section));
    if (found == m_index.end())
        return defaultValue;
    const auto& keys = m_keys[found->second];
    const auto value = keys.find(upperAscii(key));
    return value == keys.end() ? defaultValue : parseInteger(value->second).value_or(defaultValue);
}

bool IniSnapshot::readBool(std::string_view section, std::string_view key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

Status IniFile::writeString(std::string_view section, std::string_view key, std::string_view value)
{
    // A line break would start a line of its own; a NUL would end the text a reader sees.
    value = value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
    const std::optional<std::string> content = readWholeFile(m_path);
    if (!content)
        return Status::failure(unableToWriteText(m_path));
    ReplacementFile file(m_path);
    file.write(withValue(*content, section, key, value));
    return file.commit();
}

Status IniFile::writeBool(std::string_view section, std::string_view key, bool value)
{
    return writeString(section, key, value ? "1" : "0");
}

} // namespace quill
