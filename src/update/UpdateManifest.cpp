#include "update/UpdateManifest.h"

#include "platform/IniFile.h"
#include "platform/GbkText.h"

#include <charconv>
#include <ctime>

namespace quill {
namespace {

std::optional<int> parseNumber(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || text.size() > 4)
        return std::nullopt;
    return value;
}

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

} // namespace

int dayNumber(int year, int month, int day)
{
    // Days from 1970-01-01 in the proleptic Gregorian calendar (H. Hinnant's days_from_civil).
    year -= month <= 2 ? 1 : 0;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const int yearOfEra = year - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const int fromEpoch = era * 146097 + dayOfEra - 719468;
    return fromEpoch + 25569; // 1970-01-01 is day 25569 counted from 1899-12-30
}

std::optional<int> parseShortDate(std::string_view text)
{
    text = trim(text);
    const char separator = text.find('/') != std::string_view::npos ? '/' : '-';
    int parts[3] = {};
    size_t digits[3] = {};
    for (int i = 0; i < 3; ++i) {
        const size_t stop = i < 2 ? text.find(separator) : text.size();
        if (stop == std::string_view::npos)
            return std::nullopt;
        const std::optional<int> number = parseNumber(text.substr(0, stop));
        if (!number)
            return std::nullopt;
        parts[i] = *number;
        digits[i] = stop;
        text.remove_prefix(i < 2 ? stop + 1 : stop);
    }
    int year = parts[0];
    if (digits[0] <= 2)
        year += year < 50 ? 2000 : 1900;
    const int month = parts[1];
    const int day = parts[2];
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return std::nullopt;
    return dayNumber(year, month, day);
}

int todayDayNumber()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return dayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

std::string installedSection(std::string_view name)
{
    std::string section(name);
    for (char& c : section)
        if (c == '.')
            c = '_';
    return section;
}

std::vector<UpdateEntry> newerEntries(const std::string& manifestPath, const std::string& installedPath, int today)
{
    // Each file is read once: a manifest of thousands of sections takes milliseconds.
    const IniSnapshot manifest(manifestPath);
    const IniSnapshot installed(installedPath);
    std::vector<UpdateEntry> newer;
    for (size_t section = 0; section < manifest.sectionNames().size(); ++section) {
        UpdateEntry entry;
        entry.name = manifest.readString(section, "Name", "");
        entry.dateText = manifest.readString(section, "Date", "");
        const int remote = parseShortDate(entry.dateText).value_or(today);
        const int local = parseShortDate(installed.readString(installedSection(entry.name), "Date", ""))
                              .value_or(kUnknownInstalledDay);
        if (remote <= local)
            continue;
        entry.size = manifest.readString(section, "Size", "");
        entry.note = manifest.readString(section, "note", "");
        entry.url = manifest.readString(section, "URL", "");
        entry.bytes = manifest.readString(section, "Bytes", "");
        entry.sha256 = manifest.readString(section, "SHA256", "");
        newer.push_back(std::move(entry));
    }
    return newer;
}

std::string bareFileName(std::string_view name)
{
    // Cut at every separator byte: no UTF-8 character holds one, and no name can climb out of the
    // folder.
    const size_t slash = name.find_last_of("/\\");
    if (slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    if (name == "." || name == "..")
        return {};
    return std::string(name);
}

} // namespace quill
