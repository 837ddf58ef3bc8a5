#pragma once
// INI files with profile-file semantics: names match ignoring ASCII case, the first of duplicate
// sections or keys wins, and a write changes only its own line, keeping every other byte.

#include "platform/Status.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quill {

// Longest value a read returns, in characters (a double-byte GBK character counts once).
inline constexpr size_t kIniValueMaxChars = 2047;

// The 32-bit value of an integer text: an optional sign, then decimal digits or "$"/"0x" and
// hexadecimal digits (hexadecimal may use all 32 bits); blanks around it are allowed. Nothing for
// any other text or a value out of range.
std::optional<std::int32_t> parseInteger(std::string_view text);

class IniFile {
public:
    explicit IniFile(std::string path);

    const std::string& path() const { return m_path; }

    // The value of `key` in `section` without surrounding blanks, cut after kIniValueMaxChars
    // characters; `defaultValue` when the file, the section or the key is missing. Bytes are
    // returned as stored (GBK), never converted.
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // The value read as parseInteger does; `defaultValue` when missing or not an integer.
    int readInteger(std::string_view section, std::string_view key, int defaultValue) const;
    // readInteger(...) != 0, with `defaultValue` when missing or not an integer.
    bool readBool(std::string_view section, std::string_view key, bool defaultValue) const;
    // The names of the sections in file order, each once (names that differ only in ASCII case
    // are one section); none for a missing or unreadable file.
    std::vector<std::string> sectionNames() const;

    // Sets `key` in `section` to `value` (cut at its first line break, as a value is one line),
    // creating the file, the section or the key as needed. The file is replaced as a whole or not
    // at all. Error text: "Unable to write to " and the file's full path.
    Status writeString(std::string_view section, std::string_view key, std::string_view value);
    // Writes "1" or "0".
    Status writeBool(std::string_view section, std::string_view key, bool value);

private:
    std::optional<std::string> find(std::string_view section, std::string_view key) const;

    std::string m_path;
};

// An INI file read and parsed once, for reading many keys of many sections: the same answers as
// IniFile's reads, without reading the file again for each.
class IniSnapshot {
public:
    explicit IniSnapshot(const std::string& path);

    // As IniFile::sectionNames.
    const std::vector<std::string>& sectionNames() const { return m_sectionNames; }
    // As IniFile::readString.
    std::string readString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
    // The same for the section sectionNames()[section], without looking its name up.
    std::string readString(size_t section, std::string_view key, std::string_view defaultValue) const;
    // As IniFile::readInteger and IniFile::readBool.
    int readInteger(std::string_view section, std::string_view key, int defaultValue) const;
    bool readBool(std::string_view section, std::string_view key, bool defaultValue) const;

private:
    std::vector<std::string> m_sectionNames;
    // Of each named section: upper-cased key name -> the value of its first line.
    std::vector<std::unordered_map<std::string, std::string>> m_keys;
    std::unordered_map<std::string, size_t> m_index; // upper-cased section name -> its number
};

} // namespace quill
