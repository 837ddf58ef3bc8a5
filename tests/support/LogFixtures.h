#pragma once
// Log text shared by the log, command-line and window tests.

namespace quill::test {

// The header lines IIS 6 writes at the top of a log.
inline constexpr const char* kIis6Header =
    "#Software: Microsoft Internet Information Services 6.0\r\n"
    "#Version: 1.0\r\n"
    "#Date: 2026-12-01 00:00:00\r\n"
    "#Fields: date time s-sitename s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip "
    "cs(User-Agent) sc-status sc-substatus sc-win32-status sc-bytes cs-bytes time-taken cs(Referer)\r\n";

} // namespace quill::test
