#pragma once
// Log text shared by the log, command-line and window tests.

#include <string>

namespace quill::test {

// The header lines IIS 6 writes at the top of a log.
inline constexpr const char* kIis6Header =
    "#Software: Microsoft Internet Information Services 6.0\r\n"
    "#Version: 1.0\r\n"
    "#Date: 2026-12-01 00:00:00\r\n"
    "#Fields: date time s-sitename s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip "
    "cs(User-Agent) sc-status sc-substatus sc-win32-status sc-bytes cs-bytes time-taken cs(Referer)\r\n";

// The fields of one data line under kIis6Header, in the order they are written; a test names
// only those it looks at: iisLine({.stem = "/a.htm", .agent = "Baiduspider"}).
struct IisLine {
    std::string dateTime = "2026-12-01 00:00:01";
    std::string serverIp = "10.0.0.1";
    std::string stem = "/";
    std::string query = "-";
    std::string port = "80";
    std::string client = "1.2.3.4";
    std::string agent = "Mozilla/4.0";
    std::string status = "200";
    std::string bytesSent = "1500";
    std::string bytesReceived = "300";
    std::string timeTaken = "15";
    std::string referrer = "-";
};

// The line with its CR LF.
inline std::string iisLine(const IisLine& line)
{
    return line.dateTime + " W3SVC1 " + line.serverIp + " GET " + line.stem + " " + line.query + " " + line.port + " - " + line.client + " " +
           line.agent + " " + line.status + " 0 0 " + line.bytesSent + " " + line.bytesReceived + " " +
           line.timeTaken + " " + line.referrer + "\r\n";
}

} // namespace quill::test
