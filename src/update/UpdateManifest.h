#pragma once
// The manifest check: which files the server lists that are newer than the installed ones.
// Dates are day numbers counted from 1899-12-30.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// The installed date of a file the installed record does not name (1905-06-19), older than any
// published file.
inline constexpr int kUnknownInstalledDay = 1997;

// One file the manifest lists, texts as stored (GBK).
struct UpdateEntry {
    std::string name;
    std::string size;
    std::string dateText;
    std::string note;
    std::string url;
    std::string bytes;  // the file's exact length in bytes, as the release tool wrote it
    std::string sha256; // its SHA-256 in hexadecimal
};

// The day number of a date in the short-date form year-month-day ("2009-3-7", also with "/"),
// blanks around it allowed; a year of one or two digits lies in 1950-2049. Nothing for any
// other text or an impossible date.
std::optional<int> parseShortDate(std::string_view text);

// The day number of a calendar date.
int dayNumber(int year, int month, int day);

// Today's local date as a day number.
int todayDayNumber();

// The section of the installed record that holds `name`'s date: every "." becomes "_".
std::string installedSection(std::string_view name);

// The entries of `manifestPath`, in the order of its sections, whose date is strictly later than
// the installed date in `installedPath`. An unreadable remote date counts as `today`; a missing
// or unreadable installed date as kUnknownInstalledDay. Missing files read as empty.
std::vector<UpdateEntry> newerEntries(const std::string& manifestPath, const std::string& installedPath,
                                      int today);

// The last component of the file-system name `name` after a "/" or "\" byte; empty when that is
// empty, "." or "..", so a name can never reach outside the folder it is joined to.
std::string bareFileName(std::string_view name);

} // namespace quill
