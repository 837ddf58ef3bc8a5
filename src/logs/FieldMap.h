#pragma once
// Which blank-separated token of a prefixed log line feeds each of the 17 record-list columns.

#include <array>
#include <cstddef>
#include <cstdint>

namespace quill {

inline constexpr int kColumnCount = 17;

// Column numbers of the record list whose slots the rest of the log analysis reads by name.
enum Column : int {
    kColRow = 0,
    kColUriStem = 1,
    kColUriQuery = 2,
    kColUserAgent = 3,
    kColStatus = 4,
    kColClientIp = 7,
    kColDate = 8,
    kColServerIp = 11,
    kColBytesSent = 13,
    kColTimeTaken = 15,
    kColReferrer = 16,
};

// Fields of a log that no column shows but the JSON rows carry.
enum ExtraField : int {
    kExtraUserName,     // cs-username, Log Parser's UserName
    kExtraSiteName,     // s-sitename
    kExtraComputerName, // s-computername, Log Parser's ComputerName
    kExtraHost,         // cs-host
    kExtraVersion,      // cs-version, Log Parser's ProtocolVersion
    kExtraFieldCount,
};

// Token position per column; 0 means the field is not present and reads "-".
struct FieldMap {
    std::array<std::uint8_t, kColumnCount> positions{};
    std::array<std::uint8_t, kExtraFieldCount> extras{}; // per ExtraField, as positions

    std::uint8_t operator[](int column) const { return positions[static_cast<std::size_t>(column)]; }
    bool operator==(const FieldMap&) const = default;
};

enum class LogFormat { None = 0, IIS = 1, LogParser = 2 };

} // namespace quill
